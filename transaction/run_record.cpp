#include "transaction/run_record.h"

#include "install/text.h"
#include "uninstall/install_record.h"
#include "uninstall/record_paths.h"

// This run's entries: the install directory's levels apart, as a changed
// directory in the dialog replaces them.
static RecordList levelEntries;
static RecordList runEntries;
static int runSaved;       // 1 once this run's entries are in the record file
static int runIncomplete;  // 1 when an entry could not be kept
static int (*recordKeeper)(const char *path);  // told before the record is written

// Paths are kept in the folder's normal form, as the uninstaller compares them.
static void note(RecordList *list, int kind, unsigned long size, uint32_t checksum, const char *path)
{
    char normal[textSize];
    if (normalFolderForm(path, normal, sizeof normal) != 0) copyText(normal, sizeof normal, path);
    if (appendEntry(list, kind, size, checksum, normal) != 0) runIncomplete = 1;
}

void forgetInstallLevels()
{
    levelEntries.count = 0;
}

void noteInstallLevel(const char *path)
{
    note(&levelEntries, recordedDirectory, 0, 0, path);
}

void noteMadeDirectory(const char *path)
{
    note(&runEntries, recordedDirectory, 0, 0, path);
}

void noteWrittenFile(const char *path, unsigned long size, uint32_t checksum)
{
    note(&runEntries, recordedFile, size, checksum, path);
}

int runMadeDirectory(const char *path)
{
    const RecordList *lists[] = {&levelEntries, &runEntries};
    for (const RecordList *list : lists)
        for (int i = 0; i < list->count; i++)
            if (list->entries[i].kind == recordedDirectory && samePath(list->entries[i].path, path)) return 1;
    return 0;
}

void resetInstallRecord()
{
    freeRecordList(&levelEntries);
    freeRecordList(&runEntries);
    runSaved = 0;
    runIncomplete = 0;
}

unsigned long recordedKilobytes()
{
    unsigned long long bytes = 0;
    for (int i = 0; i < runEntries.count; i++) bytes += runEntries.entries[i].size;
    return (unsigned long)((bytes + 1023) / 1024);
}

void keepRecordWith(int (*keep)(const char *path))
{
    recordKeeper = keep;
}

int keepFileBeforeChanging(const char *path)
{
    return recordKeeper ? recordKeeper(path) : 0;
}

int saveInstallRecord(const char *path, const char *folder, const char *typed)
{
    if (runSaved) return 0;
    if (runIncomplete) return -1;
    if (recordKeeper && recordKeeper(path) != 0) return -1;
    if (appendRecordPart(path, folder, typed, &levelEntries, &runEntries) != 0) return -1;
    runSaved = 1;
    return 0;
}
