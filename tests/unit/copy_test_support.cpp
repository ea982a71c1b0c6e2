#include "copy_test_support.h"

#include <algorithm>
#include <cstdio>

#include "copy/copy_state.h"
#include "copy/progress_window.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "shell/billboard_state.h"
#include "shell/shell.h"
#include "tests/wine/backend_support.h"

std::vector<RecordedBox> shownBoxes;
std::function<int(const RecordedBox &)> boxAnswer;

static int recordBox(HWND owner, const char *text, const char *caption, UINT style)
{
    RecordedBox box = {owner, text, caption, style};
    shownBoxes.push_back(box);
    return boxAnswer ? boxAnswer(box) : IDOK;
}

static LRESULT CALLBACK plainMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

void setUpCopyWindows()
{
    if (!mainWindow) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA mainClass = {};
        mainClass.lpfnWndProc = plainMainProc;
        mainClass.hInstance = instance;
        mainClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        mainClass.lpszClassName = "copyTestMain";
        RegisterClassA(&mainClass);
        WNDCLASSA progressClass = {};
        progressClass.style = CS_HREDRAW | CS_VREDRAW;
        progressClass.lpfnWndProc = progressWindowProc;
        progressClass.hInstance = instance;
        progressClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
        progressClass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
        progressClass.lpszClassName = "CopyProgress";
        RegisterClassA(&progressClass);
        appInstance = instance;
        mainWindow = CreateWindowExA(0, "copyTestMain", "copy test", WS_OVERLAPPED | WS_CAPTION, 0, 0, 615,
                                     480, nullptr, nullptr, instance, nullptr);
        ShowWindow(mainWindow, SW_SHOW);
        UpdateWindow(mainWindow);
    }
    if (copyState.progressWindow) DestroyWindow(copyState.progressWindow);
    resetCopyState();
    resetBillboardState();
    resetInstallState();
    shownBoxes.clear();
    boxAnswer = nullptr;
    setMessageBoxHook(recordBox);
}

std::string captionsOf(const std::vector<RecordedBox> &boxes)
{
    std::string out;
    for (const RecordedBox &box : boxes) out += (out.empty() ? "" : ", ") + box.caption;
    return out;
}

static void listInto(const std::string &root, const std::string &relative, std::vector<std::string> *out)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((root + "\\" + relative + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out->push_back(relative + name + "\\");
            listInto(root, relative + name + "\\", out);
        } else {
            out->push_back(relative + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::vector<std::string> listTree(const std::string &root)
{
    std::vector<std::string> out;
    listInto(root, "", &out);
    std::sort(out.begin(), out.end());
    return out;
}

std::string uniqueDir(const std::string &parent, const char *stem)
{
    char name[64];
    snprintf(name, sizeof name, "%s%lu", stem, GetCurrentProcessId() % 100000);
    std::string path = parent + "\\" + name;
    removeTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}
