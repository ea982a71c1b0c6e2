#include "tests/robustness/robust_support.h"

#include <cstdio>

namespace robust {

const char deepTarget[] = "C:\\QMDEEP";
const char readOnlyTarget[] = "R:\\QUILLMRK";
const char existingReadOnly[] = "R:\\EXISTING";
const char fullTarget[] = "Q:\\QUILLMRK";

std::string mediaDir()
{
    return installMediaDir();
}

std::string tinyMedium()
{
    return mediaDir() + "\\tiny";
}

testing::AssertionResult copyTinyMedium(const std::string &name, std::string *folder)
{
    *folder = mediaDir() + "\\" + name;
    removeTree(*folder);
    if (!CreateDirectoryA(folder->c_str(), NULL)) return testing::AssertionFailure() << "cannot make " << *folder;
    for (const std::string &file : listTree(tinyMedium()))
        if (!copyFileTo(tinyMedium() + "\\" + file, *folder + "\\" + file))
            return testing::AssertionFailure() << "cannot copy " << file << " to " << *folder;
    return testing::AssertionSuccess();
}

std::string winIniBytes()
{
    char dir[MAX_PATH] = "";
    GetWindowsDirectoryA(dir, sizeof dir);
    return fileBytes(std::string(dir) + "\\win.ini");
}

testing::AssertionResult patchFile(const std::string &path, long offset, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "r+b");
    if (!file) return testing::AssertionFailure() << "cannot open " << path;
    bool done = fseek(file, offset, SEEK_SET) == 0 && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (fclose(file) != 0 || !done) return testing::AssertionFailure() << "cannot patch " << path;
    return testing::AssertionSuccess();
}

testing::AssertionResult flipBit(const std::string &path, long offset)
{
    std::string bytes = fileBytes(path);
    if ((long)bytes.size() <= offset) return testing::AssertionFailure() << path << " is too short to flip " << offset;
    return patchFile(path, offset, std::string(1, (char)(bytes[offset] ^ 1)));
}

testing::AssertionResult cutFile(const std::string &path, long length)
{
    std::string bytes = fileBytes(path);
    if ((long)bytes.size() < length) return testing::AssertionFailure() << path << " is shorter than " << length;
    if (!writeTextFile(path, bytes.substr(0, length))) return testing::AssertionFailure() << "cannot cut " << path;
    return testing::AssertionSuccess();
}

void typeInto(HWND dialog, int id, const std::string &text)
{
    HWND edit = GetDlgItem(dialog, id);
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)"");
    for (unsigned char c : text) PostMessageA(edit, WM_CHAR, c, 1);
    // Done once the edit holds all it will take: the text up to its limit.
    // Waiting for the length to stand still was fooled by a busy program.
    // The length is asked of the edit itself: GetWindowTextLength does not
    // ask a window of another process, and kept saying 0.
    size_t limit = (size_t)SendMessageA(edit, EM_GETLIMITTEXT, 0, 0);
    LRESULT wanted = (LRESULT)(text.size() < limit ? text.size() : limit);
    LRESULT held = 0;
    for (int waited = 0; (held = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0)) < wanted && waited < windowTimeoutMs;
         waited += 20)
        Sleep(20);
    if (held < wanted) ADD_FAILURE() << "field " << id << " holds " << held << " of " << wanted << " characters typed";
}

static void addTree(const std::string &root, TreeBytes *out)
{
    for (const std::string &entry : listTree(root))
        out->push_back({entry, entry.back() == '\\' ? std::string() : fileBytes(root + "\\" + entry)});
}

TreeBytes treeBytes(const std::string &dir)
{
    TreeBytes out;
    addTree(dir, &out);
    return out;
}

static void removeTargets()
{
    for (const char *target : {deepTarget, fullTarget}) removeTree(target);
}

void Robust::SetUp()
{
    Installation::SetUp();
    removeTargets();
}

void Robust::TearDown()
{
    Installation::TearDown();
    removeTargets();
}

std::string productKeyValues()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmark", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "<none>";
    std::string values;
    char name[256];
    BYTE data[1024];
    for (DWORD i = 0;; i++) {
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, NULL, &type, data, &dataSize) != ERROR_SUCCESS) break;
        values += std::string(name) + " " + std::to_string(type) + " " + std::string((char *)data, dataSize) + "\n";
    }
    RegCloseKey(key);
    return values;
}

DWORD Robust::runToEnd(const std::string &program, const std::string &arguments)
{
    DWORD code = 1234;
    SetupProcess process{};
    EXPECT_TRUE(startSetup(program, program.substr(0, program.rfind('\\')), &process, arguments));
    EXPECT_TRUE(waitForExit(&process, &code));
    stopSetup(&process);
    return code;
}

void Robust::startIn(const std::string &folder, const std::string &arguments)
{
    ASSERT_TRUE(startSetup(folder + "\\SETUP.EXE", folder, &setup, arguments));
    main = waitForMainWindow();
    dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
}

bool Robust::waitForBox(HWND *box, SeenBox *seen, int timeoutMs)
{
    *box = waitForMessageBox(setup, timeoutMs);
    if (!*box) return false;
    seen->text = controlText(*box, 0xFFFF);
    seen->caption = windowText(*box);
    seen->owner = GetWindow(*box, GW_OWNER);
    return true;
}

void Robust::press(HWND box, int button)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
    EXPECT_TRUE(waitForWindowGone(box));
}

void Robust::expectCancelledEnd(DWORD code)
{
    EXPECT_TRUE(answerMessageBox(setup, {cancelledText, "Installation Cancelled", MB_OK | MB_ICONASTERISK, main}, IDOK));
    expectExitCode(code);
}

void Robust::expectCompletedEnd(DWORD code)
{
    answerCompletion(main, IDNO);
    expectExitCode(code);
}

}  // namespace robust
