#include "copy_test_support.h"

#include <cstdio>

#include "copy/copy_state.h"
#include "copy/progress_window.h"
#include "install/install_state.h"
#include "shell/billboard_state.h"
#include "shell/shell.h"

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
    recordBoxes();
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
