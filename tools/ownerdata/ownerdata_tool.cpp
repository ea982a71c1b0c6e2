// ownerdata: reads and writes owner data files (quillmrk.dat) from the command
// line, through the same store the setup program uses. The release build
// makes the medium's empty quillmrk.dat with it. Exit status: the store's
// status code, or exitUsage for a wrong command line.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ownerdata/record_file.h"

enum { exitUsage = 64 };

static const char usageText[] =
    "usage: ownerdata dump [--plain] FILE\n"
    "       ownerdata get [--plain] FILE KEY [N]\n"
    "       ownerdata set [--plain] FILE KEY VALUE [N]\n"
    "       ownerdata create [--plain] FILE [LINE ...]\n"
    "       ownerdata --help\n";

static const char helpText[] =
    "\n"
    "Reads and writes owner data files such as quillmrk.dat: the header\n"
    "\"Type=Tessera Data\" followed by KEY=VALUE record lines. Files are\n"
    "scrambled unless --plain is given, which selects plain text lines.\n"
    "\n"
    "  dump    prints each record line, in file order\n"
    "  get     prints the value of the N-th line (default 1) whose key is KEY,\n"
    "          letter case ignored; a value is printed cut to 80 characters\n"
    "  set     replaces that value, keeping the key as the file spells it, and\n"
    "          saves the file in the same mode; the line is cut to 253\n"
    "          characters so that it can be read again\n"
    "  create  writes a new file holding exactly the given lines (none: an\n"
    "          empty owner data file); a line must be readable again: not\n"
    "          empty, at most 253 characters scrambled, 254 plain and no line\n"
    "          break\n"
    "\n"
    "A plain file's VALUE holds no line break. A key in the file counts with\n"
    "its first 80 characters: a longer one is found by those 80, as the setup\n"
    "program finds it, and a KEY longer than 80 characters matches no line.\n"
    "A save replaces the file only once the new one is completely written.\n"
    "\n"
    "Exit status: 0 done; 1 the file cannot be opened; 2 it is not readable\n"
    "as an owner data file; 3 a write failed; 4 its header is not an owner\n"
    "data header; 6 out of memory; 8 no line has the key; 9 the key has fewer\n"
    "than N lines; 64 wrong command line, or a line or VALUE that the file\n"
    "would not give back.\n";

/* The words for a failed status; writing tells the two meanings of 1 apart. */
static const char *statusText(int status, int writing)
{
    switch (status) {
    case recordCannotOpen:
        return writing ? "cannot open the file for writing" : "cannot open the file for reading";
    case recordCannotRead: return "file cannot be read as an owner data file";
    case recordWriteFailed: return "writing the file failed";
    case recordBadHeader: return "header is not an owner data header";
    case recordNoMemory: return "out of memory";
    case recordBadHandle: return "the file is not open";
    default: return "failed";
    }
}

static int report(const char *file, int status, int writing)
{
    if (status != recordOk) fprintf(stderr, "%s: %s\n", file, statusText(status, writing));
    return status;
}

/* The same for a failed lookup, which names the key. */
static int reportLookup(const char *file, int status, const char *key, int occurrence)
{
    switch (status) {
    case recordNoKey:
        if (strlen(key) > lineKeyLength)
            fprintf(stderr, "%s: no line has the key \"%s\": a key longer than %d characters "
                    "matches no line; give its first %d\n", file, key, lineKeyLength, lineKeyLength);
        else
            fprintf(stderr, "%s: no line has the key \"%s\"\n", file, key);
        return status;
    case recordTooFewOccurrences:
        fprintf(stderr, "%s: the key \"%s\" has no occurrence %d\n", file, key, occurrence);
        return status;
    default:
        return report(file, status, 0);
    }
}

static int usage(const char *problem)
{
    if (problem != nullptr) fprintf(stderr, "ownerdata: %s\n", problem);
    fputs(usageText, stderr);
    return exitUsage;
}

/* Reads N: a whole decimal number that fits an int. 0, or -1 if it is none. */
static int parseOccurrence(const char *text, int *occurrence)
{
    char *end;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < -2147483647L - 1 || value > 2147483647L)
        return -1;
    *occurrence = (int)value;
    return 0;
}

static int dumpFile(const char *file, int scrambled)
{
    int handle;
    int status = openRecordFile(file, scrambled, &handle);
    if (status != recordOk) return report(file, status, 0);
    RecordFile *record;
    status = findRecordFile(handle, &record);
    for (int i = 0; status == recordOk && i < record->lineCount; i++)
        printf("%s\n", record->lines[i]);
    closeRecordFile(handle);
    return report(file, status, 0);
}

static int getValue(const char *file, int scrambled, const char *key, int occurrence)
{
    int handle;
    int status = openRecordFile(file, scrambled, &handle);
    if (status != recordOk) return report(file, status, 0);
    char value[lineValueLength + 1];
    status = getRecordValue(handle, key, occurrence, value);
    closeRecordFile(handle);
    if (status != recordOk) return reportLookup(file, status, key, occurrence);
    printf("%s\n", value);
    return recordOk;
}

static int setValue(const char *file, int scrambled, const char *key, const char *value,
                    int occurrence)
{
    if (!scrambled && strpbrk(value, "\r\n") != nullptr)
        return usage("VALUE would not read back: a plain file's line holds no line break");
    int handle;
    int status = openRecordFile(file, scrambled, &handle);
    if (status != recordOk) return report(file, status, 0);
    status = setRecordValue(handle, key, occurrence, value);
    if (status != recordOk) {
        closeRecordFile(handle);
        return reportLookup(file, status, key, occurrence);
    }
    status = saveRecordFile(handle, file, scrambled);
    closeRecordFile(handle);
    return report(file, status, 1);
}

/* Why the store would not give a line back as it is, or null: a read drops
 * empty lines, and a line too long for the reader's buffer or (plain)
 * holding a line break comes back as other lines. */
static const char *lineProblem(const char *line, int scrambled)
{
    if (line[0] == '\0') return "empty lines are dropped when the file is read";
    if (scrambled)
        return strlen(line) > lineBufferSize - 2 ? "at most 253 characters" : nullptr;
    if (strlen(line) > lineBufferSize - 1 || strpbrk(line, "\r\n") != nullptr)
        return "at most 254 characters and no line break";
    return nullptr;
}

static int createFile(const char *file, int scrambled, char **lines, int lineCount)
{
    for (int i = 0; i < lineCount; i++) {
        const char *problem = lineProblem(lines[i], scrambled);
        if (problem != nullptr) {
            char text[128];
            snprintf(text, sizeof text, "line %d would not read back: %s", i + 1, problem);
            return usage(text);
        }
    }
    // The lines are written straight from the command line: no copy is needed.
    RecordFile record;
    memset(&record, 0, sizeof record);
    record.lines = lines;
    record.lineCount = lineCount;
    record.lineCapacity = lineCount;
    return report(file, writeRecordFile(&record, file, scrambled), 1);
}

static int runCommand(const char *command, int scrambled, int argc, char **argv)
{
    int occurrence = 1;
    if (strcmp(command, "dump") == 0) {
        if (argc != 1) return usage("dump takes FILE");
        return dumpFile(argv[0], scrambled);
    }
    if (strcmp(command, "get") == 0) {
        if (argc < 2 || argc > 3) return usage("get takes FILE KEY [N]");
        if (argc == 3 && parseOccurrence(argv[2], &occurrence) != 0) return usage("N is not a number");
        return getValue(argv[0], scrambled, argv[1], occurrence);
    }
    if (strcmp(command, "set") == 0) {
        if (argc < 3 || argc > 4) return usage("set takes FILE KEY VALUE [N]");
        if (argc == 4 && parseOccurrence(argv[3], &occurrence) != 0) return usage("N is not a number");
        return setValue(argv[0], scrambled, argv[1], argv[2], occurrence);
    }
    if (strcmp(command, "create") == 0) {
        if (argc < 1) return usage("create takes FILE [LINE ...]");
        return createFile(argv[0], scrambled, argv + 1, argc - 1);
    }
    return usage("unknown command");
}

static int help()
{
    fputs(usageText, stdout);
    fputs(helpText, stdout);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc >= 2 && strcmp(argv[1], "--help") == 0) return help();
    if (argc < 2) return usage(nullptr);
    // Options come right after the command, before FILE.
    int next = 2;
    int scrambled = 1;
    for (; next < argc && strncmp(argv[next], "--", 2) == 0; next++) {
        if (strcmp(argv[next], "--plain") == 0) scrambled = 0;
        else if (strcmp(argv[next], "--help") == 0) return help();
        else return usage("unknown option");
    }
    return runCommand(argv[1], scrambled, argc - next, argv + next);
}
