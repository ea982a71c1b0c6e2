// Fuzz target of the owner data store: any bytes, loaded as a file in both
// modes, then looked up, changed, saved, loaded again and closed. Besides
// the sanitizers it checks what must hold for every input: only the load's
// own failure codes, lines the reader could have produced, and saves that
// give back what was saved.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "ownerdata/record_file.h"
#include "tests/support/files.h"

using Lines = std::vector<std::string>;

static std::string scratch;  // a folder of this process's own

static void require(bool holds, const char *what)
{
    if (holds) return;
    fprintf(stderr, "ownerdata_fuzz: %s\n", what);
    abort();
}

static void removeScratch()
{
    removeTree(scratch);
}

static std::string scratchFile(const char *name)
{
    if (scratch.empty()) {
        scratch = "/tmp/qm_ownerdata_fuzz_" + std::to_string(getpid());
        mkdir(scratch.c_str(), 0700);
        atexit(removeScratch);
    }
    return scratch + "/" + name;
}

static Lines linesOf(int handle)
{
    RecordFile *record = nullptr;
    require(findRecordFile(handle, &record) == recordOk, "an open handle is not found");
    return Lines(record->lines, record->lines + record->lineCount);
}

/* Saves the record in the given mode and loads the result again: the same
 * lines must come back, as long as they fit the reader. */
static void checkRoundTrip(int handle, const Lines &lines, int scrambled)
{
    const std::string out = scratchFile("out.dat");
    require(saveRecordFile(handle, out.c_str(), scrambled) == recordOk, "save failed");
    size_t longest = 0;
    bool lineBreaks = false;
    for (const std::string &line : lines) {
        if (line.size() > longest) longest = line.size();
        if (line.find_first_of("\r\n") != std::string::npos) lineBreaks = true;
    }
    int again = -1;
    int status = openRecordFile(out.c_str(), scrambled, &again);
    if (scrambled && longest > 253) {
        require(status == recordCannotRead, "an overlong scrambled line loaded");
        return;
    }
    require(status == recordOk, "a saved file does not load");
    if (scrambled || !lineBreaks) require(linesOf(again) == lines, "a saved file reads back otherwise");
    require(closeRecordFile(again) == recordOk, "close failed");
}

static void fuzzOneMode(const uint8_t *data, size_t size, int scrambled)
{
    int handle = -1;
    int status = openRecordFile(scratchFile("in.dat").c_str(), scrambled, &handle);
    require(status == recordOk || status == recordCannotRead || status == recordBadHeader,
            "open gave an unexpected status");
    if (status != recordOk) return;

    Lines lines = linesOf(handle);
    for (const std::string &line : lines) {
        require(!line.empty(), "an empty line was kept");
        require(line.size() <= (scrambled ? 253u : 254u), "a line longer than the reader allows");
        require(scrambled || line.find('\n') == std::string::npos, "a plain line holds a line feed");
    }
    if (!lines.empty()) {
        char key[lineKeyLength + 1], value[lineValueLength + 2];
        char expected[lineValueLength + 1];
        lineKey(lines[0].c_str(), key);
        lineValue(lines[0].c_str(), expected);
        value[lineValueLength + 1] = '#';
        require(getRecordValue(handle, key, 1, value) == recordOk, "the first line's key is not found");
        require(strcmp(value, expected) == 0 && value[lineValueLength + 1] == '#', "wrong first value");

        // A new value from the input's tail, up to its first NUL: long ones
        // must be cut so that the file stays loadable.
        size_t start = size / 2;
        std::string newValue((const char *)data + start, size - start);
        newValue = newValue.c_str();
        require(setRecordValue(handle, key, 1, newValue.c_str()) == recordOk, "set failed");
        lines = linesOf(handle);
        require(lines[0].size() <= 253, "a set made a line too long to load");
    }
    // Stored keys are cut to 80 characters, so a longer key never matches.
    char unused[lineValueLength + 1];
    require(getRecordValue(handle, std::string(81, 'k').c_str(), 1, unused) == recordNoKey,
            "a key of 81 characters was found");
    checkRoundTrip(handle, lines, scrambled);
    checkRoundTrip(handle, lines, !scrambled);
    require(closeRecordFile(handle) == recordOk, "close failed");
    require(closeRecordFile(handle) == recordBadHandle, "a closed handle stayed open");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    require(writeFile(scratchFile("in.dat"), std::string((const char *)data, size)), "cannot write the input file");
    fuzzOneMode(data, size, 1);
    fuzzOneMode(data, size, 0);
    require(openRecordFiles == nullptr, "a file stayed open");
    return 0;
}
