// Inside the record store: the open files in memory and the steps the five
// public operations are made of. The ownerdata tool and the tests use them.
#pragma once
#include <cstddef>

#include "ownerdata/codec.h"
#include "ownerdata/records.h"

// One open owner data file: its record lines in file order, header and empty
// lines left out. Made by loadRecordFile, freed by freeRecordFile.
struct RecordFile {
    char fileName[256];   // the name given at open, cut to 255 characters
    int id;               // its handle number
    char **lines;         // separately allocated copies; null until the first
    int lineCapacity;     // slots in lines, growing by 10
    int lineCount;        // slots in use
    int useCount;         // 1 from open
    RecordFile *next;     // in openRecordFiles, null at the tail
    RecordFile *prev;     // null at the head
};

extern RecordFile *openRecordFiles;   // the open files, oldest first
extern int nextRecordFileId;          // handle numbers are never reused

int loadRecordFile(const char *fileName, int scrambled, RecordFile **record);
// The reading part of a load: header, its check and the record lines, from
// an open stream into an empty record. On failure the lines read so far stay
// in the record for the caller to free.
int readRecordStream(FILE *stream, int scrambled, RecordFile *record);
int writeRecordFile(RecordFile *record, const char *fileName, int scrambled);
int findRecordFile(int handle, RecordFile **record);
int freeRecordFile(RecordFile *record);
int appendLine(RecordFile *record, const char *line);
int growLines(RecordFile *record);
int replaceLine(RecordFile *record, int index, const char *value);

// Every allocation of the store goes through here, so that tests can make
// one fail: failAt 1 fails the next allocation, 2 the one after it, and so
// on; 0 lets every allocation through. The countdown ends at the failure.
void *recordAlloc(size_t size);
void failRecordAllocation(int failAt);
