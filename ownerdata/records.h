// Handle-based key=value access to owner data files (quillmrk.dat).
// Status codes are shared with the codec.
#pragma once

enum RecordStatus {
    recordOk = 0,
    recordCannotOpen = 1,
    recordCannotRead = 2,
    recordWriteFailed = 3,
    recordBadHeader = 4,
    recordNoMemory = 6,
    recordBadHandle = 7,
    recordNoKey = 8,
    recordTooFewOccurrences = 9,
};

int openRecordFile(const char *fileName, int scrambled, int *handle);
// value must hold at least 81 characters.
int getRecordValue(int handle, const char *key, int occurrence, char *value);
int setRecordValue(int handle, const char *key, int occurrence, const char *value);
int saveRecordFile(int handle, const char *fileName, int scrambled);
int closeRecordFile(int handle);
