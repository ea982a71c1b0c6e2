#include "uninstall/install_record.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "install/checksum.h"
#include "uninstall/record_paths.h"

const char recordFileName[] = "QMREMOVE.DAT";
const char uninstallerFileName[] = "QMREMOVE.EXE";

static const char recordHeader[] = "Quillmark install record 1";

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
        if (!sameNames(k->path, entry->path)) continue;
        return k->kind == entry->kind && k->size == entry->size && k->checksum == entry->checksum;
    }
    return 0;
}

// One installation's part of the record: its lines so far, and their checksum.
struct RecordPart {
    int lines;
    uint32_t running;
};

// Writes a line with its line end and counts it into part: 1 when written.
static int writeLine(FILE *file, const char *line, RecordPart *part)
{
    char whole[2 * textSize + 2];
    if (formatText(whole, sizeof whole, "%s\r\n", line) != 0 || fputs(whole, file) < 0) return 0;
    part->lines++;
    part->running = feedChecksum(part->running, whole, strlen(whole));
    return 1;
}

static int writeEntries(FILE *file, const RecordList *list, const RecordList *known, RecordPart *part)
{
    char line[2 * textSize];
    for (int i = 0; i < list->count; i++) {
        if (alreadyRecorded(known, &list->entries[i])) continue;
        if (recordLine(&list->entries[i], line, sizeof line) != 0 || !writeLine(file, line, part)) return 0;
    }
    return 1;
}

// The line that closes a part: how many lines it has and their checksum, so
// that a record cut short or changed is known for one.
static int closingLine(const RecordPart *part, char *line, int size)
{
    return formatText(line, size, "E %d %08lX", part->lines, (unsigned long)finishChecksum(part->running));
}

/* One line of a record read whole into line, its line end kept: 1, 0 at
 * the end, -1 for a line cut short (the file ends in it) or longer than any. */
static int nextLine(FILE *file, char *line, int size)
{
    if (!fgets(line, size, file)) return 0;
    return strchr(line, '\n') ? 1 : -1;
}

/* Reads the record's lines after its header. A part ends with its closing
 * line, whose count and checksum must be those of the lines before it; a
 * record written before parts were closed has none at all, and every line
 * of it must be an entry. Anything else is a record not whole. */
static int readParts(FILE *file, RecordList *entries, int *openLines)
{
    char line[4 * textSize];
    RecordPart part = {0, checksumStart};
    int closed = 0, result;
    while ((result = nextLine(file, line, sizeof line)) == 1) {
        RecordEntry entry;
        int count = -1;
        unsigned long checksum = 0;
        char end = 0;
        if (sscanf(line, "E %d %8lx%c", &count, &checksum, &end) == 3 && (end == '\r' || end == '\n')) {
            if (count != part.lines || checksum != finishChecksum(part.running)) return recordNotWhole;
            part = RecordPart{0, checksumStart};
            closed = 1;
            continue;
        }
        part.lines++;
        part.running = feedChecksum(part.running, line, strlen(line));
        line[strcspn(line, "\r\n")] = '\0';
        if (!parseRecordLine(line, &entry)) return recordNotWhole;
        if (appendEntry(entries, entry.kind, entry.size, entry.checksum, entry.path) != 0) return -1;
    }
    *openLines = part.lines;
    return result < 0 || (closed && part.lines > 0) ? recordNotWhole : 0;
}

// As readInstallRecord; openLines: the lines after the last closing line
// (a record written before parts were closed: all of them).
static int readRecord(const char *path, RecordList *entries, int *openLines)
{
    *openLines = 0;
    FILE *file = fopen(path, "rb");
    if (!file) return -1;
    char line[4 * textSize];
    int result = recordNotWhole;
    if (nextLine(file, line, sizeof line) == 1) {
        line[strcspn(line, "\r\n")] = '\0';
        if (strcmp(line, recordHeader) == 0) result = readParts(file, entries, openLines);
    }
    fclose(file);
    return result;
}

int readInstallRecord(const char *path, RecordList *entries)
{
    int openLines;
    return readRecord(path, entries, &openLines);
}

int appendRecordPart(const char *path, const RecordList *levels, const RecordList *run)
{
    RecordList known = {}, none = {};
    int openLines = 0;
    // No record yet reads as an empty one. One that is not whole cannot be
    // trusted by the uninstaller: a new one in its place holds this run's
    // entries in full. One written before parts were closed is written anew,
    // its entries closed as its first part.
    int read = readRecord(path, &known, &openLines);
    if (read != 0) freeRecordList(&known);
    FILE *file = fopen(path, read == recordNotWhole || openLines > 0 ? "wb" : "ab");
    if (!file) {
        freeRecordList(&known);
        return -1;
    }
    // Where an appending stream stands is its end only once it is sought.
    int written = fseek(file, 0, SEEK_END) == 0;
    // A new record starts with its header; an upgrade's entries follow the earlier ones.
    if (written && ftell(file) == 0) written = fprintf(file, "%s\r\n", recordHeader) > 0;
    RecordPart part = {0, checksumStart};
    char closing[32];
    if (written && openLines > 0)
        written = writeEntries(file, &known, &none, &part) && closingLine(&part, closing, sizeof closing) == 0 &&
                  fprintf(file, "%s\r\n", closing) > 0;
    part = RecordPart{0, checksumStart};
    written = written && writeEntries(file, levels, &known, &part) &&
              writeEntries(file, run, &known, &part);
    if (written && part.lines > 0)
        written = closingLine(&part, closing, sizeof closing) == 0 && fprintf(file, "%s\r\n", closing) > 0;
    if (fclose(file) != 0) written = 0;
    freeRecordList(&known);
    return written ? 0 : -1;
}

int keepEntriesInside(const char *folder, RecordList *entries, RecordList *refused)
{
    int kept = 0;
    for (int i = 0; i < entries->count; i++) {
        RecordEntry *entry = &entries->entries[i];
        char normal[textSize];
        int place = placeOfRecordPath(folder, entry->path, normal, sizeof normal);
        if (place == insideFolder || (place == theFolderItself && entry->kind == recordedDirectory)) {
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
