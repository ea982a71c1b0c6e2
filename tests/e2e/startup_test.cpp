// Start-up as the user sees it: the splash, then the fixed main window that
// no system command moves, sizes, minimises or closes.
#include "tests/e2e/scenario.h"

namespace e2e {
namespace {

class StartUp : public Scenario {};

// The splash: a dialog of the process with its static text and no buttons.
static bool isSplash(HWND window)
{
    return windowClass(window) == "#32770" && GetDlgItem(window, 0xFFFF) && !GetDlgItem(window, IDOK) &&
           !GetDlgItem(window, 203);
}

static BOOL CALLBACK findSplash(HWND window, LPARAM data)
{
    std::pair<DWORD, HWND> *search = (std::pair<DWORD, HWND> *)data;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->first && isSplash(window)) {
        search->second = window;
        return FALSE;
    }
    return TRUE;
}

TEST_F(StartUp, SplashIsCentredOneThirdDownAndGoneBeforeTheMainWindowShows)
{
    startFromMedium();
    // The splash lives only while start-up runs: watch with the shortest pause.
    std::string caption, text;
    RECT splashRect = {}, splashClient = {}, staticRect = {};
    LONG splashStyle = 0, splashExStyle = 0, staticStyle = 0;
    bool splashSeen = false, bothShown = false;
    HWND mainWindow = NULL;
    for (DWORD start = GetTickCount(); GetTickCount() - start < (DWORD)windowTimeoutMs;) {
        std::pair<DWORD, HWND> search(setup.processId, (HWND)NULL);
        EnumWindows(findSplash, (LPARAM)&search);
        HWND main = findWindow(setup, "setup", NULL);
        bool mainShown = main && IsWindowVisible(main);
        if (search.second && IsWindowVisible(search.second)) {
            // Read without a message: start-up does not answer any while the
            // splash shows. Kept from a reading while the splash was whole.
            std::string seenText = windowText(GetDlgItem(search.second, 0xFFFF));
            if (!splashSeen || text.empty()) {
                caption = windowText(search.second);
                text = seenText;
                splashRect = windowRect(search.second);
                splashClient = clientRectOnScreen(search.second);
                splashStyle = GetWindowLongA(search.second, GWL_STYLE);
                splashExStyle = GetWindowLongA(search.second, GWL_EXSTYLE);
                HWND label = GetDlgItem(search.second, 0xFFFF);
                staticRect = windowRect(label);
                staticStyle = GetWindowLongA(label, GWL_STYLE);
            }
            splashSeen = true;
            if (mainShown) bothShown = true;
        }
        if (mainShown) {
            mainWindow = main;
            break;
        }
        Sleep(1);
    }
    ASSERT_TRUE(splashSeen) << "no splash was seen before the main window showed";
    EXPECT_EQ("Quillmark Installation", caption);
    EXPECT_EQ("Initializing Installation\nPlease wait...", text);
    int width = splashRect.right - splashRect.left, height = splashRect.bottom - splashRect.top;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Centred across: equal margins left and right, give or take the odd pixel.
    EXPECT_LE(abs(splashRect.left - (screenWidth - splashRect.right)), 1)
        << "splash at x " << splashRect.left << ", width " << width << ", screen " << screenWidth;
    // One third down: the space above is half the space below.
    EXPECT_LE(abs(2 * splashRect.top - (screenHeight - splashRect.bottom)), 2)
        << "splash at y " << splashRect.top << ", height " << height << ", screen " << screenHeight;
    // A captionless popup with a modal frame; its text centred at
    // (8, 8), 180 x 20 of its 192 x 33 dialog units.
    EXPECT_TRUE(splashStyle & WS_POPUP) << std::hex << splashStyle;
    EXPECT_NE(WS_CAPTION, splashStyle & WS_CAPTION) << std::hex << splashStyle;
    EXPECT_TRUE(splashExStyle & WS_EX_DLGMODALFRAME) << std::hex << splashExStyle;
    EXPECT_EQ(SS_CENTER, staticStyle & SS_TYPEMASK);
    EXPECT_TRUE(staticStyle & SS_NOPREFIX);
    double unitX = (splashClient.right - splashClient.left) / 192.0;
    double unitY = (splashClient.bottom - splashClient.top) / 33.0;
    EXPECT_NEAR(8 * unitX, staticRect.left - splashClient.left, 2.0);
    EXPECT_NEAR(8 * unitY, staticRect.top - splashClient.top, 2.0);
    EXPECT_NEAR(180 * unitX, staticRect.right - staticRect.left, 2.0);
    EXPECT_NEAR(20 * unitY, staticRect.bottom - staticRect.top, 2.0);
    EXPECT_FALSE(bothShown) << "the splash was still shown when the main window appeared";
    ASSERT_TRUE(mainWindow);
    std::pair<DWORD, HWND> after(setup.processId, (HWND)NULL);
    EnumWindows(findSplash, (LPARAM)&after);
    EXPECT_EQ(NULL, after.second) << "the splash still exists once the main window is shown";
}

TEST_F(StartUp, MainWindowIsFixedAtTheTopLeftAndIgnoresSystemCommands)
{
    startFromMedium();
    HWND main = waitForMainWindow();
    ASSERT_TRUE(main);
    HWND dialog = waitForDialog();
    ASSERT_TRUE(dialog);

    RECT rect = windowRect(main);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(615, rect.right - rect.left);
    EXPECT_EQ(480, rect.bottom - rect.top);
    LONG style = GetWindowLongA(main, GWL_STYLE);
    // The platform adds sibling clipping; the open dialog disables the window.
    EXPECT_EQ(0x10CE0000, style & ~(WS_CLIPSIBLINGS | WS_DISABLED)) << std::hex << style;
    EXPECT_EQ(0, GetWindowLongA(main, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE);
    EXPECT_EQ(NULL, GetWindow(main, GW_OWNER));
    EXPECT_EQ(main, GetWindow(dialog, GW_OWNER));

    static const struct {
        const char *what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } attempts[] = {
        {"close button", WM_SYSCOMMAND, SC_CLOSE, 0},
        {"minimise button", WM_SYSCOMMAND, SC_MINIMIZE, 0},
        {"maximise", WM_SYSCOMMAND, SC_MAXIMIZE, 0},
        {"Move menu item", WM_SYSCOMMAND, SC_MOVE, 0},
        {"Size menu item", WM_SYSCOMMAND, SC_SIZE, 0},
        {"caption drag", WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(100, 10)},
        {"border drag", WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, MAKELPARAM(613, 478)},
        {"Alt+F4", WM_SYSKEYDOWN, VK_F4, 0x20000001 | (0x3E << 16)},
    };
    for (const auto &attempt : attempts) {
        PostMessageA(main, attempt.message, attempt.wParam, attempt.lParam);
        // A message sent now could be taken before the posted one; the
        // repaint comes after it.
        EXPECT_TRUE(waitForRepaint(main)) << attempt.what;
        EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main)) << attempt.what << " closed the main window";
        RECT now = windowRect(main);
        EXPECT_TRUE(EqualRect(&now, &rect) && !IsIconic(main))
            << attempt.what << " moved or sized the window to " << now.left << "," << now.top << " " << now.right
            << "x" << now.bottom;
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(setup.process, 0)) << attempt.what << " ended the program";
    }
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the user dialog went away";
}

}  // namespace
}  // namespace e2e
