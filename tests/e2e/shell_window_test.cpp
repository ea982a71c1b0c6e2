// The shell's window side in process, where a test can reach what the user
// cannot: a main window that fails to be made, the system menu, the idle
// state after the installation, the progress window's placing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "copy/copy_state.h"
#include "install/user_dialog.h"
#include "shell/shell.h"

namespace {

static HHOOK creationHook;

// Refuses the creation of any window of class "setup".
static LRESULT CALLBACK refuseMainWindow(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        CBT_CREATEWNDA *create = (CBT_CREATEWNDA *)lParam;
        if (!IS_INTRESOURCE(create->lpcs->lpszClass) && !strcmp(create->lpcs->lpszClass, "setup")) return 1;
    }
    return CallNextHookEx(creationHook, code, wParam, lParam);
}

static void unregisterShellClasses()
{
    UnregisterClassA("setup", GetModuleHandleA(NULL));
    UnregisterClassA("CopyProgress", GetModuleHandleA(NULL));
}

static int countThreadWindows()
{
    struct Counter {
        static BOOL CALLBACK add(HWND, LPARAM data)
        {
            (*(int *)data)++;
            return TRUE;
        }
    };
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), Counter::add, (LPARAM)&count);
    return count;
}

TEST(StartUpFailure, AMainWindowThatCannotBeMadeEndsStartUpWithOne)
{
    int windowsBefore = countThreadWindows();
    creationHook = SetWindowsHookExA(WH_CBT, refuseMainWindow, NULL, GetCurrentThreadId());
    ASSERT_TRUE(creationHook);
    int result = runSetup(GetModuleHandleA(NULL), SW_SHOWNORMAL);
    UnhookWindowsHookEx(creationHook);
    unregisterShellClasses();
    EXPECT_EQ(1, result);
    EXPECT_EQ(windowsBefore, countThreadWindows()) << "the splash was left behind";
    EXPECT_EQ(NULL, pointerBitmap);
    EXPECT_EQ(NULL, setupBitmap);
}

// A main window as start-up makes it, without the first paint's dialog.
class MainWindow : public testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = mainWindowProc;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.hbrBackground = (HBRUSH)GetStockObject(NULL_BRUSH);
        windowClass.lpszClassName = "setup";
        ASSERT_TRUE(RegisterClassA(&windowClass));
        firstPaintPending = 0;
        installationOver = 0;
        window = CreateWindowExA(0, "setup", "test", 0x10CE0000, 0, 0, 615, 480, NULL, NULL,
                                 GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(window);
        mainWindow = window;
    }
    void TearDown() override
    {
        if (IsWindow(window)) DestroyWindow(window);
        drainQuit();
        UnregisterClassA("setup", GetModuleHandleA(NULL));
        mainWindow = NULL;
        installationOver = 0;
        copyState.progressWindow = NULL;
    }
    // The exit code of a quit message waiting in the queue, or -1.
    static int drainQuit()
    {
        MSG message;
        int code = -1;
        // Paints are dispatched: an unpainted window would queue WM_PAINT forever.
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                code = (int)message.wParam;
            else
                DispatchMessageA(&message);
        }
        return code;
    }
    HWND window = NULL;
};

TEST_F(MainWindow, SystemMenuHasNoMinimiseAndNoSize)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_TRUE(menu);
    static const struct {
        UINT command;
        bool present;
    } items[] = {{SC_MINIMIZE, false}, {SC_SIZE, false}, {SC_MOVE, true}, {SC_CLOSE, true}};
    for (const auto &item : items)
        EXPECT_EQ(item.present, GetMenuState(menu, item.command, MF_BYCOMMAND) != (UINT)-1)
            << "command 0x" << std::hex << item.command;
}

TEST_F(MainWindow, SystemCommandsAreSwallowedUntilTheInstallationIsOverThenCloseWorks)
{
    static const UINT commands[] = {SC_CLOSE, SC_MINIMIZE, SC_MAXIMIZE, SC_MOVE, SC_SIZE, SC_KEYMENU};
    RECT before;
    GetWindowRect(window, &before);
    for (UINT command : commands) {
        EXPECT_EQ(0, SendMessageA(window, WM_SYSCOMMAND, command, 0));
        ASSERT_TRUE(IsWindow(window)) << "command 0x" << std::hex << command;
        EXPECT_FALSE(IsIconic(window));
    }
    EXPECT_EQ(-1, drainQuit());

    // Idle after the configuration program failed: only close goes through.
    installationOver = 1;
    for (UINT command : {SC_MINIMIZE, SC_MAXIMIZE, SC_MOVE, SC_SIZE}) {
        SendMessageA(window, WM_SYSCOMMAND, command, 0);
        ASSERT_TRUE(IsWindow(window));
        EXPECT_FALSE(IsIconic(window));
    }
    RECT after;
    GetWindowRect(window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0, drainQuit());
}

TEST_F(MainWindow, SizeRecordsTheClientAndPlacesTheProgressWindow)
{
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(607, 453));
    EXPECT_EQ(607, clientWidth);
    EXPECT_EQ(453, clientHeight);

    HWND progress = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 1, 1, 10, 10, window, NULL,
                                    GetModuleHandleA(NULL), NULL);
    ASSERT_TRUE(progress);
    copyState.progressWindow = progress;
    // A 65535-wide client is read as unsigned words, not as -1.
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(65535, 453));
    EXPECT_EQ(65535, clientWidth);
    RECT placed;
    GetWindowRect(progress, &placed);
    MapWindowPoints(NULL, window, (POINT *)&placed, 2);
    // The window spans (0, 0) to (615, 480) on the screen.
    EXPECT_EQ(207, placed.left);
    EXPECT_EQ(200, placed.top);
    EXPECT_EQ(200, placed.right - placed.left);
    EXPECT_EQ(150, placed.bottom - placed.top);
}

TEST_F(MainWindow, DestroyReleasesTheProgressWindowAndBitmapsAndQuitsWithZero)
{
    HWND progress = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, window, NULL, GetModuleHandleA(NULL),
                                    NULL);
    copyState.progressWindow = progress;
    pointerBitmap = CreateBitmap(36, 19, 1, 1, NULL);
    setupBitmap = CreateBitmap(32, 32, 1, 1, NULL);
    SendMessageA(window, WM_DESTROY, 0, 0);
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_EQ(NULL, copyState.progressWindow);
    EXPECT_EQ(NULL, pointerBitmap);
    EXPECT_EQ(NULL, setupBitmap);
    EXPECT_EQ(0, drainQuit());
}

TEST(SplashPlacing, CentredAcrossOneThirdDownCaptionedWithTheShortName)
{
    // On any screen and for any size: as much room left as right, half as
    // much above as below (each within the pixel that halving and thirds
    // round off), the size kept.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const SIZE sizes[] = {{300, 90}, {screenWidth / 2 + 1, screenHeight / 4 + 1}};
    for (const SIZE &size : sizes) {
        SCOPED_TRACE(std::to_string(size.cx) + " x " + std::to_string(size.cy));
        HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 5, 5, size.cx, size.cy, NULL, NULL,
                                      GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(window);
        centreAndTitleWindow(window);
        RECT placed;
        GetWindowRect(window, &placed);
        int left = placed.left, right = screenWidth - placed.right;
        int above = placed.top, below = screenHeight - placed.bottom;
        EXPECT_LE(std::abs(left - right), 1) << left << " left, " << right << " right of " << screenWidth;
        EXPECT_LE(std::abs(2 * above - below), 2) << above << " above, " << below << " below of " << screenHeight;
        EXPECT_GT(above, 0);
        EXPECT_EQ(size.cx, placed.right - placed.left);
        EXPECT_EQ(size.cy, placed.bottom - placed.top);
        char caption[64] = "";
        GetWindowTextA(window, caption, sizeof caption);
        EXPECT_STREQ("Quillmark Installation", caption);
        DestroyWindow(window);
    }
}

// The program's pictures and icon, as built into it (here: this test).
TEST(Resources, BitmapsAndIconInUSEnglish)
{
    HMODULE module = GetModuleHandleA(NULL);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    static const struct {
        const char *name;
        int width, height;
    } bitmaps[] = {{"BMIMAGESETUP", 32, 32}, {"BMIMAGEFING", 36, 19}};
    for (const auto &expected : bitmaps) {
        SCOPED_TRACE(expected.name);
        EXPECT_TRUE(FindResourceExA(module, (LPCSTR)RT_BITMAP, expected.name, english));
        HBITMAP bitmap = (HBITMAP)LoadImageA(module, expected.name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        ASSERT_TRUE(bitmap);
        DIBSECTION dib = {};
        ASSERT_EQ((int)sizeof dib, GetObjectA(bitmap, sizeof dib, &dib));
        EXPECT_EQ(expected.width, dib.dsBm.bmWidth);
        EXPECT_EQ(expected.height, dib.dsBm.bmHeight);
        EXPECT_EQ(4, dib.dsBm.bmBitsPixel);
        // Drawn on light grey: the top left corner is ground.
        HDC dc = CreateCompatibleDC(NULL);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        EXPECT_EQ(RGB(192, 192, 192), GetPixel(dc, 0, 0));
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }

    HRSRC group = FindResourceExA(module, (LPCSTR)RT_GROUP_ICON, MAKEINTRESOURCEA(117), english);
    ASSERT_TRUE(group);
    const BYTE *directory = (const BYTE *)LockResource(LoadResource(module, group));
    ASSERT_TRUE(directory);
    EXPECT_EQ(1, directory[4] | directory[5] << 8) << "icons in the group";
    EXPECT_EQ(32, directory[6]);   // width
    EXPECT_EQ(32, directory[7]);   // height
    EXPECT_EQ(16, directory[8]);   // colours
    EXPECT_EQ(4, directory[12]);   // bits per pixel
}

// The version resource of a built SETUP.EXE as Windows reads it; the test
// release's version.txt says 2.5.17.
TEST(Resources, SetupCarriesTheVersionOfItsRelease)
{
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeA(QM_SETUP3_EXE, &unused);
    ASSERT_GT(size, 0u) << QM_SETUP3_EXE << " has no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(QM_SETUP3_EXE, 0, size, info.data()));
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void **)&fixed, &length));
    EXPECT_EQ(0x00020005u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00110000u, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    static const struct {
        const char *name, *value;
    } strings[] = {{"FileVersion", "2.5.17"}, {"ProductVersion", "2.5.17"},
                   {"ProductName", "Quillmark Professional"}};
    for (const auto &item : strings) {
        char path[64];
        snprintf(path, sizeof path, "\\StringFileInfo\\040904E4\\%s", item.name);
        char *text = NULL;
        ASSERT_TRUE(VerQueryValueA(info.data(), path, (void **)&text, &length)) << item.name;
        EXPECT_STREQ(item.value, text) << item.name;
    }
}

TEST(ConfigCommand, APathWithABlankIsQuotedSoNoOtherProgramStarts)
{
    static const struct {
        const char *path;
        int size;
        int result;
        const char *command;
    } cases[] = {
        {"C:\\QUILLMRK\\qmsetup.exe", 256, 0, "C:\\QUILLMRK\\qmsetup.exe"},
        {"C:\\Program Files\\Quillmark\\qmsetup.exe", 256, 0, "\"C:\\Program Files\\Quillmark\\qmsetup.exe\""},
        {"D:\\My Apps\\Q M\\qmsetup.exe", 256, 0, "\"D:\\My Apps\\Q M\\qmsetup.exe\""},
        // Quoting must not cut the path: a command that does not fit is empty.
        {"C:\\A B\\qmsetup.exe", 19, -1, ""},
        {"C:\\A B\\qmsetup.exe", 21, 0, "\"C:\\A B\\qmsetup.exe\""},
    };
    for (const auto &item : cases) {
        char command[300];
        memset(command, 'x', sizeof command);
        EXPECT_EQ(item.result, buildConfigCommand(item.path, command, item.size)) << item.path;
        EXPECT_STREQ(item.command, command) << item.path;
    }
}

}  // namespace
