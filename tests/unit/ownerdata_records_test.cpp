// The record operations: lookups, changes, saves, handles, and the failures
// each one reports.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#endif

#include "ownerdata/file_replace.h"
#include "ownerdata/record_file.h"
#include "tests/unit/ownerdata_test_files.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

static const std::string abScrambled = "Type=Tessera Data3C1B1AB4";      // the line "Ab"
static const std::string userScrambled = "Type=Tessera Data3C0F0BD18355E2";  // "User="

class OwnerDataRecords : public OwnerDataFiles {
protected:
    int openBytes(const std::string &name, const std::string &bytes, int scrambled)
    {
        writeBytes(name, bytes);
        int handle = -1;
        EXPECT_EQ(0, openRecordFile(path(name).c_str(), scrambled, &handle)) << name;
        return handle;
    }
    std::string value(int handle, const char *key, int occurrence = 1)
    {
        char buffer[81] = "<unset>";
        int status = getRecordValue(handle, key, occurrence, buffer);
        return status == 0 ? std::string(buffer) : "<" + std::to_string(status) + ">";
    }
    Lines linesOf(int handle)
    {
        RecordFile *record = nullptr;
        EXPECT_EQ(0, findRecordFile(handle, &record));
        Lines lines;
        for (int i = 0; record != nullptr && i < record->lineCount; i++) lines.push_back(record->lines[i]);
        return lines;
    }
};

TEST_F(OwnerDataRecords, GetFindsTheNthLineOfAKey)
{
    const std::string k80(80, 'k');
    int h = openBytes("f.dat", plainFile({"User=one", "Dept=Sales", "user=two", "Note", "Company=",
                                          std::string(100, 'k') + "=far"}), 0);
    struct { std::string key; int occurrence; std::string expected; } cases[] = {
        {"User", 1, "one"}, {"USER", 2, "two"}, {"user", 3, "<9>"}, {"User", 0, "<9>"},
        {"User", -1, "<9>"}, {"Fax", 1, "<8>"}, {"Fax", 0, "<8>"}, {"Note", 1, ""},
        {"Company", 1, ""}, {k80, 1, "far"}, {k80 + "k", 1, "<8>"}, {"Dept ", 1, "<8>"},
        {"Dept=Sales", 1, "<8>"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, value(h, c.key.c_str(), c.occurrence)) << c.key << " #" << c.occurrence;
    EXPECT_EQ(0, closeRecordFile(h));
}

TEST_F(OwnerDataRecords, FailedGetLeavesTheBufferAlone)
{
    int h = openBytes("f.dat", plainFile({"User=one"}), 0);
    char buffer[81] = "kept";
    EXPECT_EQ(8, getRecordValue(h, "Dept", 1, buffer));
    EXPECT_EQ(9, getRecordValue(h, "User", 2, buffer));
    EXPECT_STREQ("kept", buffer);
    closeRecordFile(h);
    EXPECT_EQ(7, getRecordValue(h, "User", 1, buffer));
    EXPECT_STREQ("kept", buffer);
}

TEST_F(OwnerDataRecords, SetKeepsTheKeyAsTheFileSpellsIt)
{
    const std::string k80(80, 'k');
    int h = openBytes("f.dat", plainFile({"User=one", "user=two", "Note", std::string(100, 'k') + "=far"}), 0);
    EXPECT_EQ(0, setRecordValue(h, "USER", 2, "2nd"));
    EXPECT_EQ(0, setRecordValue(h, "user", 1, "1st"));
    EXPECT_EQ(0, setRecordValue(h, "note", 1, "n=1"));
    EXPECT_EQ(0, setRecordValue(h, k80.c_str(), 1, "near"));
    EXPECT_EQ(8, setRecordValue(h, "Dept", 1, "Sales"));
    EXPECT_EQ(9, setRecordValue(h, "User", 3, "3rd"));
    EXPECT_EQ(9, setRecordValue(h, "User", 0, "0th"));
    EXPECT_EQ((Lines{"User=1st", "user=2nd", "Note=n=1", k80 + "=near"}), linesOf(h));
    EXPECT_EQ("n=1", value(h, "NOTE"));
    EXPECT_EQ(0, saveRecordFile(h, path("f.dat").c_str(), 0));
    EXPECT_EQ(plainFile({"User=1st", "user=2nd", "Note=n=1", k80 + "=near"}), readBytes("f.dat"));
    closeRecordFile(h);
}

TEST_F(OwnerDataRecords, SavesWriteTheFormatExactly)
{
    int h = openBytes("p.dat", plainFile({"Ab"}), 0);
    EXPECT_EQ(0, saveRecordFile(h, path("s.dat").c_str(), 1));
    EXPECT_EQ(abScrambled, readBytes("s.dat"));
    // Every save starts the key afresh.
    EXPECT_EQ(0, saveRecordFile(h, path("s.dat").c_str(), 1));
    EXPECT_EQ(abScrambled, readBytes("s.dat"));
    closeRecordFile(h);

    h = openBytes("u.dat", userScrambled, 1);
    EXPECT_EQ(0, setRecordValue(h, "user", 1, "x"));
    EXPECT_EQ(0, saveRecordFile(h, path("u.dat").c_str(), 1));
    EXPECT_EQ("Type=Tessera Data3C0F0BD183559AD1", readBytes("u.dat"));
    EXPECT_EQ(0, saveRecordFile(h, path("u.txt").c_str(), 0));
    EXPECT_EQ(ownerHeader + lineEnd + "User=x" + lineEnd, readBytes("u.txt"));
    closeRecordFile(h);
    EXPECT_EQ((std::vector<std::string>{"p.dat", "s.dat", "u.dat", "u.txt"}), fileNames());
}

TEST_F(OwnerDataRecords, SaveDropsEmptyLinesAndSplitsLongPlainLines)
{
    int h = openBytes("f.dat", plainFile({"", "A=1", "", std::string(300, 'a'), ""}), 0);
    EXPECT_EQ(0, saveRecordFile(h, path("f.dat").c_str(), 0));
    EXPECT_EQ(plainFile({"A=1", std::string(254, 'a'), std::string(46, 'a')}), readBytes("f.dat"));
    closeRecordFile(h);
}

TEST_F(OwnerDataRecords, SaveToAnotherNameLeavesTheFirst)
{
    int h = openBytes("a.dat", abScrambled, 1);
    EXPECT_EQ(0, setRecordValue(h, "Ab", 1, "c"));
    EXPECT_EQ(0, saveRecordFile(h, path("b.dat").c_str(), 0));
    EXPECT_EQ(abScrambled, readBytes("a.dat"));
    EXPECT_EQ(plainFile({"Ab=c"}), readBytes("b.dat"));
    RecordFile *record;
    ASSERT_EQ(0, findRecordFile(h, &record));
    EXPECT_EQ(path("a.dat"), record->fileName);
    closeRecordFile(h);
}

TEST_F(OwnerDataRecords, FileNameIsKeptToTwoHundredFiftyFiveCharacters)
{
    // A whole path of 258 characters opens (Windows allows 259), and the
    // store keeps its first 255.
    std::string folder = fs::absolute(dir).string();
    while (folder.size() < 240) folder += "/" + std::string(std::min<size_t>(240 - folder.size() - 1, 60), 'd');
    fs::create_directories(folder);
    const std::string name = folder + "/" + std::string(258 - folder.size() - 1, 'n');
    ASSERT_EQ(258u, name.size());
    FILE *f = fopen(name.c_str(), "wb");
    ASSERT_NE(nullptr, f) << name;
    fputs(abScrambled.c_str(), f);
    fclose(f);
    int handle = -1;
    ASSERT_EQ(0, openRecordFile(name.c_str(), 1, &handle));
    RecordFile *record = nullptr;
    ASSERT_EQ(0, findRecordFile(handle, &record));
    EXPECT_EQ(name.substr(0, 255), record->fileName);
    EXPECT_EQ((Lines{"Ab"}), linesOf(handle));
    closeRecordFile(handle);
}

TEST_F(OwnerDataRecords, HandlesCountUpAndDieForGood)
{
    writeBytes("f.dat", userScrambled);
    const std::string f = path("f.dat");
    int a = -1, b = -1, c = -1, d = -1, untouched = 12345;
    ASSERT_EQ(0, openRecordFile(f.c_str(), 1, &a));
    EXPECT_EQ(1, openRecordFile(path("missing.dat").c_str(), 1, &untouched));
    EXPECT_EQ(12345, untouched);
    ASSERT_EQ(0, openRecordFile(f.c_str(), 1, &b));
    EXPECT_EQ(a + 2, b);  // the failed open used up a number
    EXPECT_EQ(0, closeRecordFile(a));
    failRecordAllocation(1);
    EXPECT_EQ(6, openRecordFile(f.c_str(), 1, &untouched));
    EXPECT_EQ(12345, untouched);
    ASSERT_EQ(0, openRecordFile(f.c_str(), 1, &c));
    EXPECT_EQ(b + 1, c);  // no memory for the record: no number used

    char buffer[81];
    EXPECT_EQ(7, closeRecordFile(a));
    EXPECT_EQ(7, getRecordValue(a, "User", 1, buffer));
    EXPECT_EQ(7, setRecordValue(a, "User", 1, "x"));
    EXPECT_EQ(7, saveRecordFile(a, f.c_str(), 1));
    for (int never : {0, -1, c + 1}) EXPECT_EQ(7, getRecordValue(never, "User", 1, buffer)) << never;
    EXPECT_EQ(0, closeRecordFile(b));
    EXPECT_EQ(0, closeRecordFile(c));
    ASSERT_EQ(0, openRecordFile(f.c_str(), 1, &d));
    EXPECT_EQ(c + 1, d);
    closeRecordFile(d);
    EXPECT_EQ(userScrambled, readBytes("f.dat"));
}

TEST_F(OwnerDataRecords, TwoOpensOfOneFileAreIndependent)
{
    writeBytes("f.dat", userScrambled);
    const std::string f = path("f.dat");
    int a, b;
    ASSERT_EQ(0, openRecordFile(f.c_str(), 1, &a));
    ASSERT_EQ(0, openRecordFile(f.c_str(), 1, &b));
    EXPECT_EQ(0, setRecordValue(a, "User", 1, "a"));
    EXPECT_EQ("", value(b, "User"));
    EXPECT_EQ(0, setRecordValue(b, "User", 1, "b"));
    EXPECT_EQ(0, saveRecordFile(b, f.c_str(), 1));
    EXPECT_EQ(0, saveRecordFile(a, f.c_str(), 1));
    closeRecordFile(a);
    closeRecordFile(b);
    int status;
    EXPECT_EQ(Lines{"User=a"}, loadLines("f.dat", 1, &status));
}

TEST_F(OwnerDataRecords, ClosingKeepsTheListLinked)
{
    int h[3];
    for (int &handle : h) handle = openBytes("f.dat", abScrambled, 1);
    auto ids = [] {
        std::vector<int> forward;
        for (RecordFile *r = openRecordFiles; r != nullptr; r = r->next) {
            EXPECT_EQ(r, r->prev != nullptr ? r->prev->next : openRecordFiles);
            forward.push_back(r->id);
        }
        return forward;
    };
    EXPECT_EQ((std::vector<int>{h[0], h[1], h[2]}), ids());
    EXPECT_EQ(0, closeRecordFile(h[1]));
    EXPECT_EQ((std::vector<int>{h[0], h[2]}), ids());
    EXPECT_EQ(0, closeRecordFile(h[0]));
    EXPECT_EQ(std::vector<int>{h[2]}, ids());
    EXPECT_EQ(nullptr, openRecordFiles->prev);
    EXPECT_EQ("Ab", linesOf(h[2])[0]);
    EXPECT_EQ(0, closeRecordFile(h[2]));
    EXPECT_EQ(nullptr, openRecordFiles);
}

TEST_F(OwnerDataRecords, LinesGrowInStepsOfTen)
{
    Lines many;
    for (int i = 0; i < 25; i++) many.push_back("K" + std::to_string(i) + "=v");
    struct { Lines lines; int capacity; } cases[] = {{{}, 0}, {{"A=1"}, 10}, {many, 30}};
    for (const auto &c : cases) {
        int h = openBytes("f.dat", plainFile(c.lines), 0);
        RecordFile *record;
        ASSERT_EQ(0, findRecordFile(h, &record));
        EXPECT_EQ((int)c.lines.size(), record->lineCount);
        EXPECT_EQ(c.capacity, record->lineCapacity);
        EXPECT_EQ(c.capacity == 0, record->lines == nullptr);
        EXPECT_EQ(c.lines, linesOf(h));
        EXPECT_EQ(8, setRecordValue(h, "B", 1, "x")) << c.lines.size();
        closeRecordFile(h);
    }
}

TEST_F(OwnerDataRecords, RunningOutOfMemoryFreesEverything)
{
    // Allocations of this load: the record, the line array, one per line.
    writeBytes("f.dat", plainFile({"User=a", "Dept=b", "Company=c"}));
    for (int failAt = 1; failAt <= 5; failAt++) {
        int handle = 777;
        failRecordAllocation(failAt);
        EXPECT_EQ(6, openRecordFile(path("f.dat").c_str(), 0, &handle)) << failAt;
        EXPECT_EQ(777, handle);
        EXPECT_EQ(nullptr, openRecordFiles);
    }
    failRecordAllocation(0);
    int h = openBytes("f.dat", plainFile({"User=a", "Dept=b", "Company=c"}), 0);
    failRecordAllocation(1);
    EXPECT_EQ(6, setRecordValue(h, "Dept", 1, "changed"));
    EXPECT_EQ((Lines{"User=a", "Dept=b", "Company=c"}), linesOf(h));

    RecordFile *record;
    ASSERT_EQ(0, findRecordFile(h, &record));
    for (int i = 3; i < 10; i++) ASSERT_EQ(0, appendLine(record, "X=y"));
    failRecordAllocation(1);  // the larger line array
    EXPECT_EQ(6, appendLine(record, "Z=z"));
    EXPECT_EQ(10, record->lineCount);
    EXPECT_EQ(10, record->lineCapacity);
    failRecordAllocation(2);  // the line's copy
    EXPECT_EQ(6, appendLine(record, "Z=z"));
    EXPECT_EQ(10, record->lineCount);
    EXPECT_EQ(20, record->lineCapacity);
    closeRecordFile(h);
}

TEST_F(OwnerDataRecords, LongValuesAreCutSoTheFileLoadsAgain)
{
    const std::string k80(80, 'k');
    int h = openBytes("f.dat", plainFile({"User=", k80 + "=", "Dept="}), 0);
    EXPECT_EQ(0, setRecordValue(h, "User", 1, std::string(300, 'v').c_str()));
    EXPECT_EQ(0, setRecordValue(h, k80.c_str(), 1, std::string(200, 'w').c_str()));
    EXPECT_EQ(0, setRecordValue(h, "Dept", 1, std::string(248, 'd').c_str()));
    EXPECT_EQ(std::string(80, 'v'), value(h, "User"));
    EXPECT_EQ(0, saveRecordFile(h, path("f.dat").c_str(), 1));
    closeRecordFile(h);
    int status = -1;
    Lines lines = loadLines("f.dat", 1, &status);
    EXPECT_EQ(0, status);
    EXPECT_EQ((Lines{"User=" + std::string(248, 'v'), k80 + "=" + std::string(172, 'w'),
                     "Dept=" + std::string(248, 'd')}),
              lines);
}

TEST_F(OwnerDataRecords, FailedSaveLeavesTheOldFileAndNoTemporary)
{
    writeBytes("f.dat", abScrambled);
    writeBytes("qmd00000.tmp", "someone else's");
    int h = openBytes("f.dat", abScrambled, 1);
    EXPECT_EQ(0, setRecordValue(h, "Ab", 1, "changed"));
    const Lines before = {"f.dat", "qmd00000.tmp"};

    EXPECT_EQ(1, saveRecordFile(h, path("nodir/f.dat").c_str(), 1));
    EXPECT_EQ(before, fileNames());
    EXPECT_EQ(1, saveRecordFile(h, dir.c_str(), 1));  // a directory
    EXPECT_EQ(before, fileNames());
    EXPECT_EQ(abScrambled, readBytes("f.dat"));
    EXPECT_EQ("someone else's", readBytes("qmd00000.tmp"));

    // A save that works goes round the name already taken.
    EXPECT_EQ(0, saveRecordFile(h, path("f.dat").c_str(), 0));
    EXPECT_EQ(plainFile({"Ab=changed"}), readBytes("f.dat"));
    EXPECT_EQ("someone else's", readBytes("qmd00000.tmp"));
    EXPECT_EQ(before, fileNames());
    closeRecordFile(h);
}

#ifdef _WIN32
TEST_F(OwnerDataRecords, SaveOverALockedOrReadOnlyFileFailsWhole)
{
    writeBytes("f.dat", abScrambled);
    const std::string f = path("f.dat");
    int h = openBytes("g.dat", plainFile({"A=1"}), 0);
    HANDLE lock = CreateFileA(f.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    EXPECT_EQ(1, saveRecordFile(h, f.c_str(), 1));
    CloseHandle(lock);
    EXPECT_EQ(abScrambled, readBytes("f.dat"));
    EXPECT_EQ((Lines{"f.dat", "g.dat"}), fileNames());

    ASSERT_TRUE(SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(1, saveRecordFile(h, f.c_str(), 1));
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(abScrambled, readBytes("f.dat"));
    EXPECT_EQ((Lines{"f.dat", "g.dat"}), fileNames());
    closeRecordFile(h);
}
#else
TEST_F(OwnerDataRecords, SaveThatRunsOutOfRoomFailsWhole)
{
    writeBytes("f.dat", abScrambled);
    Lines many;
    for (int i = 0; i < 40; i++) many.push_back("Key" + std::to_string(i) + "=value");
    int h = openBytes("g.dat", plainFile(many), 0);

    // The file size limit makes the disk "full" after 100 bytes.
    struct rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    struct rlimit small = saved;
    small.rlim_cur = 100;
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int status = saveRecordFile(h, path("f.dat").c_str(), 1);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(3, status);
    EXPECT_EQ(abScrambled, readBytes("f.dat"));
    EXPECT_EQ((Lines{"f.dat", "g.dat"}), fileNames());
    closeRecordFile(h);
}
#endif

#ifdef __GLIBC__
// A stream that gives the first failAt bytes of a file and then fails as a
// disk with a bad sector does (EIO). After many failed reads it reports the
// end instead, so that a load that keeps reading ends and is seen to fail.
struct FailingSource {
    std::string bytes;
    size_t failAt;
    size_t position;
    int failedReads;
};

static ssize_t readFailing(void *cookie, char *buffer, size_t size)
{
    FailingSource *source = (FailingSource *)cookie;
    if (source->position >= source->failAt) {
        if (++source->failedReads > 100) return 0;
        errno = EIO;
        return -1;
    }
    size_t count = std::min(size, source->failAt - source->position);
    memcpy(buffer, source->bytes.data() + source->position, count);
    source->position += count;
    return (ssize_t)count;
}

TEST_F(OwnerDataRecords, ReadErrorPartWayEndsTheLoadWithStatus2)
{
    // Both files hold the lines User=Ann and Dept=Sales. Scrambled: 17 header
    // characters, then two digits per byte: the header's NUL, User=Ann and its
    // NUL, Dept=Sales and its NUL, 59 characters in all.
    const std::string plain = plainFile({"User=Ann", "Dept=Sales"});
    int h = openBytes("p.dat", plain, 0);
    ASSERT_EQ(0, saveRecordFile(h, path("s.dat").c_str(), 1));
    closeRecordFile(h);
    const std::string scrambled = readBytes("s.dat");
    ASSERT_EQ(59u, scrambled.size());
    int status = -1;
    EXPECT_EQ((Lines{"User=Ann", "Dept=Sales"}), loadLines("s.dat", 1, &status));
    EXPECT_EQ(0, status);

    struct { const std::string *bytes; int isScrambled; size_t failAt; const char *where; } cases[] = {
        {&scrambled, 1, 5, "inside the header"},
        {&scrambled, 1, 17, "before the header's NUL"},
        {&scrambled, 1, 18, "between two digits"},
        {&scrambled, 1, 19, "before the first line"},
        {&scrambled, 1, 27, "inside the first line"},
        {&scrambled, 1, 37, "between the lines"},
        {&scrambled, 1, 57, "before the last NUL"},
        {&plain, 0, 10, "inside the plain header"},
        {&plain, 0, 22, "inside the first plain line"},
        {&plain, 0, (size_t)plain.find("Dept"), "between the plain lines"},
    };
    cookie_io_functions_t functions = {readFailing, nullptr, nullptr, nullptr};
    for (const auto &c : cases) {
        FailingSource source = {*c.bytes, c.failAt, 0, 0};
        FILE *stream = fopencookie(&source, "r", functions);
        ASSERT_NE(nullptr, stream);
        RecordFile *record = (RecordFile *)recordAlloc(sizeof(RecordFile));
        ASSERT_NE(nullptr, record);
        memset(record, 0, sizeof *record);
        EXPECT_EQ(2, readRecordStream(stream, c.isScrambled, record)) << c.where;
        EXPECT_LE(source.failedReads, 2) << c.where << ": reads went on after the error";
        fclose(stream);
        freeRecordFile(record);
    }
}
#endif

#ifdef _WIN32
TEST_F(OwnerDataRecords, TwoStepReplaceThatCannotMoveKeepsTheNewFile)
{
    writeBytes("f.dat", abScrambled);
    int h = openBytes("g.dat", plainFile({"User=new"}), 0);
    // Another program reads the old file and lets it be deleted, as virus
    // scanners and indexers do: its removal waits for their close, and the
    // move onto its name fails.
    HANDLE reader = CreateFileA(path("f.dat").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    useTwoStepReplace(1);
    int status = saveRecordFile(h, path("f.dat").c_str(), 1);
    useTwoStepReplace(0);
    CloseHandle(reader);
    closeRecordFile(h);

    EXPECT_EQ(1, status);
    // The old file is gone with the reader's close; the new one, whole, is
    // left beside its name.
    EXPECT_EQ((Lines{"g.dat", "qmd00000.tmp"}), fileNames());
    int loaded = -1;
    EXPECT_EQ((Lines{"User=new"}), loadLines("qmd00000.tmp", 1, &loaded));
    EXPECT_EQ(0, loaded);
}
#endif
