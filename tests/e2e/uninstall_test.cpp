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
const std::string uninstaller = dir + "\\" + uninstallerName;

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

    // A whole installation into C:\QUILLMRK from the medium in folder.
    void install(const std::string &folder, bool over)
    {
        ASSERT_TRUE(startSetup(folder + "\\SETUP.EXE", folder, &setup));
        HWND main = waitForMainWindow(), dialog = waitForDialog();
        ASSERT_TRUE(main && dialog);
        fillDialog(dialog, defaultTarget, true);
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
    // The uninstaller run to its end unattended: its exit code.
    DWORD removeQuietly()
    {
        DWORD code = 99;
        EXPECT_TRUE(startSetup(uninstaller, "C:\\", &setup, "/UNINSTALL /S /LOG=" + dir + ".log"));
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
    // What the installation put there, in KB (the user's notes.txt is a few bytes).
    unsigned long long bytes = 0;
    for (const std::string &entry : listTree(dir)) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA((dir + "\\" + entry).c_str(), GetFileExInfoStandard, &data)) bytes += data.nFileSizeLow;
    }
    EXPECT_NEAR((double)bytes / 1024, (double)keyNumber("EstimatedSize"), 8.0);
    std::string output;
    DWORD code = 99;
    ASSERT_TRUE(runCommand("uninstaller.exe --list", &output, &code));
    EXPECT_NE(std::string::npos, output.find("Quillmark|||Quillmark Professional 1.0.0")) << output;

    // The user adds a file to a folder the installation made and changes an installed one.
    ASSERT_TRUE(writeTextFile(dir + "\\SAMPLES\\mine.qmd", "added"));
    ASSERT_TRUE(writeTextFile(dir + "\\QMVIEW.EXE", "changed"));
    // Wine's client starts the uninstaller, which asks on its own; the client
    // is not waited for (here it stays until the uninstaller ends).
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION client = {};
    char removeCommand[] = "uninstaller.exe --remove Quillmark";
    ASSERT_TRUE(CreateProcessA(NULL, removeCommand, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &client));
    CloseHandle(client.hThread);
    HWND box = NULL;
    for (int waited = 0; !box && waited < windowTimeoutMs; waited += 50, Sleep(50))
        box = FindWindowA("#32770", removeCaption);
    ASSERT_TRUE(box) << "the uninstaller did not ask";
    SetupProcess remover = {};
    remover.threadId = GetWindowThreadProcessId(box, &remover.processId);
    remover.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                                  remover.processId);
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
    // The running uninstaller goes at the next start of Windows.
    EXPECT_EQ((std::vector<std::string>{uninstallerName, "QMVIEW.EXE", "SAMPLES\\", "SAMPLES\\mine.qmd", "notes.txt"}),
              listTree(dir));
    EXPECT_NE(std::string::npos, pendingRemovals().find("\\??\\" + uninstaller)) << pendingRemovals();
    char section[8];
    EXPECT_EQ(0u, GetProfileStringA("Quillmark", NULL, "", section, sizeof section));
    EXPECT_EQ("<none>", keyText("DisplayName"));

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
    EXPECT_EQ(0u, removeQuietly());
    EXPECT_EQ(std::vector<std::string>{uninstallerName}, listTree(dir));
    EXPECT_NE(std::string::npos, pendingRemovals().find("\\??\\" + dir + "|")) << "the folder made goes as well";
    EXPECT_EQ(9u, removeQuietly()) << "nothing is left to remove";
}

TEST_F(Uninstall, AFileInUseIsNamedAndRetryRemovesItOnceItIsFree)
{
    install(mediumDir(), false);
    ASSERT_TRUE(startSetup(uninstaller, dir, &setup, "/UNINSTALL"));
    ASSERT_TRUE(answerMessageBox(setup, {questionText, removeCaption, MB_YESNO | MB_ICONQUESTION, NULL}, IDNO));
    expectExitCode(8);
    stopSetup(&setup);
    EXPECT_TRUE(installedExactly(dir, true, withUninstaller({"quillmrk.dat"})));

    const std::string held = dir + "\\QMVIEW.EXE";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    // Unattended, the file is tried again for a while, then left and named in the log.
    EXPECT_EQ(5u, removeQuietly());
    EXPECT_NE(std::string::npos, readFile(dir + ".log").find("Not removed: " + held));
    EXPECT_EQ(dir, keyText("InstallLocation")) << "the product stays listed for a later removal";

    ASSERT_TRUE(startSetup(uninstaller, dir, &setup, "/UNINSTALL"));
    ASSERT_TRUE(answerMessageBox(setup, {questionText, removeCaption, MB_YESNO | MB_ICONQUESTION, NULL}, IDYES));
    ASSERT_TRUE(waitForMessageBox(setup));
    CloseHandle(file);
    ASSERT_TRUE(answerMessageBox(setup,
                                 {("Cannot remove : " + held +
                                   "\n\nThe file is in use. Close the program that uses it, then click Retry.")
                                      .c_str(),
                                  removeCaption, MB_ABORTRETRYIGNORE | MB_ICONEXCLAMATION, NULL},
                                 IDRETRY));
    ASSERT_TRUE(answerMessageBox(setup, {"Quillmark Professional was removed from your computer.", removeCaption,
                                         MB_OK | MB_ICONASTERISK, NULL},
                                 IDOK));
    expectExitCode(0);
    EXPECT_EQ(std::vector<std::string>{uninstallerName}, listTree(dir));
}

}  // namespace
}  // namespace e2e
