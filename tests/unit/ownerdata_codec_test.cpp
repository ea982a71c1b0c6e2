// The owner data file format: key schedule, digits, header and line reading,
// and the key/value split.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ownerdata/codec.h"
#include "tests/unit/ownerdata_test_files.h"

using Lines = std::vector<std::string>;

TEST(OwnerDataCodec, RotateKeyTurnsSixteenBitsLeft)
{
    struct { unsigned short value; int count; unsigned short expected; } cases[] = {
        {0x8001, 1, 0x0003}, {0x1234, 1, 0x2468}, {0x1234, 0, 0x1234},
        {0x5A3C, 1, 0xB478}, {0x5A3C, 2, 0x68F1}, {0x5A3C, 16, 0x5A3C}, {0x8000, 3, 0x0004},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, rotateKey(c.value, c.count)) << std::hex << c.value << " by " << c.count;
}

TEST(OwnerDataCodec, HexDigitsWriteCapitalsAndReadEitherCase)
{
    struct { int value; char digit; } written[] = {
        {0, '0'}, {9, '9'}, {10, 'A'}, {15, 'F'}, {0xA7, '7'}, {0x1B, 'B'}, {-1, 'F'},
    };
    for (const auto &c : written) EXPECT_EQ(c.digit, hexDigitChar(c.value)) << c.value;
    struct { int character; int value; } read[] = {
        {'0', 0}, {'9', 9}, {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15},
        {'G', 0}, {'g', 0}, {' ', 0}, {'\n', 0}, {0xFF, 0},
    };
    for (const auto &c : read) EXPECT_EQ(c.value, hexDigitValue(c.character)) << c.character;
}

TEST(OwnerDataCodec, LineSplitsAtTheFirstEqualsSign)
{
    struct { const char *line; const char *key; const char *value; } cases[] = {
        {"Dept=Sales=East", "Dept", "Sales=East"},
        {"Dept=", "Dept", ""},
        {"Dept", "Dept", ""},
        {"=x", "", "x"},
        {" User = Ann ", " User ", " Ann "},
    };
    for (const auto &c : cases) {
        char key[81], value[81];
        EXPECT_EQ(0, lineKey(c.line, key));
        EXPECT_EQ(0, lineValue(c.line, value));
        EXPECT_STREQ(c.key, key) << c.line;
        EXPECT_STREQ(c.value, value) << c.line;
    }
}

TEST(OwnerDataCodec, KeyAndValueAreCutToEightyCharacters)
{
    std::string longKey(100, 'k'), longValue(100, 'v');
    char key[81], value[81];
    lineKey((longKey + "=x").c_str(), key);
    EXPECT_EQ(std::string(80, 'k'), key);
    lineValue(("k=" + longValue).c_str(), value);
    EXPECT_EQ(std::string(80, 'v'), value);
}

TEST(OwnerDataCodec, ValueFillsEightyOneCharactersUnlessEmpty)
{
    char value[90];
    memset(value, 'x', sizeof value);
    lineValue("User=ab", value);
    EXPECT_STREQ("ab", value);
    for (int i = 2; i <= 80; i++) ASSERT_EQ('\0', value[i]) << i;
    EXPECT_EQ('x', value[81]);

    memset(value, 'x', sizeof value);
    lineValue("User=", value);
    EXPECT_EQ('\0', value[0]);
    EXPECT_EQ('x', value[1]);
}

TEST(OwnerDataCodec, HeaderIgnoresLetterCaseOnly)
{
    struct { const char *header; int status; } cases[] = {
        {"Type=Tessera Data", 0}, {"tYPE=tESSERA dATA", 0},
        {"Type=Tessera Data ", 4}, {"Type = Tessera Data", 4}, {"Type=Tessera  Data", 4},
        {"Kind=Tessera Data", 4}, {"Type=Tessera Data3C", 4}, {"", 4},
    };
    for (const auto &c : cases) EXPECT_EQ(c.status, checkHeader(c.header)) << c.header;
}

class OwnerDataFormat : public OwnerDataFiles {};

TEST_F(OwnerDataFormat, ScrambledStepsWriteTheWorkedExample)
{
    FILE *f = fopen(path("ab.dat").c_str(), "w");
    ASSERT_NE(nullptr, f);
    CodecState state;
    initCodecState(&state);
    EXPECT_EQ(0, writeHeaderLine(f, 1, &state));
    EXPECT_EQ(0, writeRecordLine(f, 1, &state, "Ab"));
    EXPECT_EQ(4, state.byteCount);
    fclose(f);
    // NUL^3C, 'A'^5A, 'b'^78 (key turned once), NUL^B4.
    EXPECT_EQ("Type=Tessera Data3C1B1AB4", readBytes("ab.dat"));
}

TEST_F(OwnerDataFormat, WritesThatFailReportThree)
{
    writeBytes("ro.dat", "");
    // A stream open only for reading refuses every write.
    FILE *f = fopen(path("ro.dat").c_str(), "r");
    ASSERT_NE(nullptr, f);
    CodecState state;
    for (int scrambled = 0; scrambled <= 1; scrambled++) {
        initCodecState(&state);
        EXPECT_EQ(3, writeHeaderLine(f, scrambled, &state)) << scrambled;
        EXPECT_EQ(3, writeRecordLine(f, scrambled, &state, "User=x")) << scrambled;
    }
    EXPECT_EQ(3, encodeByte(f, &state, 'x'));
    EXPECT_EQ(3, writeNewline(f));
    fclose(f);
}

TEST_F(OwnerDataFormat, LoadingFilesOfEveryShape)
{
    const std::string line253(253, 'z');
    struct { const char *what; std::string bytes; int scrambled; int status; Lines lines; } cases[] = {
        {"scrambled, header only", "Type=Tessera Data", 1, 0, {}},
        {"scrambled, header and NUL", "Type=Tessera Data3C", 1, 0, {}},
        {"scrambled, small digits", "Type=Tessera Data3c1b1ab4", 1, 0, {"Ab"}},
        {"scrambled, odd digit dropped", "Type=Tessera Data3C1B1AB", 1, 0, {"Ab"}},
        {"scrambled, line ends with the stream", "Type=Tessera Data3C1B1A", 1, 0, {"Ab"}},
        {"scrambled, no NUL after header", "Type=Tessera Data00", 1, 2, {}},
        {"scrambled, header cut short", "Type=Tess", 1, 4, {}},
        {"scrambled, other header", "Kind=Tessera Data3C", 1, 4, {}},
        {"empty, scrambled", "", 1, 2, {}},
        {"empty, plain", "", 0, 2, {}},
        {"plain header only, read scrambled", "Type=Tessera Data\n", 1, 0, {}},
        {"plain with a line, read scrambled", "Type=Tessera Data\nUser=a\n", 1, 2, {}},
        {"scrambled read plain", "Type=Tessera Data3C1B1AB4", 0, 4, {}},
        {"plain, empty lines dropped", "Type=Tessera Data\n\nUser=a\n\n\nDept=b\n", 0, 0, {"User=a", "Dept=b"}},
        {"plain, last line unended", "Type=Tessera Data\nUser=a", 0, 0, {"User=a"}},
        {"plain, header in other case", "TYPE=tessera data\nUser=a\n", 0, 0, {"User=a"}},
        {"plain, header with a space", "Type=Tessera Data \nUser=a\n", 0, 4, {}},
        {"plain, CR LF line ends", "Type=Tessera Data\r\nUser=a\r\nDept=b\r\n", 0, 0, {"User=a", "Dept=b"}},
        {"plain, CR LF after 253", "Type=Tessera Data\r\n" + line253 + "\r\nx\r\n", 0, 0, {line253, "x"}},
        {"plain, CR inside a line", "Type=Tessera Data\nA=1\r2\n", 0, 0, {"A=1\r2"}},
    };
    for (const auto &c : cases) {
        writeBytes("f.dat", c.bytes);
        int status = -1;
        Lines lines = loadLines("f.dat", c.scrambled, &status);
        EXPECT_EQ(c.status, status) << c.what;
        EXPECT_EQ(c.lines, lines) << c.what;
    }
}

TEST_F(OwnerDataFormat, LongLinesMeetTheBuffer)
{
    struct { int scrambled; size_t length; int status; Lines lines; } cases[] = {
        {1, 253, 0, {std::string(253, 'a')}},
        {1, 254, 2, {}},
        {1, 300, 2, {}},
        {0, 254, 0, {std::string(254, 'a')}},
        {0, 255, 0, {std::string(254, 'a'), "a"}},
        {0, 600, 0, {std::string(254, 'a'), std::string(254, 'a'), std::string(92, 'a')}},
    };
    for (const auto &c : cases) {
        FILE *f = fopen(path("long.dat").c_str(), "w");
        ASSERT_NE(nullptr, f);
        CodecState state;
        initCodecState(&state);
        ASSERT_EQ(0, writeHeaderLine(f, c.scrambled, &state));
        ASSERT_EQ(0, writeRecordLine(f, c.scrambled, &state, std::string(c.length, 'a').c_str()));
        fclose(f);
        int status = -1;
        Lines lines = loadLines("long.dat", c.scrambled, &status);
        EXPECT_EQ(c.status, status) << c.length << (c.scrambled ? " scrambled" : " plain");
        EXPECT_EQ(c.lines, lines) << c.length;
    }
}

TEST_F(OwnerDataFormat, ScrambledLinesCarryAnyByteButNul)
{
    std::string odd = "A=\n\r\x01\x7f\x80\xff=end";
    FILE *f = fopen(path("odd.dat").c_str(), "w");
    ASSERT_NE(nullptr, f);
    CodecState state;
    initCodecState(&state);
    writeHeaderLine(f, 1, &state);
    writeRecordLine(f, 1, &state, odd.c_str());
    writeRecordLine(f, 1, &state, "B=2");
    fclose(f);
    std::string bytes = readBytes("odd.dat");
    EXPECT_EQ(std::string::npos, bytes.find_first_of("\r\nabcdef", 17));
    EXPECT_EQ(17u + 2 * (1 + odd.size() + 1 + 4), bytes.size());
    int status = -1;
    EXPECT_EQ((Lines{odd, "B=2"}), loadLines("odd.dat", 1, &status));
    EXPECT_EQ(0, status);
}
