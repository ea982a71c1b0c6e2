#include "ownerdata/codec.h"

#include <cstring>

#include "ownerdata/characters.h"

static const char headerKey[] = "Type";
static const char headerValue[] = "Tessera Data";
enum { headerChars = 17 };  // "Type=Tessera Data"

void initCodecState(CodecState *state)
{
    state->runningKey = codecInitialKey;
    state->byteCount = 0;
}

/* Returns the key byte for the next position and moves the state on: even
 * positions take the low byte, odd ones the high byte and then rotate. */
static unsigned char nextKeyByte(CodecState *state)
{
    int position = state->byteCount++;
    if (position % 2 == 0) return (unsigned char)(state->runningKey & 0xFF);
    unsigned char high = (unsigned char)(state->runningKey >> 8);
    state->runningKey = rotateKey(state->runningKey, 1);
    return high;
}

int encodeByte(FILE *stream, CodecState *state, unsigned char byte)
{
    unsigned char encoded = byte ^ nextKeyByte(state);
    if (fputc(hexDigitChar(encoded >> 4), stream) == EOF) return recordWriteFailed;
    if (fputc(hexDigitChar(encoded & 15), stream) == EOF) return recordWriteFailed;
    return recordOk;
}

int decodeByte(FILE *stream, CodecState *state, unsigned char *byte)
{
    *byte = 0;
    int high = getc(stream);
    if (high == EOF) return recordOk;
    int low = getc(stream);
    if (low == EOF) return recordOk;
    unsigned char encoded = (unsigned char)(hexDigitValue(high) * 16 + hexDigitValue(low));
    *byte = encoded ^ nextKeyByte(state);
    return recordOk;
}

unsigned short rotateKey(unsigned short value, int count)
{
    for (int i = 0; i < count; i++)
        value = (unsigned short)((value << 1) | (value >> 15));
    return value;
}

char hexDigitChar(int value)
{
    static const char digits[] = "0123456789ABCDEF";
    return digits[value & 15];
}

int hexDigitValue(int character)
{
    if (character >= '0' && character <= '9') return character - '0';
    if (character >= 'a' && character <= 'f') return character - 'a' + 10;
    if (character >= 'A' && character <= 'F') return character - 'A' + 10;
    return 0;
}

int writeNewline(FILE *stream)
{
    return fputc('\n', stream) == EOF ? recordWriteFailed : recordOk;
}

int writeHeaderLine(FILE *stream, int scrambled, CodecState *state)
{
    if (!scrambled) {
        if (fputs("Type=Tessera Data", stream) == EOF) return recordWriteFailed;
        return writeNewline(stream);
    }
    if (fputs(headerKey, stream) == EOF) return recordWriteFailed;
    if (fputs("=", stream) == EOF) return recordWriteFailed;
    if (fputs(headerValue, stream) == EOF) return recordWriteFailed;
    return encodeByte(stream, state, 0);
}

int writeRecordLine(FILE *stream, int scrambled, CodecState *state, const char *line)
{
    if (!scrambled) {
        if (fputs(line, stream) == EOF) return recordWriteFailed;
        return writeNewline(stream);
    }
    const unsigned char *p = (const unsigned char *)line;
    for (;; p++) {
        int status = encodeByte(stream, state, *p);
        if (status != recordOk) return status;
        if (*p == 0) return recordOk;
    }
}

/* One character of a plain-mode line. Text streams here do not translate line
 * ends, so a carriage return before a line feed (files written on Windows) is
 * read as part of the line feed, as a Windows text stream would. */
static int readTextChar(FILE *stream)
{
    int c = getc(stream);
#ifndef _WIN32
    if (c == '\r') {
        int next = getc(stream);
        if (next == '\n') return '\n';
        if (next != EOF) ungetc(next, stream);
    }
#endif
    return c;
}

/* Reads at most size - 1 characters, stopping after a line feed, which is
 * dropped. Returns 1 when the stream ended before the first character. */
static int readPlainLine(FILE *stream, char *buffer, int size)
{
    int count = 0;
    if (size < 1) return 0;
    buffer[0] = '\0';
    while (count < size - 1) {
        int c = readTextChar(stream);
        if (c == EOF) {
            if (count == 0) return 1;
            break;
        }
        buffer[count++] = (char)c;
        if (c == '\n') break;
    }
    buffer[count] = '\0';
    if (count > 0 && buffer[count - 1] == '\n') buffer[count - 1] = '\0';
    return 0;
}

int readHeaderLine(FILE *stream, int scrambled, CodecState *state, char *buffer, int size)
{
    if (!scrambled)
        return readPlainLine(stream, buffer, size) ? recordCannotRead : recordOk;

    int count = 0;
    while (count < headerChars) {
        int c = getc(stream);
        if (c == EOF) break;
        buffer[count++] = (char)c;
        if (c == '\n') break;
    }
    buffer[count] = '\0';
    if (count == 0) return recordCannotRead;
    unsigned char end;
    decodeByte(stream, state, &end);
    return end == 0 ? recordOk : recordCannotRead;
}

int readRecordLine(FILE *stream, int scrambled, CodecState *state, char *buffer, int size)
{
    if (size < 1) return recordCannotRead;
    buffer[0] = '\0';
    if (!scrambled) {
        readPlainLine(stream, buffer, size);
        return recordOk;
    }
    for (int i = 0;; i++) {
        unsigned char c;
        decodeByte(stream, state, &c);
        if (i >= size - 1) {
            buffer[0] = '\0';
            return recordCannotRead;
        }
        buffer[i] = (char)c;
        if (c == 0) return recordOk;
    }
}

int checkHeader(const char *headerLine)
{
    char key[lineKeyLength + 1];
    char value[lineValueLength + 1];
    lineKey(headerLine, key);
    lineValue(headerLine, value);
    if (sameTextIgnoringCase(key, headerKey) && sameTextIgnoringCase(value, headerValue))
        return recordOk;
    return recordBadHeader;
}

int lineKey(const char *line, char *key)
{
    int n = 0;
    while (n < lineKeyLength && line[n] != '\0' && line[n] != '=') {
        key[n] = line[n];
        n++;
    }
    key[n] = '\0';
    return recordOk;
}

int lineValue(const char *line, char *value)
{
    const char *equals = strchr(line, '=');
    if (equals == nullptr || equals[1] == '\0') {
        value[0] = '\0';
        return recordOk;
    }
    // Pads with NUL up to the 80th character, so a found value always fills
    // the caller's 81 characters; a value cut there keeps whole characters.
    size_t length = wholeCharacterLength(equals + 1, lineValueLength);
    memcpy(value, equals + 1, length);
    memset(value + length, '\0', lineValueLength + 1 - length);
    return recordOk;
}

static int lowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

int sameTextIgnoringCase(const char *a, const char *b)
{
    for (;; a++, b++) {
        if (lowerAscii((unsigned char)*a) != lowerAscii((unsigned char)*b)) return 0;
        if (*a == '\0') return 1;
    }
}
