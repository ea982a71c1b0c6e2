#include "ownerdata/record_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ownerdata/characters.h"
#include "ownerdata/file_replace.h"

RecordFile *openRecordFiles = nullptr;
int nextRecordFileId = 1;

enum {
    lineStep = 10,
    // The longest line that a scrambled file can give back: the read buffer
    // less the line's NUL and the one position the reader refuses.
    longestStoredLine = lineBufferSize - 2,
    tempNameSize = 512,
};

static int allocationsBeforeFailure = 0;  // 0: none fails

void failRecordAllocation(int failAt)
{
    allocationsBeforeFailure = failAt;
}

void *recordAlloc(size_t size)
{
    if (allocationsBeforeFailure > 0 && --allocationsBeforeFailure == 0) return nullptr;
    return malloc(size);
}

static void unlinkRecord(RecordFile *record)
{
    if (record->prev != nullptr) record->prev->next = record->next;
    else openRecordFiles = record->next;
    if (record->next != nullptr) record->next->prev = record->prev;
    record->next = record->prev = nullptr;
}

static void linkRecordAtTail(RecordFile *record)
{
    RecordFile *tail = openRecordFiles;
    if (tail == nullptr) {
        openRecordFiles = record;
        return;
    }
    while (tail->next != nullptr) tail = tail->next;
    tail->next = record;
    record->prev = tail;
}

int freeRecordFile(RecordFile *record)
{
    if (record == nullptr) return recordOk;
    for (int i = 0; i < record->lineCount; i++) free(record->lines[i]);
    free(record->lines);
    free(record);
    return recordOk;
}

int growLines(RecordFile *record)
{
    if (record->lineCount < record->lineCapacity) return recordOk;
    int capacity = record->lineCapacity + lineStep;
    char **lines = (char **)recordAlloc(sizeof(char *) * (size_t)capacity);
    if (lines == nullptr) return recordNoMemory;
    if (record->lineCount > 0)
        memcpy(lines, record->lines, sizeof(char *) * (size_t)record->lineCount);
    free(record->lines);
    record->lines = lines;
    record->lineCapacity = capacity;
    return recordOk;
}

int appendLine(RecordFile *record, const char *line)
{
    int status = growLines(record);
    if (status != recordOk) return status;
    size_t length = strlen(line);
    char *copy = (char *)recordAlloc(length + 1);
    if (copy == nullptr) return recordNoMemory;
    memcpy(copy, line, length + 1);
    record->lines[record->lineCount++] = copy;
    return recordOk;
}

/* Replaces the value of line index, keeping its key as stored (cut to 80
 * characters). The value is cut so that the whole line stays short enough
 * for a scrambled file to be loaded again. */
int replaceLine(RecordFile *record, int index, const char *value)
{
    char key[lineKeyLength + 1];
    lineKey(record->lines[index], key);
    size_t keyLength = strlen(key);
    size_t valueLength = strlen(value);
    size_t roomForValue = longestStoredLine - keyLength - 1;
    if (valueLength > roomForValue) valueLength = wholeCharacterLength(value, roomForValue);

    char *line = (char *)recordAlloc(keyLength + 1 + valueLength + 1);
    if (line == nullptr) return recordNoMemory;
    memcpy(line, key, keyLength);
    line[keyLength] = '=';
    memcpy(line + keyLength + 1, value, valueLength);
    line[keyLength + 1 + valueLength] = '\0';
    free(record->lines[index]);
    record->lines[index] = line;
    return recordOk;
}

/* Reads the record lines after a checked header; stops at the first failure.
 * A read error sets the stream's error flag but never its end-of-file flag,
 * and the read steps take it for the end of a line: it ends the load here. */
static int readRecordLines(FILE *stream, int scrambled, CodecState *state, RecordFile *record)
{
    char buffer[lineBufferChars];
    int status = recordOk;
    while (status == recordOk && !feof(stream)) {
        status = readRecordLine(stream, scrambled, state, buffer, lineBufferSize);
        if (ferror(stream)) status = recordCannotRead;
        if (status == recordOk && buffer[0] != '\0') status = appendLine(record, buffer);
    }
    return status;
}

int readRecordStream(FILE *stream, int scrambled, RecordFile *record)
{
    CodecState state;
    initCodecState(&state);
    char header[lineBufferChars];
    int status = readHeaderLine(stream, scrambled, &state, header, lineBufferSize);
    if (ferror(stream)) status = recordCannotRead;  // a cut header is no wrong header
    if (status == recordOk) status = checkHeader(header);
    if (status == recordOk) status = readRecordLines(stream, scrambled, &state, record);
    return status;
}

int loadRecordFile(const char *fileName, int scrambled, RecordFile **result)
{
    RecordFile *record = (RecordFile *)recordAlloc(sizeof(RecordFile));
    if (record == nullptr) return recordNoMemory;
    strncpy(record->fileName, fileName, sizeof record->fileName - 1);
    record->fileName[sizeof record->fileName - 1] = '\0';
    // A load that fails from here on has still used up its number.
    record->id = nextRecordFileId++;
    record->lines = nullptr;
    record->lineCapacity = 0;
    record->lineCount = 0;
    record->useCount = 1;
    record->next = record->prev = nullptr;

    FILE *stream = fopen(fileName, "r");
    if (stream == nullptr) {
        freeRecordFile(record);
        return recordCannotOpen;
    }
    int status = readRecordStream(stream, scrambled, record);
    fclose(stream);
    if (status != recordOk) {
        freeRecordFile(record);
        return status;
    }
    *result = record;
    return recordOk;
}

static int writeLines(FILE *stream, const RecordFile *record, int scrambled)
{
    CodecState state;
    initCodecState(&state);
    int status = writeHeaderLine(stream, scrambled, &state);
    for (int i = 0; i < record->lineCount && status == recordOk; i++)
        status = writeRecordLine(stream, scrambled, &state, record->lines[i]);
    return status;
}

int writeRecordFile(RecordFile *record, const char *fileName, int scrambled)
{
    char tempName[tempNameSize];
    if (targetWritable(fileName) != 0) return recordCannotOpen;
    if (makeTempName(fileName, tempName, sizeof tempName) != 0) return recordCannotOpen;
    FILE *stream = fopen(tempName, "w");
    if (stream == nullptr) return recordCannotOpen;

    int status = writeLines(stream, record, scrambled);
    // What is still buffered is written out before the close: a failure
    // there is a failed write too, and not every C library reports it from
    // fclose (Wine's does not).
    if (fflush(stream) != 0 && status == recordOk) status = recordWriteFailed;
    if (fclose(stream) != 0 && status == recordOk) status = recordWriteFailed;
    int replaced = status == recordOk ? replaceFile(tempName, fileName) : -1;
    if (status == recordOk && replaced != 0) status = recordCannotOpen;
    if (status != recordOk && replaced != replaceKeptNew) remove(tempName);
    return status;
}

int findRecordFile(int handle, RecordFile **result)
{
    for (RecordFile *record = openRecordFiles; record != nullptr; record = record->next) {
        if (record->id == handle) {
            *result = record;
            return recordOk;
        }
    }
    *result = nullptr;
    return recordBadHandle;
}

/* The index of the occurrence-th line (from 1) whose key is key, ASCII case
 * ignored; 8 if no line has the key, 9 if fewer lines than that do. */
static int findOccurrence(const RecordFile *record, const char *key, int occurrence, int *index)
{
    char lineKeyText[lineKeyLength + 1];
    int counter = 1;
    for (int i = 0; i < record->lineCount; i++) {
        lineKey(record->lines[i], lineKeyText);
        if (!sameTextIgnoringCase(key, lineKeyText)) continue;
        if (counter == occurrence) {
            *index = i;
            return recordOk;
        }
        counter++;
    }
    return counter == 1 ? recordNoKey : recordTooFewOccurrences;
}

int openRecordFile(const char *fileName, int scrambled, int *handle)
{
    RecordFile *record;
    int status = loadRecordFile(fileName, scrambled, &record);
    if (status != recordOk) return status;
    linkRecordAtTail(record);
    *handle = record->id;
    return recordOk;
}

/* The open file of handle and the index in it of the key's occurrence-th line. */
static int findLine(int handle, const char *key, int occurrence, RecordFile **record, int *index)
{
    int status = findRecordFile(handle, record);
    if (status != recordOk) return status;
    return findOccurrence(*record, key, occurrence, index);
}

int getRecordValue(int handle, const char *key, int occurrence, char *value)
{
    RecordFile *record;
    int index;
    int status = findLine(handle, key, occurrence, &record, &index);
    if (status != recordOk) return status;
    return lineValue(record->lines[index], value);
}

int setRecordValue(int handle, const char *key, int occurrence, const char *value)
{
    RecordFile *record;
    int index;
    int status = findLine(handle, key, occurrence, &record, &index);
    if (status != recordOk) return status;
    return replaceLine(record, index, value);
}

int saveRecordFile(int handle, const char *fileName, int scrambled)
{
    RecordFile *record;
    int status = findRecordFile(handle, &record);
    if (status != recordOk) return status;
    return writeRecordFile(record, fileName, scrambled);
}

int closeRecordFile(int handle)
{
    RecordFile *record;
    int status = findRecordFile(handle, &record);
    if (status != recordOk) return status;
    if (--record->useCount == 0) {
        unlinkRecord(record);
        freeRecordFile(record);
    }
    return recordOk;
}
