#include "transaction/journal.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "install/paths.h"
#include "install/setup_log.h"
#include "install/text.h"
#include "ownerdata/characters.h"
#include "transaction/data_folder.h"
#include "transaction/key_snapshot.h"
#include "transaction/run_record.h"
#include "uninstall/delayed_removal.h"
#include "uninstall/registration.h"

static const char journalName[] = "INSTALL.JNL";
static const char journalHeader[] = "QMJ1";
static const char profileSection[] = "Quillmark";

// What the journal's lines say; each is taken back in reverse order.
enum EntryKind {
    madeDirectory = 'D',   // path: a directory this run made
    madeFile = 'N',        // path: a file this run created
    replacedFile = 'R',    // path, the new copy beside it (temp) and the earlier file's place aside
    atRestart = 'U',       // path: its copy takes its name at the next start of Windows
    profileValue = 'W',    // section, key and the earlier value
    profileAbsent = 'A',   // section and key, which had no value
    sectionAbsent = 'E',   // section, which was not there
    committed = 'C',       // everything written: only the earlier files aside are left to remove
    madeFolder = 'F',      // the run made the data folder for its journal
    madeKey = 'K',         // root: the product's key under it, which was not there
    keptKey = 'S',         // root: the product's key under it, its values kept in the root's file
    notOurs = 'X',         // path: a file announced as this run's that another program made first
};

// The roots the product's key may be written under, with the file that keeps an earlier key's values.
struct KeyRoot {
    HKEY root;
    const char *name;
    const char *file;
};
static const KeyRoot keyRoots[] = {
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "INSTALLM.KEY"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "INSTALLU.KEY"},
};

static const KeyRoot *keyRootNamed(const char *name)
{
    for (const KeyRoot &root : keyRoots)
        if (strcmp(root.name, name) == 0) return &root;
    return nullptr;
}

struct Entry {
    char kind;
    char path[textSize];
    char temp[textSize];   // the new copy (replacedFile), or the key (profile lines)
    char aside[textSize];  // the earlier file's place (replacedFile), or the earlier value
    int placed;            // the copy has taken its name, the earlier file is aside
    int inUse;             // another program held the file: it is replaced at the next start
    int withdrawn;         // the copy failed and is gone: the earlier file stays
    int announced;         // a file to be made, announced ahead and not made yet
};

static Entry *entries;         // this run's, or the interrupted run's while it is recovered
static int entryCount, entryRoom;
static HANDLE journal = INVALID_HANDLE_VALUE;
static int journalTried;       // 1 once the journal was opened or could not be
static int madeDataFolder;     // 1 when this run made the data folder for its journal
static int placingDone;        // 1 after the final step: a copy takes its name when done
static int restartWanted;
static int nameCounter;        // the next number tried for a name beside a file
static int deferFlush;         // 1 while a line is written ahead of its flush
static int linesWaiting;       // lines written ahead that are not on the disk yet

static int journalPath(char *path, int size)
{
    char folder[textSize];
    return productDataFolder(folder, sizeof folder) == 0 ? pathInDir(folder, journalName, path, size) : -1;
}

static void journalLine(char kind, const char *first, const char *second, const char *third);

// The journal is made with the run's first change; a run that changes
// nothing leaves none.
static void openJournal()
{
    if (journalTried) return;
    journalTried = 1;
    keepRecordWith(keepBeforeWriting);
    char folder[textSize], path[textSize];
    if (productDataFolder(folder, sizeof folder) != 0) return;
    madeDataFolder = GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES;
    if (makeProductDataFolder(folder, sizeof folder) != 0 || pathInDir(folder, journalName, path, sizeof path) != 0) {
        writeLog("The journal cannot be written in %s: a run stopped by force cannot be taken back", folder);
        return;
    }
    journal = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (journal == INVALID_HANDLE_VALUE) {
        writeLog("The journal %s cannot be written: a run stopped by force cannot be taken back", path);
        return;
    }
    DWORD written;
    WriteFile(journal, journalHeader, sizeof journalHeader - 1, &written, NULL);
    WriteFile(journal, "\r\n", 2, &written, NULL);
    FlushFileBuffers(journal);
    if (madeDataFolder) journalLine(madeFolder, folder, nullptr, nullptr);
}

/* One line: the kind, then up to three texts apart by '|', which no file
 * name, section or key of ours holds. Written and on the disk before the
 * change it names, so that a kill or a power cut at any point finds it. */
static void journalLine(char kind, const char *first, const char *second, const char *third)
{
    openJournal();
    if (journal == INVALID_HANDLE_VALUE) return;
    char line[3 * textSize + 8];
    if (formatText(line, sizeof line, "%c %s%s%s%s%s\r\n", kind, first, second ? "|" : "", second ? second : "",
                   third ? "|" : "", third ? third : "") != 0)
        return;
    DWORD written;
    WriteFile(journal, line, (DWORD)strlen(line), &written, NULL);
    if (deferFlush) {
        linesWaiting = 1;
        return;
    }
    FlushFileBuffers(journal);
    linesWaiting = 0;
}

// The journal's end: closed and removed, with the data folder when this run
// made it for the journal alone.
static void removeJournal()
{
    char path[textSize], folder[textSize];
    if (journal != INVALID_HANDLE_VALUE) CloseHandle(journal);
    journal = INVALID_HANDLE_VALUE;
    // The next change, after a commit too, opens a journal of its own.
    journalTried = 0;
    if (journalPath(path, sizeof path) == 0) DeleteFileA(path);
    if (madeDataFolder && productDataFolder(folder, sizeof folder) == 0) RemoveDirectoryA(folder);
    madeDataFolder = 0;
}

static Entry *addEntry(char kind, const char *path)
{
    if (entryCount == entryRoom) {
        int room = entryRoom ? 2 * entryRoom : 256;
        Entry *grown = static_cast<Entry *>(realloc(entries, (size_t)room * sizeof(Entry)));
        if (!grown) return nullptr;
        entries = grown;
        entryRoom = room;
    }
    Entry *entry = &entries[entryCount++];
    memset(entry, 0, sizeof *entry);
    entry->kind = kind;
    copyText(entry->path, sizeof entry->path, path);
    return entry;
}

// The latest entry of one of the file kinds for path.
static Entry *fileEntry(const char *path)
{
    for (int i = entryCount - 1; i >= 0; i--)
        if ((entries[i].kind == madeFile || entries[i].kind == replacedFile) && equalsIgnoringCase(entries[i].path, path))
            return &entries[i];
    return nullptr;
}

static void forgetEntries()
{
    free(entries);
    entries = nullptr;
    entryCount = entryRoom = 0;
    placingDone = 0;
}

void noteDirectoryToMake(const char *path)
{
    // One that is there already is not this run's.
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return;
    journalLine(madeDirectory, path, nullptr, nullptr);
    addEntry(madeDirectory, path);
}

void noteDirectoryMade(const char *path, int installLevel)
{
    if (installLevel)
        noteInstallLevel(path);
    else
        noteMadeDirectory(path);
}

void flushAnnouncedFiles()
{
    if (linesWaiting && journal != INVALID_HANDLE_VALUE) FlushFileBuffers(journal);
    linesWaiting = 0;
}

void noteFileCreated(const char *path)
{
    Entry *entry = fileEntry(path);
    if (entry && entry->kind == madeFile && entry->announced) {
        entry->announced = 0;
        return;
    }
    journalLine(madeFile, path, nullptr, nullptr);
    addEntry(madeFile, path);
}

/* The run's entry for the file at path; null for an announced file the run
 * has not made. One that is there all the same was made by another program
 * meanwhile: the journal says so before the run touches it, so that no undo
 * removes it. */
static Entry *ownEntry(const char *path)
{
    Entry *entry = fileEntry(path);
    if (!entry || entry->kind != madeFile || !entry->announced) return entry;
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        journalLine(notOurs, path, nullptr, nullptr);
        entry->kind = notOurs;
    }
    return nullptr;
}

/* A name beside path (in its folder) that no file has: qm, the letter, five
 * digits, an 8.3 name wherever the file can be. 0, or -1. */
static int nameBeside(const char *path, char letter, char *name, int size)
{
    const char *last = lastCharacterOf(path, "\\");
    int dirLength = last ? (int)(last - path) + 1 : 0;
    for (int tries = 0; tries < 1000 && nameCounter < 100000; tries++) {
        if (formatText(name, size, "%.*sqm%c%05d.tmp", dirLength, path, letter, nameCounter++) != 0) return -1;
        if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return 0;
    }
    return -1;
}

/* An earlier file at path that the run gives a new copy: the names beside it
 * for the copy and for the earlier file once aside, journaled. Null when no
 * name is free or there is no memory. */
static Entry *addReplacedFile(const char *path)
{
    char temp[textSize], aside[textSize];
    if (nameBeside(path, 'n', temp, sizeof temp) != 0 || nameBeside(path, 'o', aside, sizeof aside) != 0) return nullptr;
    journalLine(replacedFile, path, temp, aside);
    Entry *entry = addEntry(replacedFile, path);
    if (!entry) return nullptr;
    copyText(entry->temp, sizeof entry->temp, temp);
    copyText(entry->aside, sizeof entry->aside, aside);
    return entry;
}

void announceFile(const char *path)
{
    if (fileEntry(path)) return;
    DWORD attributes = GetFileAttributesA(path);
    // A directory of the name is the copy's to report when it gets there.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    deferFlush = 1;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        addReplacedFile(path);
    } else {
        journalLine(madeFile, path, nullptr, nullptr);
        Entry *entry = addEntry(madeFile, path);
        if (entry) entry->announced = 1;
    }
    deferFlush = 0;
}

int stageExistingFile(const char *path, char *staged, int stagedSize)
{
    Entry *entry = ownEntry(path);
    if (entry && (entry->kind == madeFile || entry->placed)) return copyText(staged, stagedSize, path) == 0 ? stageInPlace : stageFailed;
    if (!entry) entry = addReplacedFile(path);
    if (!entry) return stageFailed;
    entry->withdrawn = 0;
    return copyText(staged, stagedSize, entry->temp) == 0 ? stageBeside : stageFailed;
}

// The file's bytes on the disk, before the file they keep is written in place: 1, or 0.
static int flushFile(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int flushed = FlushFileBuffers(file) != 0;
    return CloseHandle(file) && flushed;
}

int keepBeforeWriting(const char *path)
{
    Entry *entry = ownEntry(path);
    if (entry && (entry->kind == madeFile || entry->placed)) return 0;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        noteFileCreated(path);
        return 0;
    }
    // An earlier file the copy announced but did not replace (passed over) is kept the same way.
    if (!entry) entry = addReplacedFile(path);
    if (!entry) return -1;
    if (!CopyFileA(path, entry->aside, TRUE) || !flushFile(entry->aside)) {
        // A copy cut short (a full disk) is no copy.
        DeleteFileA(entry->aside);
        return -1;
    }
    // Written in place from now on; the copy aside is what the undo puts back.
    entry->placed = 1;
    return 0;
}

/* A copy in use takes its name when Windows next starts, before any program
 * holds it; the earlier file stays until then. 0, or -1. */
static int placeAtRestart(Entry *entry)
{
    if (!MoveFileExA(entry->temp, entry->path, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) return -1;
    journalLine(atRestart, entry->path, nullptr, nullptr);
    entry->inUse = 1;
    restartWanted = 1;
    writeLog("File %s in use: its new version takes its place at the next start of Windows", entry->path);
    return 0;
}

// The copy takes its name, the earlier file going aside: 0, or -1 with both as they were.
static int placeEntry(Entry *entry)
{
    if (!MoveFileA(entry->path, entry->aside)) {
        DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) return placeAtRestart(entry);
        if (error != ERROR_FILE_NOT_FOUND) return -1;
        // The earlier file went meanwhile: the copy is a file this run made.
        journalLine(madeFile, entry->path, nullptr, nullptr);
        entry->kind = madeFile;
        return MoveFileA(entry->temp, entry->path) ? 0 : -1;
    }
    if (MoveFileA(entry->temp, entry->path)) {
        entry->placed = 1;
        return 0;
    }
    MoveFileA(entry->aside, entry->path);
    return -1;
}

int stagedFileDone(const char *path, int whole)
{
    Entry *entry = fileEntry(path);
    if (!entry || entry->kind != replacedFile || entry->placed) return 0;
    if (!whole) {
        entry->withdrawn = 1;
        return 0;
    }
    return placingDone ? placeEntry(entry) : 0;
}

int keepProfileEntry(const char *file, const char *section, const char *key)
{
    for (int i = 0; i < entryCount; i++)
        if ((entries[i].kind == profileValue || entries[i].kind == profileAbsent) && equalsIgnoringCase(entries[i].temp, key))
            return 0;
    // A file another program holds reads as empty: its earlier values are
    // not known until it can be read.
    HANDLE readable = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (readable == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) return -1;
    if (readable != INVALID_HANDLE_VALUE) CloseHandle(readable);
    char keys[4];
    // A section that is not there goes again whole, header and all.
    if (GetProfileStringA(section, NULL, "", keys, sizeof keys) == 0) {
        journalLine(sectionAbsent, section, nullptr, nullptr);
        addEntry(sectionAbsent, section);
    }
    char value[textSize];
    GetProfileStringA(section, key, "\x01", value, sizeof value);
    int absent = strcmp(value, "\x01") == 0;
    journalLine(absent ? profileAbsent : profileValue, section, key, absent ? nullptr : value);
    Entry *entry = addEntry(absent ? profileAbsent : profileValue, section);
    if (!entry) return -1;
    copyText(entry->temp, sizeof entry->temp, key);
    copyText(entry->aside, sizeof entry->aside, absent ? "" : value);
    return 0;
}

static int keptKeyEntry(const char *rootName)
{
    for (int i = 0; i < entryCount; i++)
        if ((entries[i].kind == madeKey || entries[i].kind == keptKey) && strcmp(entries[i].path, rootName) == 0) return 1;
    return 0;
}

// The file that keeps the earlier key's values under root: 0, or -1.
static int keyFilePath(const KeyRoot &root, char *path, int size)
{
    char folder[textSize];
    return productDataFolder(folder, sizeof folder) == 0 ? pathInDir(folder, root.file, path, size) : -1;
}

void keepProductKey()
{
    openJournal();
    for (const KeyRoot &root : keyRoots) {
        // Once a run: a retry finds the key half written by this run.
        if (keptKeyEntry(root.name)) continue;
        char file[textSize];
        int kept = keyFilePath(root, file, sizeof file) == 0 ? saveKeySnapshot(root.root, uninstallKeyPath, file) : -1;
        if (kept < 0) {
            writeLog("The product's key under %s cannot be kept: a stopped run leaves it as written", root.name);
            continue;
        }
        journalLine(kept ? keptKey : madeKey, root.name, nullptr, nullptr);
        Entry *entry = addEntry(kept ? keptKey : madeKey, root.name);
        if (entry) copyText(entry->temp, sizeof entry->temp, file);
    }
}

int placeStagedFiles()
{
    placingDone = 1;
    for (int i = 0; i < entryCount; i++) {
        Entry *entry = &entries[i];
        if (entry->kind != replacedFile || entry->withdrawn || entry->placed) continue;
        // A copy passed over (Ignore) was never written: the earlier file stays.
        if (GetFileAttributesA(entry->temp) == INVALID_FILE_ATTRIBUTES) continue;
        if (placeEntry(entry) != 0) {
            writeLog("File %s cannot take its new version", entry->path);
            return -1;
        }
    }
    return 0;
}

int restartNeeded()
{
    return restartWanted;
}

// A file this run made that cannot go now (in use) goes at the next start.
static void removeFile(const char *path)
{
    if (!DeleteFileA(path) && GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND)
        removeAtRestart(path);
}

static void takeBack(const Entry *entry)
{
    switch (entry->kind) {
    case madeDirectory:
        RemoveDirectoryA(entry->path);
        break;
    case madeFile:
        if (!entry->announced) removeFile(entry->path);
        break;
    case replacedFile:
        if (GetFileAttributesA(entry->aside) != INVALID_FILE_ATTRIBUTES)
            MoveFileExA(entry->aside, entry->path, MOVEFILE_REPLACE_EXISTING);
        // A copy waiting for the restart is gone then too: its rename finds nothing.
        removeFile(entry->temp);
        break;
    case profileValue:
        WriteProfileStringA(entry->path, entry->temp, entry->aside);
        break;
    case profileAbsent:
        WriteProfileStringA(entry->path, entry->temp, NULL);
        break;
    case sectionAbsent:
        WriteProfileStringA(entry->path, NULL, NULL);
        break;
    case madeKey:
        RegDeleteKeyA(keyRootNamed(entry->path)->root, uninstallKeyPath);
        break;
    case keptKey:
        if (restoreKeySnapshot(keyRootNamed(entry->path)->root, uninstallKeyPath, entry->temp) != 0)
            writeLog("The product's key under %s cannot be put back as it was", entry->path);
        DeleteFileA(entry->temp);
        break;
    }
}

// A directory in use as the current one cannot be removed.
static void leaveInstallTree()
{
    char windows[textSize];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length > 0 && length < sizeof windows) SetCurrentDirectoryA(windows);
}

static void undoEntries()
{
    leaveInstallTree();
    for (int i = entryCount - 1; i >= 0; i--) takeBack(&entries[i]);
}

// After the commit: the earlier files kept aside go; a copy waiting for the
// restart stays for it.
static void finishEntries()
{
    for (int i = 0; i < entryCount; i++) {
        const Entry *entry = &entries[i];
        if (entry->kind == keptKey) DeleteFileA(entry->temp);
        if (entry->kind != replacedFile) continue;
        removeFile(entry->aside);
        if (!entry->inUse) removeFile(entry->temp);
    }
}

void commitInstallation()
{
    if (entryCount == 0 && journal == INVALID_HANDLE_VALUE) return;
    journalLine(committed, "", nullptr, nullptr);
    finishEntries();
    // The data folder now holds what the installation keeps there.
    madeDataFolder = 0;
    removeJournal();
    forgetEntries();
}

void undoInstallation()
{
    if (entryCount > 0) {
        undoEntries();
        writeLog("Taken back: every file, folder and entry this run changed is as it was");
    }
    if (journal != INVALID_HANDLE_VALUE) removeJournal();
    forgetEntries();
    journalTried = 0;
}

/* ---- the journal a killed run left -------------------------------------- */

// A full path without "." or ".." levels or wildcards: what the journal may
// name. The folder is the administrators' alone; its lines are checked all the same.
static int plainFullPath(const char *path)
{
    if (path[0] == '\0' || pathRootLength(path) == 0 || strpbrk(path, "*?\"<>")) return 0;
    const char *cursor = path + pathRootLength(path);
    char component[textSize];
    int status;
    while ((status = nextPathComponent(&cursor, component, sizeof component)) == 1)
        if (strcmp(component, ".") == 0 || strcmp(component, "..") == 0) return 0;
    return status == 0;
}

// A name beside path that this program makes (nameBeside).
static int besideName(const char *path, const char *name)
{
    const char *last = lastCharacterOf(path, "\\");
    size_t dirLength = last ? (size_t)(last - path) + 1 : 0;
    const char *own = name + dirLength;
    return strncmp(path, name, dirLength) == 0 && strlen(own) == 12 && strncmp(own, "qm", 2) == 0 &&
           strcmp(own + 8, ".tmp") == 0 && strspn(own + 3, "0123456789") == 5;
}

static int profileKey(const char *section, const char *key)
{
    return strcmp(section, profileSection) == 0 && (strcmp(key, "BinDirectory") == 0 || strcmp(key, "PrefDirectory") == 0);
}

// Splits text at '|' into up to three fields: how many there were, or -1 when one does not fit.
static int splitFields(const char *text, char fields[3][textSize])
{
    int count = 0;
    const char *start = text;
    for (;;) {
        const char *end = strchr(start, '|');
        int length = end ? (int)(end - start) : (int)strlen(start);
        if (count == 3 || length >= textSize) return -1;
        memcpy(fields[count], start, length);
        fields[count++][length] = '\0';
        if (!end) return count;
        start = end + 1;
    }
}

/* One line of the journal, checked at the door into an entry: 1 taken,
 * 0 refused, 2 the commit line. */
static int readLine(const char *line)
{
    char fields[3][textSize] = {};
    if (line[0] == committed && line[1] == ' ' && line[2] == '\0') return 2;
    char folder[textSize];
    if (line[0] == madeFolder && line[1] == ' ' && productDataFolder(folder, sizeof folder) == 0 &&
        strcmp(line + 2, folder) == 0) {
        madeDataFolder = 1;
        return 1;
    }
    if (line[0] == '\0' || line[1] != ' ') return 0;
    int count = splitFields(line + 2, fields);
    char kind = line[0];
    int usable = 0;
    switch (kind) {
    case madeDirectory:
    case madeFile:
    case atRestart:
    case notOurs:
        usable = count == 1 && plainFullPath(fields[0]);
        break;
    case replacedFile:
        usable = count == 3 && plainFullPath(fields[0]) && besideName(fields[0], fields[1]) && besideName(fields[0], fields[2]);
        break;
    case profileValue:
        usable = count == 3 && profileKey(fields[0], fields[1]);
        break;
    case profileAbsent:
        usable = count == 2 && profileKey(fields[0], fields[1]);
        break;
    case sectionAbsent:
        usable = count == 1 && strcmp(fields[0], profileSection) == 0;
        break;
    case madeKey:
    case keptKey:
        usable = count == 1 && keyRootNamed(fields[0]) && keyFilePath(*keyRootNamed(fields[0]), fields[1], textSize) == 0;
        break;
    }
    if (!usable) return 0;
    if (kind == atRestart || kind == notOurs) {
        Entry *entry = fileEntry(fields[0]);
        if (entry && entry->kind == replacedFile && kind == atRestart) entry->inUse = 1;
        if (entry && entry->kind == madeFile && kind == notOurs) entry->kind = notOurs;
        return 1;
    }
    Entry *entry = addEntry(kind, fields[0]);
    if (!entry) return 0;
    copyText(entry->temp, sizeof entry->temp, fields[1]);
    copyText(entry->aside, sizeof entry->aside, fields[2]);
    return 1;
}

enum { journalLimit = 4 * 1024 * 1024 };

// The journal's bytes, NUL-terminated, to be freed; null when there is none to read.
static char *readJournal(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD size = GetFileSize(file, NULL), read = 0;
    char *text = size < journalLimit ? static_cast<char *>(malloc(size + 1)) : nullptr;
    if (text && (!ReadFile(file, text, size, &read, NULL) || read != size)) {
        free(text);
        text = nullptr;
    }
    CloseHandle(file);
    if (text) text[size] = '\0';
    return text;
}

void recoverInterruptedRun()
{
    char path[textSize];
    if (journalPath(path, sizeof path) != 0) return;
    char *text = readJournal(path);
    if (!text) return;
    forgetEntries();
    int isCommitted = 0, refused = 0;
    madeDataFolder = 0;
    int headerLength = (int)sizeof journalHeader - 1;
    int known = strncmp(text, journalHeader, headerLength) == 0 && strncmp(text + headerLength, "\r\n", 2) == 0;
    // Only whole lines count: the last one may have been cut by a power cut.
    for (char *line = text + headerLength + 2; known;) {
        char *end = strstr(line, "\r\n");
        if (!end) break;
        *end = '\0';
        int taken = readLine(line);
        if (taken == 2) isCommitted = 1;
        if (taken == 0) refused++;
        line = end + 2;
    }
    free(text);
    if (!known) {
        writeLog("The journal %s is not one of ours: left alone", path);
        return;
    }
    if (refused) writeLog("The journal %s: %d line(s) refused", path, refused);
    if (isCommitted) {
        finishEntries();
        writeLog("An installation stopped after its last step: its earlier files kept aside are removed");
    } else {
        undoEntries();
        writeLog("An installation was stopped before it completed: everything it changed (%d entries) is taken back",
                 entryCount);
    }
    removeJournal();
    forgetEntries();
}
