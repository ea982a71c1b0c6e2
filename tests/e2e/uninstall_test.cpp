// Removal of an installation as administrators and users meet it: through
// Wine's own Add/Remove Programs client, by the uninstaller's quiet command,
// and with a file held open by another program.
#include "tests/e2e/install_support.h"
#include "tests/support/uninstaller_files.h"

namespace e2e {
namespace {

const char keyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmark";
const char pendingPath[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char removeCaption[] = "Remove Quillmark";
const char questionText[] = "Remove Quillmark Professional and all of its components from this computer?\n\n"
                            "Files you added or changed since the installation are kept.";
const std::string dir = defaultTarget;
const std::string uninstaller = std::string(dataFolder) + "\\" + uninstallerName;
const std::string record = std::string(dataFolder) + "\\" + recordName;

std::string keyText(const char *name)
{
    char value[512] = "";
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, keyPath, name, RRF_RT_REG_SZ, NULL, value, &size) != ERROR_SUCCESS)
        return "<none>";
    return value;
}

DWORD keyNumber(const char *name)
{
    DWORD value = 0, size = sizeof value;
    RegGetValueA(HKEY_LOCAL_MACHINE, keyPath, name, RRF_RT_REG_DWORD, NULL, &value, &size);
    return value;
}

// The removals Windows does at its next start, as one text.
std::string pendingRemovals()
{
    std::vector<char> value(65536, '\0');
    DWORD size = (DWORD)value.size();
    if (RegGetValueA(HKEY_LOCAL_MACHINE, pendingPath, "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, NULL,
                     value.data(), &size) != ERROR_SUCCESS)
        return "";
    std::string text(value.data(), size);
    for (char &c : text) c = c ? c : '|';
    return text;
}

// Neither the key nor a WIN.INI entry names the product.
testing::AssertionResult nothingNamesIt()
{
    char section[8];
    if (GetProfileStringA("Quillmark", NULL, "", section, sizeof section) != 0)
        return testing::AssertionFailure() << "WIN.INI's [Quillmark] holds " << section;
    if (keyText("DisplayName") != "<none>") return testing::AssertionFailure() << "the key stays";
    return testing::AssertionSuccess();
}

// Runs a command line to its end, its output and exit code given back.
testing::AssertionResult runCommand(const std::string &command, std::string *output, DWORD *code)
{
    const std::string file = dir + ".out";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, NULL);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION info = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &info);
    CloseHandle(out);
    if (!started) return testing::AssertionFailure() << "cannot start " << command;
    SetupProcess run = {info.hProcess, info.dwProcessId, info.dwThreadId};
    CloseHandle(info.hThread);
    testing::AssertionResult ended = waitForExit(&run, code);
    stopSetup(&run);
    *output = readFile(file);
    DeleteFileA(file.c_str());
    return ended;
}

// The process that asks: the uninstaller's copy in TEMP, which the program
// started waits for.
testing::AssertionResult waitForRemover(SetupProcess *remover)
{
    HWND box = NULL;
    for (int waited = 0; !box && waited < windowTimeoutMs; waited += 50, Sleep(50))
        box = FindWindowA("#32770", removeCaption);
    if (!box) return testing::AssertionFailure() << "the uninstaller did not ask";
    *remover = {};
    remover->threadId = GetWindowThreadProcessId(box, &remover->processId);
    remover->process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                                   remover->processId);
    return testing::AssertionSuccess();
}

// Waits for the remover's end and lets go of it.
void stopSetupAfter(SetupProcess *remover)
{
    DWORD code = 0;
    EXPECT_TRUE(waitForExit(remover, &code));
    stopSetup(remover);
}

class Uninstall : public Installation {
protected:
    void SetUp() override { forget(); Installation::SetUp(); }
    void TearDown() override { Installation::TearDown(); forget(); }
    static void forget()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, pendingPath, "PendingFileRenameOperations");
        DeleteFileA((dir + ".log").c_str());
    }

    // A whole installation into C:\QUILLMRK (typed so) from the medium in folder.
    void install(const std::string &folder, bool over, const char *typed = defaultTarget)
    {
        ASSERT_TRUE(startSetup(folder + "\\SETUP.EXE", folder, &setup));
        HWND main = waitForMainWindow(), dialog = waitForDialog();
        ASSERT_TRUE(main && dialog);
        fillDialog(dialog, typed, true);
        if (over) {
            ASSERT_TRUE(answerMessageBox(setup,
                                         {"Directory already exists. Do you want to overwrite?\n\nNote: All Quillmark "
                                          "files in this directory will be overwritten.",
                                          "Warning", MB_YESNO | MB_ICONQUESTION, dialog},
                                         IDYES));
        }
        answerCompletion(main, IDNO);
        expectExitCode(0);
        stopSetup(&setup);
    }
    // The uninstaller (or the medium's program) run to its end unattended: its exit code.
    DWORD removeQuietly(const std::string &program = uninstaller, const std::string &log = dir + ".log")
    {
        DWORD code = 99;
        EXPECT_TRUE(startSetup(program, "C:\\", &setup, "/UNINSTALL /S /LOG=" + log));
        EXPECT_TRUE(waitForExit(&setup, &code));
        stopSetup(&setup);
        return code;
    }
};

TEST_F(Uninstall, WineListsItAndItsRemovalTakesOnlyWhatWasInstalled)
{
    // A folder of the user's that the product is installed into.
    ASSERT_TRUE(CreateDirectoryA(defaultTarget, NULL));
    ASSERT_TRUE(writeTextFile(dir + "\\notes.txt", "mine"));
    install(mediumDir(), true);
    EXPECT_EQ("Quillmark Professional 1.0.0", keyText("DisplayName"));
    EXPECT_EQ("1.0.0", keyText("DisplayVersion"));
    EXPECT_EQ("Quillmark", keyText("Publisher"));
    EXPECT_EQ(dir, keyText("InstallLocation"));
    EXPECT_EQ("\"" + uninstaller + "\" /UNINSTALL", keyText("UninstallString"));
    EXPECT_EQ("\"" + uninstaller + "\" /UNINSTALL /S", keyText("QuietUninstallString"));
    EXPECT_EQ(1u, keyNumber("NoModify"));
    EXPECT_EQ(1u, keyNumber("NoRepair"));
    // What the installation put there and its uninstaller, in KB (the user's notes.txt is a few bytes).
    unsigned long long bytes = 0;
    for (const std::string &folder : {dir, std::string(dataFolder)})
        for (const std::string &entry : listTree(folder)) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExA((folder + "\\" + entry).c_str(), GetFileExInfoStandard, &data))
                bytes += data.nFileSizeLow;
        }
    EXPECT_NEAR((double)bytes / 1024, (double)keyNumber("EstimatedSize"), 8.0);
    std::string output;
    DWORD code = 99;
    ASSERT_TRUE(runCommand("uninstaller.exe --list", &output, &code));
    EXPECT_NE(std::string::npos, output.find("Quillmark|||Quillmark Professional 1.0.0")) << output;

    // The user adds a file to a folder the installation made and changes an installed one; he puts
    // a record naming a file outside and an uninstaller of his own in the folder: neither is used.
    ASSERT_TRUE(writeTextFile(dir + "\\SAMPLES\\mine.qmd", "added"));
    ASSERT_TRUE(writeTextFile(dir + "\\QMVIEW.EXE", "changed"));
    const std::string outside = "C:\\QMOUTSIDE.TXT";
    ASSERT_TRUE(writeTextFile(outside, "123456789"));
    ASSERT_TRUE(writeTextFile(dir + "\\" + recordName, "Quillmark install record 1\r\nF 9 CBF43926 " + outside + "\r\n"));
    ASSERT_TRUE(writeTextFile(dir + "\\" + uninstallerName, "not a program"));
    // Wine's client starts the uninstaller, which asks on its own; the client
    // is not waited for (here it stays until the uninstaller ends).
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION client = {};
    char removeCommand[] = "uninstaller.exe --remove Quillmark";
    ASSERT_TRUE(CreateProcessA(NULL, removeCommand, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &client));
    CloseHandle(client.hThread);
    SetupProcess remover;
    ASSERT_TRUE(waitForRemover(&remover));
    ASSERT_TRUE(answerMessageBox(remover, {questionText, removeCaption, MB_YESNO | MB_ICONQUESTION, NULL}, IDYES));
    ASSERT_TRUE(answerMessageBox(remover,
                                 {"Quillmark Professional was removed from your computer.\n\n2 file(s) you added or "
                                  "changed since the installation were kept, in C:\\QUILLMRK.",
                                  removeCaption, MB_OK | MB_ICONASTERISK, NULL},
                                 IDOK));
    ASSERT_TRUE(waitForExit(&remover, &code));
    stopSetup(&remover);
    EXPECT_EQ(0u, code);
    WaitForSingleObject(client.hProcess, exitTimeoutMs);
    CloseHandle(client.hProcess);
    // The uninstaller is gone at once, nothing of the folder waits for a restart.
    EXPECT_EQ((std::vector<std::string>{"QMREMOVE.DAT", "QMREMOVE.EXE", "QMVIEW.EXE", "SAMPLES\\", "SAMPLES\\mine.qmd",
                                        "notes.txt"}),
              listTree(dir));
    EXPECT_TRUE(fileExists(outside));
    DeleteFileA(outside.c_str());
    EXPECT_EQ(std::string::npos, pendingRemovals().find(dir)) << pendingRemovals();
    EXPECT_TRUE(nothingNamesIt());

    // A second installation is as exact as the first, and its uninstaller stays at the next start.
    install(mediumDir(), true);
    EXPECT_TRUE(installedExactly(dir, true, withUninstaller({"quillmrk.dat", "notes.txt", "SAMPLES\\mine.qmd"})));
    EXPECT_EQ(std::string::npos, pendingRemovals().find(uninstallerName)) << pendingRemovals();
}

TEST_F(Uninstall, AnUpgradesRemovalTakesTheFileOnlyTheOlderReleaseHad)
{
    install(QM_OLDER_MEDIUM, false);
    ASSERT_TRUE(fileExists(dir + "\\QMLEGACY.DLL"));
    EXPECT_EQ("0.9.0", keyText("DisplayVersion"));
    EXPECT_EQ("<none>", keyText("Publisher"));
    install(mediumDir(), true);
    EXPECT_EQ("1.0.0", keyText("DisplayVersion"));
    // TEMP is the install folder, where the uninstaller's copy runs.
    SetEnvironmentVariableA("TMP", defaultTarget);
    SetEnvironmentVariableA("TEMP", defaultTarget);
    EXPECT_EQ(0u, removeQuietly());
    SetEnvironmentVariableA("TMP", NULL);
    SetEnvironmentVariableA("TEMP", NULL);
    EXPECT_FALSE(exists(dir)) << "the folder made goes at once, the uninstaller with it";
    EXPECT_EQ(9u, removeQuietly(mediumDir() + "\\SETUP.EXE")) << "nothing is left to remove";
}

TEST_F(Uninstall, AFileInUseIsNamedAndRetryRemovesItOnceItIsFree)
{
    install(mediumDir(), false);
    SetupProcess remover;
    ASSERT_TRUE(startSetup(uninstaller, dir, &setup, "/UNINSTALL"));
    ASSERT_TRUE(waitForRemover(&remover));
    ASSERT_TRUE(answerMessageBox(remover, {questionText, removeCaption, MB_YESNO | MB_ICONQUESTION, NULL}, IDNO));
    stopSetupAfter(&remover);
    expectExitCode(8);
    stopSetup(&setup);
    EXPECT_TRUE(installedExactly(dir, true, withUninstaller({"quillmrk.dat"})));

    const std::string held = dir + "\\QMVIEW.EXE";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    // Unattended, the file is tried again for a while; held so that it cannot even be moved aside,
    // it is named in the log and nothing is removed.
    EXPECT_EQ(5u, removeQuietly());
    EXPECT_TRUE(fileExists(dir + "\\QUILLMRK.EXE") && fileExists(dir + "\\quillmrk.dat")) << "nothing removed";
    const std::string log = readFile(dir + ".log");
    EXPECT_NE(std::string::npos, log.find("Not removed: " + held)) << log;
    const std::string inUse = "Cannot remove " + held + ": the file is in use by another program";
    EXPECT_EQ(log.find(inUse), log.rfind(inUse)) << "one line for each file and outcome";
    EXPECT_EQ(dir, keyText("InstallLocation")) << "the product stays listed for a later removal";

    ASSERT_TRUE(startSetup(uninstaller, dir, &setup, "/UNINSTALL"));
    ASSERT_TRUE(waitForRemover(&remover));
    ASSERT_TRUE(answerMessageBox(remover, {questionText, removeCaption, MB_YESNO | MB_ICONQUESTION, NULL}, IDYES));
    ASSERT_TRUE(waitForMessageBox(remover));
    CloseHandle(file);
    ASSERT_TRUE(answerMessageBox(remover,
                                 {("Cannot remove : " + held +
                                   "\n\nThe file is in use. Close the program that uses it, then click Retry.")
                                      .c_str(),
                                  removeCaption, MB_RETRYCANCEL | MB_ICONEXCLAMATION, NULL},
                                 IDRETRY));
    ASSERT_TRUE(answerMessageBox(remover, {"Quillmark Professional was removed from your computer.", removeCaption,
                                           MB_OK | MB_ICONASTERISK, NULL},
                                 IDOK));
    stopSetupAfter(&remover);
    expectExitCode(0);
    EXPECT_FALSE(exists(dir));
}

TEST_F(Uninstall, AFileInUseGoesAtTheRestartAndAStoppedRemovalIsCompleted)
{
    install(mediumDir(), false);
    // Held as a running program's image is: it may be renamed, not deleted.
    const std::string held = dir + "\\QMVIEW.EXE";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(3010u, removeQuietly());
    CloseHandle(file);
    EXPECT_TRUE(nothingNamesIt());
    EXPECT_FALSE(exists(dir));
    EXPECT_NE(std::string::npos, pendingRemovals().find("C:\\ProgramData\\Quillmark\\QMR")) << pendingRemovals();
    EXPECT_NE(std::string::npos, readFile(dir + ".log").find("Removal ended: 719 file(s) removed, 0 kept, 0 could not be "
                                                               "removed; exit code 3010"));
    ASSERT_TRUE(removeTree(dataFolder));

    // A removal killed on its way left its journal and half the files: the next one asks nothing and completes it.
    install(mediumDir(), false);
    ASSERT_TRUE(writeTextFile(std::string(dataFolder) + "\\QMREMOVE.JNL", ""));
    ASSERT_TRUE(removeTree(dir + "\\SAMPLES") && DeleteFileA(held.c_str()));
    SetupProcess remover;
    ASSERT_TRUE(startSetup(uninstaller, dir, &setup, "/UNINSTALL"));
    ASSERT_TRUE(waitForRemover(&remover));
    ASSERT_TRUE(answerMessageBox(remover, {"Quillmark Professional was removed from your computer.", removeCaption,
                                           MB_OK | MB_ICONASTERISK, NULL},
                                 IDOK));
    stopSetupAfter(&remover);
    expectExitCode(0);
    stopSetup(&setup);
    EXPECT_FALSE(exists(dir));
    EXPECT_TRUE(nothingNamesIt());
}

// "123456789": 9 bytes whose CRC-32 is CBF43926, the record's line of such a file at path.
const char nine[] = "123456789";
std::string nineLine(const std::string &path) { return "F 9 CBF43926 " + path + "\r\n"; }

TEST_F(Uninstall, RecordEntriesOutsideTheInstallationStayAndAreNamed)
{
    install(mediumDir(), false);
    const std::string outside = "C:\\QMOUTSIDE.TXT", otherDrive = mediumDir() + "_OUTSIDE.TXT", empty = "C:\\QMEMPTY";
    ASSERT_TRUE(writeTextFile(outside, nine) && writeTextFile(otherDrive, nine) && CreateDirectoryA(empty.c_str(), NULL));
    // An installation of the first layout, its record (of the format before parts were closed) and
    // uninstaller in its folder, with entries added by hand.
    std::string first = "Quillmark install record 1\r\n", written = readFile(record);
    for (size_t at = written.find('\n') + 1; at < written.size(); at = written.find('\n', at) + 1)
        if (written[at] == 'F' || written[at] == 'D') first += written.substr(at, written.find('\n', at) + 1 - at);
    const std::string added[] = {outside, dir + "\\..\\QMOUTSIDE.TXT", "QMOUTSIDE.TXT", otherDrive};
    for (const std::string &path : added) first += nineLine(path);
    first += "D " + empty + "\r\nD C:\\\r\n";
    ASSERT_TRUE(writeTextFile(dir + "\\" + recordName, first));
    ASSERT_TRUE(MoveFileA(uninstaller.c_str(), (dir + "\\" + uninstallerName).c_str()));
    ASSERT_TRUE(removeTree(dataFolder));
    EXPECT_EQ(5u, removeQuietly(dir + "\\" + uninstallerName));
    EXPECT_TRUE(fileExists(outside) && fileExists(otherDrive) && directoryExists(empty));
    const std::string log = readFile(dir + ".log");
    for (const std::string &path : {added[0], added[1], added[2], added[3], empty, std::string("C:\\")})
        EXPECT_NE(std::string::npos, log.find("Not touched, outside C:\\QUILLMRK: " + path + "\r\n")) << path;
    EXPECT_EQ(dir, keyText("InstallLocation"));
    // An installation over it takes its record over into the data folder, and its removal is whole.
    install(mediumDir(), true);
    EXPECT_TRUE(installedExactly(dir, true, {"quillmrk.dat"}));
    EXPECT_EQ(0u, removeQuietly());
    EXPECT_FALSE(exists(dir));
    DeleteFileA(outside.c_str());
    DeleteFileA(otherDrive.c_str());
    RemoveDirectoryA(empty.c_str());
}

// Runs a program of the Unix side (Wine makes no links), and waits until done() says it has.
testing::AssertionResult runOnUnix(std::string command, bool (*done)())
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION run = {};
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &run))
        return testing::AssertionFailure() << "cannot start " << command;
    CloseHandle(run.hThread);
    CloseHandle(run.hProcess);
    for (int waited = 0; !done() && waited < windowTimeoutMs; waited += 50) Sleep(50);
    return done() ? testing::AssertionSuccess() : testing::AssertionFailure() << command << " did not do its work";
}

bool samplesIsALink() { return GetFileAttributesA("C:\\QUILLMRK\\SAMPLES") & FILE_ATTRIBUTE_REPARSE_POINT; }
bool samplesIsGone() { return GetFileAttributesA("C:\\QUILLMRK\\SAMPLES") == INVALID_FILE_ATTRIBUTES; }

TEST_F(Uninstall, AProductFolderReplacedByALinkKeepsWhatTheLinkLeadsTo)
{
    install(mediumDir(), false);
    const std::string other = "C:\\QMOTHER", prefix = getenv("WINEPREFIX") ? getenv("WINEPREFIX") : "";
    ASSERT_FALSE(prefix.empty());
    // The user's own folder of identical copies, and SAMPLES made a link to it.
    ASSERT_TRUE(MoveFileA((dir + "\\SAMPLES").c_str(), other.c_str()));
    const std::vector<std::string> copies = listTree(other);
    const std::string link = prefix + "/drive_c/QUILLMRK/SAMPLES";
    ASSERT_TRUE(runOnUnix("Z:\\bin\\ln -s " + prefix + "/drive_c/QMOTHER " + link, samplesIsALink));
    EXPECT_EQ(5u, removeQuietly());
    EXPECT_EQ(copies, listTree(other));
    EXPECT_FALSE(fileExists(dir + "\\QMVIEW.EXE")) << "the rest of the installation goes";
    // The link made to lead to an empty folder: not found through it is not gone.
    ASSERT_TRUE(CreateDirectoryA((other + "\\EMPTY").c_str(), NULL) && runOnUnix("Z:\\bin\\rm " + link, samplesIsGone));
    ASSERT_TRUE(runOnUnix("Z:\\bin\\ln -s " + prefix + "/drive_c/QMOTHER/EMPTY " + link, samplesIsALink));
    EXPECT_EQ(5u, removeQuietly());
    EXPECT_EQ(dir, keyText("InstallLocation"));
    EXPECT_TRUE(runOnUnix("Z:\\bin\\rm " + link, samplesIsGone));
    removeTree(other);
}

TEST_F(Uninstall, ARecordNotWholeRemovesNothing)
{
    install(mediumDir(), false);
    const std::string path = record, whole = readFile(path);
    // Cut inside a line, at a line's end (its trailer stripped), after its first lines; garbage; empty.
    for (const std::string &damaged : {whole.substr(0, whole.size() - 20), whole.substr(0, whole.rfind("T ")),
                                       whole.substr(0, whole.find("\n", 60) + 1), std::string("\x01\x02garbage\r\n"),
                                       std::string()}) {
        ASSERT_TRUE(writeTextFile(path, damaged));
        EXPECT_EQ(10u, removeQuietly());
        EXPECT_TRUE(installedExactly(dir, true, {"quillmrk.dat"}));
        EXPECT_EQ(dir, keyText("InstallLocation"));
        EXPECT_NE(std::string::npos, readFile(dir + ".log").find("The record " + path + " is damaged"));
    }
    // A folder in its place.
    ASSERT_TRUE(DeleteFileA(path.c_str()) && CreateDirectoryA(path.c_str(), NULL));
    EXPECT_EQ(10u, removeQuietly());
    EXPECT_EQ(dir, keyText("InstallLocation"));
    RemoveDirectoryA(path.c_str());
}

TEST_F(Uninstall, AFolderTypedWithMoreBackslashesIsRemovedCompletely)
{
    for (const char *typed : {"C:\\QUILLMRK\\", "C:\\\\QUILLMRK"}) {
        SCOPED_TRACE(typed);
        install(mediumDir(), false, typed);
        EXPECT_EQ(dir, keyText("InstallLocation"));
        EXPECT_EQ("\"" + uninstaller + "\" /UNINSTALL", keyText("UninstallString"));
        // The test's own process keeps the Wine server up: nothing waiting for a restart is carried out.
        EXPECT_EQ(0u, removeQuietly());
        EXPECT_FALSE(exists(dir));
        EXPECT_TRUE(nothingNamesIt());
    }
}

TEST_F(Uninstall, EverySpellingLevelsMadeAboveAndASecondFolderAreAllRemoved)
{
    const std::string existing = "C:\\QM LONG NAME", levels = "C:\\L1\\L2\\QM";
    char shortName[MAX_PATH] = "";
    ASSERT_TRUE(CreateDirectoryA(existing.c_str(), NULL));
    ASSERT_NE(0u, GetShortPathNameA(existing.c_str(), shortName, sizeof shortName));
    auto installQuietly = [this](const std::string &typed) {
        DWORD code = 99;
        EXPECT_TRUE(startSetup(mediumDir() + "\\SETUP.EXE", mediumDir(), &setup, "/S /NAME=Ada /DIR=" + typed));
        EXPECT_TRUE(waitForExit(&setup, &code));
        stopSetup(&setup);
        return code;
    };
    // A share, \\qmhost\qmshare, a folder of the prefix's drive.
    const std::string prefix = getenv("WINEPREFIX") ? getenv("WINEPREFIX") : "", share = "\\\\qmhost\\qmshare\\QM";
    std::string unc = "Z:" + prefix + "/dosdevices/unc";
    for (char &c : unc) c = c == '/' ? '\\' : c;
    CreateDirectoryA(unc.c_str(), NULL);
    CreateDirectoryA((unc + "\\qmhost").c_str(), NULL);
    ASSERT_TRUE(CreateDirectoryA("C:\\QMSHARE", NULL));
    ASSERT_TRUE(runOnUnix("Z:\\bin\\ln -s " + prefix + "/drive_c/QMSHARE " + prefix + "/dosdevices/unc/qmhost/qmshare",
                          [] { return directoryExists("\\\\qmhost\\qmshare"); }));
    // Five spellings, four folders: one removal takes every installation.
    for (const std::string &typed : {std::string(shortName), dir + "\\.\\", dir + ".", share, levels})
        ASSERT_EQ(0u, installQuietly(typed)) << typed;
    EXPECT_EQ(levels, keyText("InstallLocation"));
    EXPECT_EQ(0u, removeQuietly());
    EXPECT_TRUE(listTree(existing).empty()) << "the folder made by the user stays, empty";
    EXPECT_FALSE(exists(dir));
    EXPECT_FALSE(exists("C:\\L1")) << "the levels the installation made go with it";
    EXPECT_FALSE(exists("C:\\QMSHARE\\QM")) << "the installation on a share";
    EXPECT_TRUE(runOnUnix("Z:\\bin\\rm " + prefix + "/dosdevices/unc/qmhost/qmshare",
                          [] { return !directoryExists("\\\\qmhost\\qmshare"); }));
    RemoveDirectoryA((unc + "\\qmhost").c_str());
    RemoveDirectoryA("C:\\QMSHARE");
    EXPECT_TRUE(nothingNamesIt());
    EXPECT_FALSE(exists(record));
    RemoveDirectoryA(existing.c_str());
}

TEST_F(Uninstall, AnotherProgramsPendingRenamesStayAsTheyAre)
{
    // Another program's, in Russian, and the removal of our uninstaller left by an earlier removal.
    const wchar_t others[] = L"\\??\\C:\\\u043d\u043e\u0432\u044b\u0439.dll\0\0\\??\\C:\\a.tmp\0!\\??\\C:\\b.dll\0";
    const std::wstring theirs(others, sizeof others / sizeof *others - 1);
    const std::wstring value = theirs + L"\\??\\C:\\ProgramData\\\\Quillmark\\QMREMOVE.EXE" + std::wstring(3, L'\0');
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                                             L"PendingFileRenameOperations", REG_MULTI_SZ, value.data(),
                                             (DWORD)(value.size() * sizeof(wchar_t))));
    auto pending = [] {
        std::vector<wchar_t> data(4096, L'\0');
        DWORD size = (DWORD)(data.size() * sizeof(wchar_t));
        RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                     L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, NULL, data.data(), &size);
        return std::wstring(data.data(), size / sizeof(wchar_t));
    };
    install(mediumDir(), false);
    EXPECT_TRUE(pending() == theirs + L'\0') << "only our own removal is taken back";
    // The log asked for cannot be written: told in the TEMP folder's log, the complete removal's 0 kept.
    EXPECT_EQ(0u, removeQuietly(uninstaller, "C:\\NOFOLDER\\QM.LOG"));
    EXPECT_EQ(0u, pending().find(theirs)) << "the others' stay first, byte for byte";
}

TEST_F(Uninstall, AReadOnlyFileGoesAndAFolderDeletedByHandLeavesNoEntries)
{
    install(mediumDir(), false);
    ASSERT_TRUE(SetFileAttributesA((dir + "\\QMVIEW.EXE").c_str(), FILE_ATTRIBUTE_READONLY));
    // A link in an installed file's place is the user's: kept, and the removal whole.
    const std::string outside = "C:\\QMOUTSIDE.TXT", prefix = getenv("WINEPREFIX") ? getenv("WINEPREFIX") : "";
    ASSERT_TRUE(writeTextFile(outside, nine) && DeleteFileA((dir + "\\QUILLMRK.EXE").c_str()));
    ASSERT_TRUE(runOnUnix("Z:\\bin\\ln -s " + prefix + "/drive_c/QMOUTSIDE.TXT " + prefix + "/drive_c/QUILLMRK/QUILLMRK.EXE",
                          [] { return fileExists(dir + "\\QUILLMRK.EXE"); }));
    EXPECT_EQ(0u, removeQuietly());
    EXPECT_EQ(std::vector<std::string>{"QUILLMRK.EXE"}, listTree(dir));
    EXPECT_TRUE(fileExists(outside));
    ASSERT_TRUE(runOnUnix("Z:\\bin\\rm -r " + prefix + "/drive_c/QUILLMRK " + prefix + "/drive_c/QMOUTSIDE.TXT",
                          [] { return !exists(dir); }));

    install(mediumDir(), false);
    ASSERT_TRUE(removeTree(dir));
    EXPECT_EQ(0u, removeQuietly(mediumDir() + "\\SETUP.EXE"));
    EXPECT_TRUE(nothingNamesIt());

    // Interactively it asks first.
    install(mediumDir(), false);
    ASSERT_TRUE(removeTree(dir));
    SetupProcess remover;
    ASSERT_TRUE(startSetup(mediumDir() + "\\SETUP.EXE", "C:\\", &setup, "/UNINSTALL"));
    ASSERT_TRUE(waitForRemover(&remover));
    const std::string gone = "The folder " + dir + ", where Quillmark Professional was installed, is gone.\n\n"
                             "Remove Quillmark Professional from the list of installed programs?";
    ASSERT_TRUE(answerMessageBox(remover, {gone.c_str(), removeCaption, MB_YESNO | MB_ICONQUESTION, NULL}, IDYES));
    ASSERT_TRUE(answerMessageBox(remover, {"Quillmark Professional was removed from your computer.", removeCaption,
                                           MB_OK | MB_ICONASTERISK, NULL},
                                 IDOK));
    stopSetupAfter(&remover);
    expectExitCode(0);
    EXPECT_TRUE(nothingNamesIt());
}

}  // namespace
}  // namespace e2e
