#include "copy_test_support.h"

#include <algorithm>
#include <cstdio>

#include "copy/copy_state.h"
#include "copy/progress_window.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "shell/billboard_state.h"
#include "shell/shell.h"

std::vector<RecordedBox> recordedBoxes;
std::function<int(const RecordedBox &)> boxAnswer;

static int recordBox(HWND owner, const char *text, const char *caption, UINT style)
{
    RecordedBox box = {owner, text, caption, style};
    recordedBoxes.push_back(box);
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
    recordedBoxes.clear();
    boxAnswer = nullptr;
    setMessageBoxHook(recordBox);
}

std::string captionsOf(const std::vector<RecordedBox> &boxes)
{
    std::string out;
    for (const RecordedBox &box : boxes) out += (out.empty() ? "" : ", ") + box.caption;
    return out;
}

void writeFile(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

std::string readFile(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return "<missing>";
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    fclose(file);
    return bytes;
}

bool isDirectory(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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

void removeTree(const std::string &path)
{
    if (!isDirectory(path)) {
        DeleteFileA(path.c_str());
        return;
    }
    for (const std::string &entry : listTree(path)) {
        if (entry.back() != '\\') DeleteFileA((path + "\\" + entry).c_str());
    }
    std::vector<std::string> entries = listTree(path);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->back() == '\\') RemoveDirectoryA((path + "\\" + *it).c_str());
    RemoveDirectoryA(path.c_str());
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
