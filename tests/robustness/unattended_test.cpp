// SETUP.EXE /S against the faults of the other scenarios (the same drives and
// media): each ends with its exit code and says why in its log. And answers
// saved by an interactive run replayed unattended.
#include "tests/robustness/robust_support.h"
#include "tests/support/uninstaller_files.h"

static const char uninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmark";

namespace robust {
namespace {

const char logPath[] = "C:\\QMSETUP.LOG";
const char answersPath[] = "C:\\QMANSWER.INI";

class Unattended : public Robust {
protected:
    void SetUp() override
    {
        Robust::SetUp();
        DeleteFileA(logPath);
        DeleteFileA(answersPath);
    }

    // Runs SETUP.EXE of medium with arguments to its end: the exit code.
    DWORD run(const std::string &medium, const std::string &arguments)
    {
        return runToEnd(medium + "\\SETUP.EXE", arguments);
    }
};

// With the loader told to take a DLL beside the program first (as Windows
// does for one outside its known list), neither SETUP.EXE nor the
// uninstaller takes the LZ32.DLL a user put there.
TEST_F(Unattended, APlantedLz32IsLoadedByNeitherSetupNorTheUninstaller)
{
    const std::string mark = "C:\\QMPLANTED.TXT", data = dataFolder;
    std::string medium;
    DeleteFileA(mark.c_str());
    ASSERT_TRUE(copyTinyMedium("planted", &medium));
    ASSERT_TRUE(CopyFileA(QM_PLANTED_LZ32, (medium + "\\LZ32.DLL").c_str(), FALSE));
    // WINEDLLOVERRIDES=lz32=n,b as the prefix's setting: a child process reads that at its start.
    const char overrides[] = "Software\\Wine\\DllOverrides", nativeFirst[] = "native,builtin";
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, overrides, "lz32", REG_SZ, nativeFirst, sizeof nativeFirst));
    EXPECT_EQ(0u, run(medium, "/S /NAME=Ada"));
    ASSERT_TRUE(CopyFileA(QM_PLANTED_LZ32, (data + "\\LZ32.DLL").c_str(), FALSE));
    DWORD code = 1234;
    EXPECT_TRUE(startSetup(data + "\\" + uninstallerName, data, &setup, "/UNINSTALL /S"));
    EXPECT_TRUE(waitForExit(&setup, &code));
    stopSetup(&setup);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, overrides, "lz32");
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(directoryExists(defaultTarget));
    EXPECT_FALSE(fileExists(mark)) << "a planted LZ32.DLL was loaded";
    DeleteFileA(mark.c_str());
}

TEST_F(Unattended, EachFaultEndsWithItsCodeAndItsLogLine)
{
    std::string damaged;
    ASSERT_TRUE(copyTinyMedium("unattended", &damaged));
    ASSERT_TRUE(DeleteFileA((damaged + "\\README.TXT").c_str()));
    // Answers files: a folder, random bytes, no [Answers], the name after 60 other keys.
    std::string notes = "[Answers]\r\n";
    for (int i = 0; i < 60; i++) notes += "Note" + std::to_string(i) + "=a note on this PC's installation\r\n";
    CreateDirectoryA("C:\\QMANSDIR", NULL);
    ASSERT_TRUE(writeFile("C:\\QMRANDOM.INI", std::string("\x8e\xf3\x1c[A\x00\xd7=\x9b\r\x05\xff\n\x7f\x02", 15)));
    ASSERT_TRUE(writeFile("C:\\QMNOSECT.INI", "[Other]\r\nName=Ada\r\n"));
    ASSERT_TRUE(writeFile("C:\\QMSIXTY.INI", notes + "Name=\"Ada\"\r\n"));
    std::string selfDamaged;
    ASSERT_TRUE(copyTinyMedium("unattended-program", &selfDamaged));
    const std::string program = selfDamaged + "\\SETUP.EXE";
    // Its last byte: a byte of code could crash the program before any check.
    ASSERT_TRUE(flipBit(program, (long)fileBytes(program).size() - 1));
    // Its last word swapped with the last other one before it, as two table
    // entries swapped: the header's sum of 16-bit words still holds.
    std::string selfSwapped;
    ASSERT_TRUE(copyTinyMedium("unattended-swapped", &selfSwapped));
    std::string bytes = fileBytes(selfSwapped + "\\SETUP.EXE"), swapped = bytes;
    size_t last = bytes.size() - 4, other = last - 4;
    while (bytes.compare(other, 4, bytes, last, 4) == 0) other -= 4;
    swapped.replace(last, 4, bytes, other, 4).replace(other, 4, bytes, last, 4);
    ASSERT_TRUE(writeFile(selfSwapped + "\\SETUP.EXE", swapped));
    // A whole compressed file whose header announces another length.
    std::string wrongLength;
    ASSERT_TRUE(copyTinyMedium("unattended-length", &wrongLength));
    ASSERT_TRUE(patchFile(wrongLength + "\\QMPS.PRO", 10, std::string("\x00\x00\x01\x00", 4)));
    const std::string announced = "File " + wrongLength + "\\QMPS.PRO damaged on the medium: its header announces 65536";
    // Answers files as Windows tools write them: UTF-16 with its mark, UTF-8
    // with its mark (a character no ANSI code page holds in one of them),
    // and a TAB, which the guide refuses as a control character.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("[Answers]\r\nName=Zo\xEB\r\n")) utf16 += std::string(1, c) + '\0';
    ASSERT_TRUE(writeFile("C:\\QMUTF16.INI", utf16));
    ASSERT_TRUE(writeFile("C:\\QMUTF8.INI", "\xEF\xBB\xBF[Answers]\r\nName=Zo\xC3\xAB\r\n"));
    ASSERT_TRUE(writeFile("C:\\QMSMILE.INI", "\xEF\xBB\xBF[Answers]\r\nName=\xF0\x9F\x98\x80\r\n"));
    ASSERT_TRUE(writeFile("C:\\QMTAB.INI", "[Answers]\r\nName=Ada\tLovelace\r\n"));
    char zoe[8] = "";
    WideCharToMultiByte(CP_ACP, 0, L"Zo\u00EB", -1, zoe, sizeof zoe, NULL, NULL);
    const std::string zoeValues = std::string("Values: name \"") + zoe + "\"";
    struct Row {
        std::string medium, arguments;
        DWORD code;
        std::string logLine;    // a line of the log holds this
        const char *target;     // where the installation went, when it went anywhere
    };
    const std::string log = std::string(" /LOG=") + logPath;
    const Row rows[] = {
        {tinyMedium(), "/S /BOGUS" + log, 1, "Command line not understood: /BOGUS (unknown argument); nothing", nullptr},
        {tinyMedium(), "/S /SAMPLES=2" + log, 1, "Command line not understood: /SAMPLES=2 (missing or wrong value)", nullptr},
        {tinyMedium(), "/S" + log, 2, "Box \"Information Missing\": You must supply your name. -> OK (policy)", nullptr},
        {tinyMedium(), "/S /NAME=Ada /DIR=" + std::string(readOnlyTarget) + log, 3,
         "Box \"Error\": There is a problem in creating this directory, Check your read/write priviliges or other "
         "settings. | system: Access denied. -> OK (policy)",
         nullptr},
        {tinyMedium(), "/S /NAME=Ada /DIR=" + std::string(fullTarget) + log, 4,
         "Box \"Not enough disk space\": You may not have enough disk space to install.", nullptr},
        {tinyMedium(), "/s -name=Ada -dir=" + std::string(fullTarget) + " /IgnoreSpace" + log, 5,
         "Nothing changed: what this run wrote was taken back", nullptr},
        {damaged, "/S /NAME=Ada" + log, 6, "Box \"Error\": Error in opening : " + damaged + "\\README.TXT | system: ",
         nullptr},
        {tinyMedium(), "/S /NAME=Ada /LOG=R:\\QMSETUP.LOG", 0, "", defaultTarget},
        {tinyMedium(), "/S /NAME=Ada /DIR=QMREL /LOG=R:\\QMSETUP.LOG", 19, "", nullptr},
        // The answers file is no part of the installation: it is kept, whole.
        {tinyMedium(), "/S /NAME=Ada /SAVEANSWERS=R:\\QMANSWER.INI" + log, 5,
         "Problem: the answers file R:\\QMANSWER.INI could not be written; passed over", defaultTarget},
        {tinyMedium(), "/S /NAME=Ada /ANSWERS=C:\\QMANSDIR" + log, 1,
         "Command line not understood: the answers file C:\\QMANSDIR is a folder, not a file; nothing", nullptr},
        {tinyMedium(), "/S /ANSWERS=C:\\QMRANDOM.INI" + log, 1, "C:\\QMRANDOM.INI: it holds a NUL byte", nullptr},
        {tinyMedium(), "/S /ANSWERS=C:\\QMNOSECT.INI" + log, 1, "C:\\QMNOSECT.INI: it has no [Answers] section", nullptr},
        {tinyMedium(), "/S /ANSWERS=C:\\QMSIXTY.INI" + log, 0, "Answers read from C:\\QMSIXTY.INI", defaultTarget},
        {tinyMedium(), "/S /NAME=Ada /DIR=QMREL" + log, 3,
         "Stopped, exit code 3: the install directory \"QMREL\" is relative or a root; give /DIR= a full folder", nullptr},
        {tinyMedium(), "/S /NAME=Ada /DIR=C:" + log, 3, "the install directory \"C:\" is relative or a root", nullptr},
        {tinyMedium(), "/S /NAME=" + std::string(249, 'n') + log, 1,
         "/NAME= is longer than the 248 characters the owner data file keeps", nullptr},
        {selfDamaged, "/S /NAME=Ada" + log, 12, "The setup program is damaged: copy the medium again.", nullptr},
        {selfSwapped, "/S /NAME=Ada" + log, 12, "The setup program is damaged: copy the medium again.", nullptr},
        {wrongLength, "/S /NAME=Ada" + log, 11, announced, nullptr},
        {wrongLength, "/S /VERIFY" + log, 11, announced, nullptr},
        {tinyMedium(), "/S /ANSWERS=C:\\QMUTF16.INI" + log, 0, zoeValues, defaultTarget},
        {tinyMedium(), "/S /ANSWERS=C:\\QMUTF8.INI" + log, 0, zoeValues, defaultTarget},
        {tinyMedium(), "/S /ANSWERS=C:\\QMSMILE.INI" + log, 1, "C:\\QMSMILE.INI: line 2 holds a character that code page",
         nullptr},
        {tinyMedium(), "/S /ANSWERS=C:\\QMTAB.INI" + log, 1, "C:\\QMTAB.INI: line 2 holds a control character", nullptr},
        {tinyMedium(), "/S /VERIFY" + log, 0, "The medium is whole: every file is the release's.", nullptr},
        {damaged, "/S /VERIFY" + log, 11, "File " + damaged + "\\README.TXT missing from the medium", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.arguments);
        SetUp();
        EXPECT_EQ(row.code, run(row.medium, row.arguments));
        const std::string written = readFile(logPath);
        EXPECT_NE(std::string::npos, written.find(row.logLine)) << written;
        const std::string result = ", exit code " + std::to_string(row.code) + "\r\n";
        EXPECT_EQ(!row.logLine.empty(), written.find(result) != std::string::npos) << written;
        EXPECT_EQ(row.target ? row.target : "", winIniValue("BinDirectory"));
        TearDown();
    }
    RemoveDirectoryA("C:\\QMANSDIR");
    for (const char *file : {"C:\\QMRANDOM.INI", "C:\\QMNOSECT.INI", "C:\\QMSIXTY.INI", "C:\\QMUTF16.INI", "C:\\QMUTF8.INI",
                             "C:\\QMSMILE.INI", "C:\\QMTAB.INI"})
        DeleteFileA(file);
}

// Started with no argument the program ends with 0 whatever happened; with
// a switch (here /LOG) its own code: cancelled, a file passed over, the
// configuration program missing.
TEST_F(Unattended, WithoutArgumentsEveryEndIsZero)
{
    for (const std::string arguments : {"", "/LOG=C:\\QMSETUP.LOG"}) {
        SCOPED_TRACE(arguments);
        const bool bare = arguments.empty();
        startIn(tinyMedium(), arguments);
        pressButton(dialog, IDCANCEL);
        expectExitCode(bare ? 0 : 8);
        stopSetup(&setup);

        ASSERT_TRUE(CreateDirectoryA(defaultTarget, NULL));
        ASSERT_TRUE(writeFile(std::string(defaultTarget) + "\\SAMPLES", "not a folder"));
        startIn(tinyMedium(), arguments);
        fillDialog(dialog, defaultTarget, true);
        HWND box = NULL;
        SeenBox seen;
        for (int boxes = 0; boxes < 3 && waitForBox(&box, &seen) && seen.caption != "Installation Complete"; boxes++)
            press(box, seen.caption == "Warning" ? IDYES : IDIGNORE);
        ASSERT_EQ("Installation Complete", seen.caption);
        ASSERT_TRUE(DeleteFileA((std::string(defaultTarget) + "\\qmsetup.exe").c_str()));
        press(box, IDYES);
        ASSERT_TRUE(waitForBox(&box, &seen));
        EXPECT_EQ("QMSETUP program can not start", seen.caption);
        press(box, IDOK);
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        expectExitCode(bare ? 0 : 5);
        stopSetup(&setup);
        removeTree(defaultTarget);
        EXPECT_EQ(!bare, readFile(logPath).find("Result: installed, but some files were not") != std::string::npos);
    }
}

// A damaged imaging library beside SETUP.EXE is never loaded, with or
// without switches: the dialog comes without the picture, and a log names it.
TEST_F(Unattended, ADamagedImagingLibraryIsNeverLoaded)
{
    std::string medium;
    ASSERT_TRUE(copyTinyMedium("imaging", &medium));
    ASSERT_TRUE(flipBit(medium + "\\SNBD7W95.DLL", 2000));
    for (const std::string arguments : {"", "/LOG=C:\\QMSETUP.LOG"}) {
        SCOPED_TRACE(arguments);
        startIn(medium, arguments);
        pressButton(dialog, IDCANCEL);
        expectExitCode(arguments.empty() ? 0 : 8);
        stopSetup(&setup);
    }
    EXPECT_NE(std::string::npos, readFile(logPath).find(medium + "\\SNBD7W95.DLL is not the release's: not opened"));
}

// Six runs at once: one at a time installs, the others end with 1618; each
// run's lines whole and in the log they all write to.
TEST_F(Unattended, SixRunsAtOnceAppendEveryLineWhole)
{
    SetupProcess runs[6];
    DWORD codes[6];
    for (int n = 0; n < 6; n++)
        ASSERT_TRUE(startSetup(tinyMedium() + "\\SETUP.EXE", tinyMedium(), &runs[n],
                               "/S /NAME=Ada /DIR=C:\\QMLOG" + std::to_string(n) + " /LOG=" + logPath));
    int installed = 0;
    for (int n = 0; n < 6; n++) {
        codes[n] = 1234;
        EXPECT_TRUE(waitForExit(&runs[n], &codes[n]));
        EXPECT_TRUE(codes[n] == 0 || codes[n] == 1618) << codes[n];
        installed += codes[n] == 0;
        stopSetup(&runs[n]);
    }
    EXPECT_LE(1, installed);
    const std::string written = readFile(logPath);
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD nameSize = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &nameSize));
    const std::string computer = std::string(name) + " ";
    std::vector<int> files(6, 0);
    int results = 0, refused = 0;
    size_t start = 0;
    for (size_t end; (end = written.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = written.substr(start, end - start);
        EXPECT_TRUE(line.size() > 20 && line[4] == '-' && line[13] == ':' && line[19] == ' ') << line;
        EXPECT_EQ(0, line.compare(20, computer.size(), computer)) << line;
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << line;
        if (line.find(" Result: installed completely, exit code 0") != std::string::npos) results++;
        if (line.find(" another installation or removal is in progress; nothing done, exit code 1618") !=
            std::string::npos)
            refused++;
        for (int n = 0; n < 6; n++)
            if (line.find(" File C:\\QMLOG" + std::to_string(n) + "\\") != std::string::npos) files[n]++;
    }
    EXPECT_EQ(written.size(), start) << "a line without its end";
    EXPECT_EQ(installed, results);
    EXPECT_EQ(6 - installed, refused);
    for (int n = 0; n < 6; n++) {
        EXPECT_EQ(codes[n] == 0 ? manifestFiles(true).size() : 0, (size_t)files[n]) << n;
        EXPECT_EQ(codes[n] == 0, exists("C:\\QMLOG" + std::to_string(n))) << n;
        removeTree("C:\\QMLOG" + std::to_string(n));
    }
}

// A run at its dialog holds the machine's lock: /S and a removal meet it at
// once (1618, nothing done), a run without arguments says so in a box and
// ends with 0;
// once the first is killed, its lock keeps nobody out.
TEST_F(Unattended, OneRunAtATimeAndAKilledRunNeverBlocks)
{
    startIn(tinyMedium());
    EXPECT_EQ(1618u, run(tinyMedium(), "/S /NAME=Ada /LOG=" + std::string(logPath)));
    EXPECT_NE(std::string::npos, readFile(logPath).find(
        "Stopped, exit code 1618: another installation or removal of Quillmark is in progress"));
    EXPECT_EQ(1618u, run(tinyMedium(), "/UNINSTALL /S"));
    SetupProcess second{};
    ASSERT_TRUE(startSetup(tinyMedium() + "\\SETUP.EXE", tinyMedium(), &second));
    EXPECT_TRUE(answerMessageBox(second, {"Another installation or removal of Quillmark is in progress.\n\nWait until "
                                          "it ends, then start Setup again.", "Quillmark Setup",
                                          MB_OK | MB_ICONEXCLAMATION, NULL}, IDOK));
    DWORD code = 1234;
    EXPECT_TRUE(waitForExit(&second, &code));
    EXPECT_EQ(0u, code);
    stopSetup(&second);
    EXPECT_FALSE(exists(defaultTarget));
    stopSetup(&setup);
    EXPECT_EQ(0u, run(tinyMedium(), "/S /NAME=Ada"));
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
}

// The registration, where the documented detections look for the product.
static bool registered()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A run with switches that could not write a file is taken back whole: no
// uninstaller, no record, no key; the rerun that completes it is registered.
// A rerun keeps the samples choice.
TEST_F(Unattended, OnlyACompleteInstallationIsRegisteredAndARerunKeepsItsChoices)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKeyPath);
    const std::string blocker = std::string(defaultTarget) + "\\SAMPLES";
    ASSERT_TRUE(CreateDirectoryA(defaultTarget, NULL));
    ASSERT_TRUE(writeFile(blocker, "not a folder"));
    EXPECT_EQ(5u, run(tinyMedium(), "/S /NAME=Ada /SAMPLES=1"));
    EXPECT_EQ(std::vector<std::string>{"SAMPLES"}, listTree(defaultTarget));
    EXPECT_FALSE(fileExists(std::string(dataFolder) + "\\" + uninstallerName));
    EXPECT_FALSE(fileExists(std::string(dataFolder) + "\\" + recordName));
    EXPECT_FALSE(registered());
    ASSERT_TRUE(DeleteFileA(blocker.c_str()));
    EXPECT_EQ(0u, run(tinyMedium(), "/S /NAME=Ada /SAMPLES=0 /LOG=" + std::string(logPath)));
    EXPECT_TRUE(registered());
    EXPECT_NE(std::string::npos, readFile(logPath).find(" Registered: HKEY_LOCAL_MACHINE\\Software\\"));
    removeTree(defaultTarget);
    EXPECT_EQ(0u, run(tinyMedium(), "/S /NAME=Ada /SAMPLES=0"));
    EXPECT_EQ(0u, run(tinyMedium(), "/S"));
    EXPECT_TRUE(installedExactly(defaultTarget, false, withUninstaller({"quillmrk.dat"})));
}

// An upgrade with switches while a product file is held open: the rest is
// installed and registered, that file is written beside it and takes its
// place at the next start of Windows (a new session's wineboot), and the
// run ends with 3010.
TEST_F(Unattended, AFileInUseTakesItsNewVersionAtTheRestart)
{
    EXPECT_EQ(0u, run(tinyMedium(), "/S /NAME=Ada"));
    const std::string held = std::string(defaultTarget) + "\\QUILLMRK.EXE";
    ASSERT_TRUE(writeFile(held, "an earlier release's program"));
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(3010u, run(tinyMedium(), "/S /NAME=Ada /LOG=" + std::string(logPath)));
    CloseHandle(holder);
    const std::string log = readFile(logPath);
    EXPECT_NE(std::string::npos, log.find(held + " in use: its new version takes its place at the next start"));
    EXPECT_NE(std::string::npos, log.find(" Result: installed; restart Windows to finish, exit code 3010\r\n"));
    EXPECT_EQ("an earlier release's program", readFile(held));
    EXPECT_TRUE(registered());
    ASSERT_TRUE(restartSession());
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
}

// Without /S a command line not understood, /? and /VERIFY are boxes of
// their own; so is a damaged SETUP.EXE started with no argument, which
// installs nothing and ends with 0 as every run without arguments does.
TEST_F(Unattended, InteractivelyTheSwitchesAreShownInABox)
{
    std::string selfDamaged;
    ASSERT_TRUE(copyTinyMedium("interactive-program", &selfDamaged));
    const std::string program = selfDamaged + "\\SETUP.EXE";
    ASSERT_TRUE(flipBit(program, (long)fileBytes(program).size() - 1));
    struct Row {
        std::string medium;
        const char *arguments;
        std::string start;  // of the box's text
        DWORD code;
    };
    const Row rows[] = {
        {tinyMedium(), "/BOGUS", "The command line is not understood: /BOGUS (unknown argument).", 1},
        {tinyMedium(), "/?", "SETUP.EXE [/S] [/NAME=name]", 0},
        {tinyMedium(), "/VERIFY", "The medium is whole: every file is the release's.", 0},
        {selfDamaged, "", "The setup program is damaged: copy the medium again.", 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.arguments);
        ASSERT_TRUE(startSetup(row.medium + "\\SETUP.EXE", row.medium, &setup, row.arguments));
        HWND box = NULL;
        SeenBox seen;
        ASSERT_TRUE(waitForBox(&box, &seen));
        EXPECT_EQ("Quillmark Setup", seen.caption);
        EXPECT_EQ(row.start, seen.text.substr(0, row.start.size()));
        press(box, IDOK);
        DWORD code = 1234;
        EXPECT_TRUE(waitForExit(&setup, &code));
        EXPECT_EQ(row.code, code);
        stopSetup(&setup);
    }
    EXPECT_FALSE(directoryExists(defaultTarget));
}

TEST_F(Unattended, AnswersSavedInteractivelyAreReplayedUnattended)
{
    startIn(tinyMedium(), std::string("/SAVEANSWERS=") + answersPath);
    fillUserDialog(dialog, "Ada Lovelace", " Analytical Engines ", "\"Babbage\" & Co", longTarget, false);
    expectCompletedEnd();
    const std::vector<std::string> values = ownerDataLines(std::string(longTarget) + "\\quillmrk.dat");
    EXPECT_EQ("User=Ada Lovelace", values.at(0));
    const TreeBytes installed = treeBytes(longTarget);

    removeTree(longTarget);
    clearWinIniSection();
    EXPECT_EQ(0u, run(tinyMedium(), std::string("/S /ANSWERS=") + answersPath));
    EXPECT_EQ(values, ownerDataLines(std::string(longTarget) + "\\quillmrk.dat"));
    EXPECT_TRUE(installedExactly(longTarget, false, withUninstaller({"quillmrk.dat"})));
    EXPECT_EQ(installed, treeBytes(longTarget));
    // A switch overrides the file.
    EXPECT_EQ(0u, run(tinyMedium(), std::string("/S /NAME=Grace /ANSWERS=") + answersPath));
    EXPECT_EQ("User=Grace", ownerDataLines(std::string(longTarget) + "\\quillmrk.dat").at(0));
}

}  // namespace
}  // namespace robust
