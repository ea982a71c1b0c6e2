// The owner data file format: header line, record lines, and the byte codec
// of the scrambled mode. Streams are C text streams opened by the caller.
// Every step returns a RecordStatus (0 success) unless noted.
#pragma once
#include <cstdio>

#include "ownerdata/records.h"

enum {
    codecInitialKey = 0x5A3C,
    lineKeyLength = 80,      // lookups use at most this much of a key
    lineValueLength = 80,    // and a read returns at most this much of a value
    lineBufferChars = 256,   // the load operation's line buffer
    lineBufferSize = 255,    // the size it passes to the read steps
};

// The running key of one load or one save, from its start to its end.
struct CodecState {
    unsigned short runningKey;  // rotated left once after every odd byte
    int byteCount;              // bytes encoded or decoded so far in this file
};

void initCodecState(CodecState *state);

// Two digits per byte; 3 if a digit cannot be written (the state has moved on).
int encodeByte(FILE *stream, CodecState *state, unsigned char byte);
// Always 0; yields NUL, leaving the state alone, at the end of the stream.
int decodeByte(FILE *stream, CodecState *state, unsigned char *byte);

unsigned short rotateKey(unsigned short value, int count);
char hexDigitChar(int value);        // digit for the low four bits, capitals
int hexDigitValue(int character);    // 0..15; anything not a digit counts as 0

int writeHeaderLine(FILE *stream, int scrambled, CodecState *state);
int writeRecordLine(FILE *stream, int scrambled, CodecState *state, const char *line);
int writeNewline(FILE *stream);

// buffer holds at least size characters (at least 18 for the scrambled header).
int readHeaderLine(FILE *stream, int scrambled, CodecState *state, char *buffer, int size);
int readRecordLine(FILE *stream, int scrambled, CodecState *state, char *buffer, int size);

int checkHeader(const char *headerLine);

// key and value each hold at least 81 characters. Both return 0.
int lineKey(const char *line, char *key);
int lineValue(const char *line, char *value);

// ASCII letters compared without regard to case, other bytes exactly.
int sameTextIgnoringCase(const char *a, const char *b);
