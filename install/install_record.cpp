#include "install/install_record.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <map>

const char recordFileName[] = "QMREMOVE.DAT";
const char uninstallerFileName[] = "QMREMOVE.EXE";

static const char recordHeader[] = "Quillmark install record 1";

// This run's entries: the install directory's levels apart, as a changed
// directory in the dialog replaces them.
static std::vector<RecordEntry> levelEntries;
static std::vector<RecordEntry> runEntries;
static int runSaved;  // 1 once this run's entries are in the record file

void forgetInstallLevels()
{
    levelEntries.clear();
}

void noteInstallLevel(const char *path)
{
    levelEntries.push_back({recordedDirectory, 0, 0, path});
}

void noteMadeDirectory(const char *path)
{
    runEntries.push_back({recordedDirectory, 0, 0, path});
}

void noteWrittenFile(const char *path, unsigned long size, uint32_t checksum)
{
    runEntries.push_back({recordedFile, size, checksum, path});
}

void resetInstallRecord()
{
    levelEntries.clear();
    runEntries.clear();
    runSaved = 0;
}

unsigned long recordedKilobytes()
{
    unsigned long long bytes = 0;
    for (const RecordEntry &entry : runEntries) bytes += entry.size;
    return (unsigned long)((bytes + 1023) / 1024);
}

std::string recordLine(const RecordEntry &entry)
{
    char head[40];
    if (entry.kind == recordedFile)
        snprintf(head, sizeof head, "F %lu %08lX ", entry.size, (unsigned long)entry.checksum);
    else
        snprintf(head, sizeof head, "D ");
    return head + entry.path;
}

int parseRecordLine(const char *line, RecordEntry *entry)
{
    unsigned long size = 0, checksum = 0;
    int used = 0;
    if (line[0] == 'D' && line[1] == ' ' && line[2] != '\0') {
        *entry = {recordedDirectory, 0, 0, line + 2};
        return 1;
    }
    if (sscanf(line, "F %lu %8lx %n", &size, &checksum, &used) == 2 && used > 0 && line[used] != '\0') {
        *entry = {recordedFile, size, (uint32_t)checksum, line + used};
        return 1;
    }
    return 0;
}

int saveInstallRecord(const char *path)
{
    if (runSaved) return 0;
    FILE *file = fopen(path, "ab");
    if (!file) return -1;
    int written = 1;
    // A new record starts with its header; an upgrade's entries follow the earlier ones.
    // Where an appending stream stands is its end only once it is sought.
    if (fseek(file, 0, SEEK_END) != 0) written = 0;
    if (written && ftell(file) == 0 && fprintf(file, "%s\r\n", recordHeader) < 0) written = 0;
    for (const std::vector<RecordEntry> *list : {&levelEntries, &runEntries})
        for (const RecordEntry &entry : *list)
            if (fprintf(file, "%s\r\n", recordLine(entry).c_str()) < 0) written = 0;
    if (fclose(file) != 0) written = 0;
    if (!written) return -1;
    runSaved = 1;
    return 0;
}

int readInstallRecord(const char *path, std::vector<RecordEntry> *entries)
{
    FILE *file = fopen(path, "rb");
    if (!file) return -1;
    entries->clear();
    // A line longer than any path the installation writes is not an entry.
    char line[1024];
    while (fgets(line, sizeof line, file)) {
        if (!strchr(line, '\n') && !feof(file)) {
            int c;
            while ((c = fgetc(file)) != EOF && c != '\n') continue;
            continue;
        }
        line[strcspn(line, "\r\n")] = '\0';
        RecordEntry entry;
        if (parseRecordLine(line, &entry)) entries->push_back(entry);
    }
    fclose(file);
    return 0;
}

// The key a path is compared by: the Windows file systems ignore the case
// of letters. (Other bytes, lead bytes of a double-byte code page among
// them, stay as they are.)
static std::string pathKey(const std::string &path)
{
    std::string key = path;
    for (char &c : key)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return key;
}

std::vector<RecordEntry> latestFiles(const std::vector<RecordEntry> &entries)
{
    std::vector<RecordEntry> files;
    std::map<std::string, size_t> at;  // path key: index in files
    for (const RecordEntry &entry : entries) {
        if (entry.kind != recordedFile) continue;
        auto found = at.find(pathKey(entry.path));
        if (found != at.end()) {
            files[found->second] = entry;
            continue;
        }
        at[pathKey(entry.path)] = files.size();
        files.push_back(entry);
    }
    return files;
}

std::vector<std::string> madeDirectories(const std::vector<RecordEntry> &entries)
{
    std::vector<std::string> dirs;
    std::map<std::string, int> seen;
    for (const RecordEntry &entry : entries)
        if (entry.kind == recordedDirectory && seen[pathKey(entry.path)]++ == 0) dirs.push_back(entry.path);
    std::stable_sort(dirs.begin(), dirs.end(),
                     [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
    return dirs;
}
