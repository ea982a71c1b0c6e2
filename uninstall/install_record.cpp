#include "uninstall/install_record.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "install/checksum.h"
#ifdef _WIN32
#include <windows.h>
#endif
#include "uninstall/record_paths.h"

const char recordFileName[] = "QMREMOVE.DAT";
const char uninstallerFileName[] = "QMREMOVE.EXE";

// The record in the product's data folder; the first format lay in the
// install folder, which an installation of today's layout no longer uses.
static const char recordHeader[] = "Quillmark install record 2\r\n";
static const char firstRecordHeader[] = "Quillmark install record 1";

int appendEntry(RecordList *list, int kind, unsigned long size, uint32_t checksum, const char *path)
{
    if (list->count == list->capacity) {
        int capacity = list->capacity ? list->capacity * 2 : 64;
        void *grown = realloc(list->entries, (size_t)capacity * sizeof(RecordEntry));
        if (!grown) return -1;
        list->entries = static_cast<RecordEntry *>(grown);
        list->capacity = capacity;
    }
    RecordEntry *entry = &list->entries[list->count];
    entry->kind = kind;
    entry->size = size;
    entry->checksum = checksum;
    if (copyText(entry->path, sizeof entry->path, path) != 0) return -1;
    list->count++;
    return 0;
}

void freeRecordList(RecordList *list)
{
    free(list->entries);
    *list = RecordList{};
}

int recordLine(const RecordEntry *entry, char *line, int size)
{
    if (entry->kind == recordedFile)
        return formatText(line, size, "F %lu %08lX %s", entry->size, (unsigned long)entry->checksum, entry->path);
    return formatText(line, size, "D %s", entry->path);
}

int parseRecordLine(const char *line, RecordEntry *entry)
{
    unsigned long size = 0, checksum = 0;
    int used = 0;
    const char *path = NULL;
    if (line[0] == 'D' && line[1] == ' ') {
        entry->kind = recordedDirectory;
        entry->size = entry->checksum = 0;
        path = line + 2;
    } else if (sscanf(line, "F %lu %8lx %n", &size, &checksum, &used) == 2 && used > 0) {
        entry->kind = recordedFile;
        entry->size = size;
        entry->checksum = (uint32_t)checksum;
        path = line + used;
    }
    return path && path[0] != '\0' && copyText(entry->path, sizeof entry->path, path) == 0;
}

// 1 when the record's latest entry for entry's path says the same: a
// reinstallation of unchanged files then leaves the record as it was.
static int alreadyRecorded(const RecordList *known, const RecordEntry *entry)
{
    for (int i = known->count - 1; i >= 0; i--) {
        const RecordEntry *k = &known->entries[i];
        if (k->kind == recordedInstallation || !sameNames(k->path, entry->path)) continue;
        return k->kind == entry->kind && k->size == entry->size && k->checksum == entry->checksum;
    }
    return 0;
}

// The lines written so far: how many parts and entries, and their checksum.
struct RecordCount {
    int parts;
    int entries;
    uint32_t running;
};

// Writes a line with its line end and counts it: 1 when written.
static int writeLine(FILE *file, const char *line, RecordCount *count)
{
    char whole[2 * textSize + 2];
    if (formatText(whole, sizeof whole, "%s\r\n", line) != 0 || fputs(whole, file) < 0) return 0;
    count->running = feedChecksum(count->running, whole, strlen(whole));
    return 1;
}

static int writeEntry(FILE *file, const RecordEntry *entry, RecordCount *count)
{
    char line[2 * textSize];
    if (entry->kind == recordedInstallation) {
        count->parts++;
        return formatText(line, sizeof line, "I %s", entry->path) == 0 && writeLine(file, line, count);
    }
    count->entries++;
    return recordLine(entry, line, sizeof line) == 0 && writeLine(file, line, count);
}

// The install folder as typed and as it is named in the record.
struct Spelling {
    const char *typed;   // normal form of the text typed ("C:\QUILLMRK\.", a short form...)
    const char *folder;  // the one normal form
};

/* entry, its path under the folder as typed renamed under the folder's
 * normal form: one folder has one name in the record, whichever spelling
 * installed it. */
static RecordEntry respelled(const RecordEntry *entry, const Spelling *spelling)
{
    RecordEntry out = *entry;
    char head[textSize];
    size_t length = strlen(spelling->typed);
    if (length == 0 || length >= sizeof head || strlen(entry->path) < length) return out;
    memcpy(head, entry->path, length);
    head[length] = '\0';
    const char *rest = entry->path + length;
    if (sameNames(head, spelling->typed) && (*rest == '\0' || *rest == '\\'))
        formatText(out.path, sizeof out.path, "%s%s", spelling->folder, rest);
    return out;
}

static int writeNewEntries(FILE *file, const RecordList *list, const Spelling *spelling, const RecordList *known,
                           RecordCount *count)
{
    for (int i = 0; i < list->count; i++) {
        RecordEntry entry = respelled(&list->entries[i], spelling);
        if (!alreadyRecorded(known, &entry) && !writeEntry(file, &entry, count)) return 0;
    }
    return 1;
}

// How many entries of list the record does not hold yet.
static int newEntries(const RecordList *list, const Spelling *spelling, const RecordList *known)
{
    int count = 0;
    for (int i = 0; i < list->count; i++) {
        RecordEntry entry = respelled(&list->entries[i], spelling);
        count += !alreadyRecorded(known, &entry);
    }
    return count;
}

/* One line of a record read whole into line, its line end kept: 1, 0 at
 * the end, -1 for a line cut short (the file ends in it) or longer than any. */
static int nextLine(FILE *file, char *line, int size)
{
    if (!fgets(line, size, file)) return 0;
    return strchr(line, '\n') ? 1 : -1;
}

/* Reads a record of the first format's lines after its header, in the
 * install folder of an installation made before: a part ends with its
 * closing line, whose count and checksum must be those of the lines before
 * it; a record written before parts were closed has none at all, and every
 * line of it must be an entry. Anything else is a record not whole. */
static int readFirstFormat(FILE *file, RecordList *entries)
{
    char line[4 * textSize];
    int lines = 0, closed = 0, result;
    uint32_t running = checksumStart;
    while ((result = nextLine(file, line, sizeof line)) == 1) {
        RecordEntry entry;
        int count = -1;
        unsigned long checksum = 0;
        char end = 0;
        if (sscanf(line, "E %d %8lx%c", &count, &checksum, &end) == 3 && (end == '\r' || end == '\n')) {
            if (count != lines || checksum != finishChecksum(running)) return recordNotWhole;
            lines = 0;
            running = checksumStart;
            closed = 1;
            continue;
        }
        lines++;
        running = feedChecksum(running, line, strlen(line));
        line[strcspn(line, "\r\n")] = '\0';
        if (!parseRecordLine(line, &entry)) return recordNotWhole;
        if (appendEntry(entries, entry.kind, entry.size, entry.checksum, entry.path) != 0) return -1;
    }
    return result < 0 || (closed && lines > 0) ? recordNotWhole : 0;
}

/* The trailer that ends a record: its parts, its entries and the checksum
 * of every byte before it. Any record cut short, at a line's end too,
 * misses it or disagrees with it. 1 when line is that trailer. */
static int isTrailer(const char *line, const RecordCount *count)
{
    int parts = -1, entries = -1, used = 0;
    unsigned long checksum = 0;
    return sscanf(line, "T %d %d %8lX%n", &parts, &entries, &checksum, &used) == 3 &&
           strcmp(line + used, "\r\n") == 0 && parts == count->parts && entries == count->entries &&
           checksum == finishChecksum(count->running);
}

/* Reads the record's lines after its header: parts, each an installation's
 * folder ("I path") and its entries, then the trailer and nothing after it. */
static int readParts(FILE *file, const char *header, RecordList *entries)
{
    char line[4 * textSize];
    RecordCount count = {0, 0, feedChecksum(checksumStart, header, strlen(header))};
    int result;
    while ((result = nextLine(file, line, sizeof line)) == 1) {
        if (line[0] == 'T') return isTrailer(line, &count) && nextLine(file, line, sizeof line) == 0 ? 0 : recordNotWhole;
        RecordEntry entry;
        count.running = feedChecksum(count.running, line, strlen(line));
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] == 'I' && line[1] == ' ' && line[2] != '\0') {
            entry.kind = recordedInstallation;
            entry.size = entry.checksum = 0;
            if (copyText(entry.path, sizeof entry.path, line + 2) != 0) return recordNotWhole;
            count.parts++;
        } else if (count.parts == 0 || !parseRecordLine(line, &entry)) {
            return recordNotWhole;
        } else {
            count.entries++;
        }
        if (appendEntry(entries, entry.kind, entry.size, entry.checksum, entry.path) != 0) return -1;
    }
    return recordNotWhole;
}

int readInstallRecord(const char *path, RecordList *entries)
{
    FILE *file = fopen(path, "rb");
    if (!file) return -1;
    char line[4 * textSize];
    int result = recordNotWhole;
    if (nextLine(file, line, sizeof line) == 1) {
        if (strcmp(line, recordHeader) == 0) result = readParts(file, line, entries);
        line[strcspn(line, "\r\n")] = '\0';
        if (strcmp(line, firstRecordHeader) == 0) result = readFirstFormat(file, entries);
    }
    fclose(file);
    return result;
}

// Puts the file written whole at from in the place of to, in one step.
static int replaceFile(const char *from, const char *to)
{
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return rename(from, to) == 0;
#endif
}

int appendRecordPart(const char *path, const char *folder, const char *typed, const RecordList *levels,
                     const RecordList *run)
{
    const Spelling spelling = {typed ? typed : "", folder};
    RecordList known = {};
    // No record yet reads as an empty one; one that is not whole cannot be
    // trusted, and a new one holds this run's entries in full.
    int read = readInstallRecord(path, &known);
    if (read != 0) freeRecordList(&known);
    char temporary[textSize];
    FILE *file = formatText(temporary, sizeof temporary, "%s.new", path) == 0 ? fopen(temporary, "wb") : NULL;
    if (!file) {
        freeRecordList(&known);
        return -1;
    }
    // Written whole under another name, then put in place: a record is
    // always either the one before or the one after.
    RecordCount count = {0, 0, feedChecksum(checksumStart, recordHeader, strlen(recordHeader))};
    int written = fputs(recordHeader, file) >= 0;
    int listed = 0;
    for (int i = 0; written && i < known.count; i++) {
        const RecordEntry *entry = &known.entries[i];
        if (entry->kind == recordedInstallation && samePath(entry->path, folder)) listed = 1;
        written = writeEntry(file, entry, &count);
    }
    RecordEntry part = {recordedInstallation, 0, 0, ""};
    if (copyText(part.path, sizeof part.path, folder) != 0) written = 0;
    if (written && (!listed || newEntries(levels, &spelling, &known) + newEntries(run, &spelling, &known) > 0))
        written = writeEntry(file, &part, &count) && writeNewEntries(file, levels, &spelling, &known, &count) &&
                  writeNewEntries(file, run, &spelling, &known, &count);
    char trailer[48];
    if (written)
        written = formatText(trailer, sizeof trailer, "T %d %d %08lX\r\n", count.parts, count.entries,
                             (unsigned long)finishChecksum(count.running)) == 0 &&
                  fputs(trailer, file) >= 0;
    if (fflush(file) != 0 || fclose(file) != 0) written = 0;
    freeRecordList(&known);
    if (written && replaceFile(temporary, path)) return 0;
    remove(temporary);
    return -1;
}

int installationsOf(const RecordList *entries, RecordList *folders)
{
    for (int i = 0; i < entries->count; i++) {
        const RecordEntry *entry = &entries->entries[i];
        if (entry->kind != recordedInstallation || findPath(folders, entry->path)) continue;
        if (appendEntry(folders, entry->kind, 0, 0, entry->path) != 0) return -1;
    }
    return 0;
}

int entriesOfInstallation(const RecordList *entries, const char *folder, RecordList *part)
{
    int inPart = 0;
    for (int i = 0; i < entries->count; i++) {
        const RecordEntry *entry = &entries->entries[i];
        if (entry->kind == recordedInstallation) inPart = samePath(entry->path, folder);
        else if (inPart && appendEntry(part, entry->kind, entry->size, entry->checksum, entry->path) != 0) return -1;
    }
    return 0;
}

int keepEntriesInside(const char *folder, int levelsTrusted, RecordList *entries, RecordList *refused)
{
    int kept = 0;
    for (int i = 0; i < entries->count; i++) {
        RecordEntry *entry = &entries->entries[i];
        char normal[textSize];
        int place = placeOfRecordPath(folder, entry->path, normal, sizeof normal);
        int level = place == theFolderItself && entry->kind == recordedDirectory &&
                    (levelsTrusted || sameNames(normal, folder));
        if (place == insideFolder || level) {
            copyText(entry->path, sizeof entry->path, normal);
            entries->entries[kept++] = *entry;
        } else if (appendEntry(refused, entry->kind, entry->size, entry->checksum, entry->path) != 0) {
            return -1;
        }
    }
    entries->count = kept;
    return 0;
}

const RecordEntry *findPath(const RecordList *list, const char *path)
{
    for (int i = 0; i < list->count; i++)
        if (sameNames(list->entries[i].path, path)) return &list->entries[i];
    return NULL;
}

int latestFiles(const RecordList *entries, RecordList *files)
{
    for (int i = 0; i < entries->count; i++) {
        const RecordEntry *entry = &entries->entries[i];
        if (entry->kind != recordedFile) continue;
        RecordEntry *known = const_cast<RecordEntry *>(findPath(files, entry->path));
        if (known) *known = *entry;
        else if (appendEntry(files, entry->kind, entry->size, entry->checksum, entry->path) != 0) return -1;
    }
    return 0;
}

static int longerFirst(const void *a, const void *b)
{
    size_t first = strlen(static_cast<const RecordEntry *>(a)->path);
    size_t second = strlen(static_cast<const RecordEntry *>(b)->path);
    return first > second ? -1 : first < second ? 1 : 0;
}

int madeDirectories(const RecordList *entries, RecordList *dirs)
{
    for (int i = 0; i < entries->count; i++) {
        const RecordEntry *entry = &entries->entries[i];
        if (entry->kind != recordedDirectory || findPath(dirs, entry->path)) continue;
        if (appendEntry(dirs, entry->kind, 0, 0, entry->path) != 0) return -1;
    }
    if (dirs->count > 1) qsort(dirs->entries, (size_t)dirs->count, sizeof(RecordEntry), longerFirst);
    return 0;
}
