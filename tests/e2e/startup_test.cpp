// Start-up as the user sees it: the splash, then the fixed main window that
// no system command moves, sizes, minimises or closes.
#include "tests/e2e/scenario.h"
#include "tests/e2e/hold_imaging.h"

namespace e2e {
namespace {

class StartUp : public Scenario {};

// The splash: a dialog of the process with its static text and no buttons.
static bool isSplash(HWND window)
{
    return windowClass(window) == "#32770" && GetDlgItem(window, 0xFFFF) && !GetDlgItem(window, IDOK) &&
           !GetDlgItem(window, 203);
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


// Start-up held by the test imaging library while only the splash shows, as
// a slow machine holds it: what is on the screen then is what the user sees.
class SplashHeld : public StartUp {
protected:
    void SetUp() override
    {
        StartUp::SetUp();
        removeTree(heldFolder);
        holding = CreateEventA(NULL, TRUE, FALSE, holdingEventName);
        release = CreateEventA(NULL, TRUE, FALSE, releaseEventName);
        ASSERT_TRUE(holding && release);
    }
    void TearDown() override
    {
        if (release) SetEvent(release);
        StartUp::TearDown();
        removeTree(heldFolder);
        if (holding) CloseHandle(holding);
        if (release) CloseHandle(release);
    }
    // Starts SETUP.EXE with the holding imaging library; the splash then
    // stays until release is set.
    void startHeld(const std::string &arguments = "")
    {
        ASSERT_TRUE(CreateDirectoryA(heldFolder, NULL));
        std::string exe = std::string(heldFolder) + "\\SETUP.EXE";
        ASSERT_TRUE(copyFileTo(mediumFile("SETUP.EXE"), exe));
        ASSERT_TRUE(copyFileTo(QM_HOLD_IMAGING, std::string(heldFolder) + "\\SNBD7W95.DLL"));
        ASSERT_TRUE(startSetup(exe, heldFolder, &setup, arguments));
        if (!arguments.empty()) return;
        HANDLE waits[2] = {holding, setup.process};
        ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, windowTimeoutMs))
            << "the start-up never reached the making of the main window";
    }
    const char *heldFolder = "C:\\QMHELD";
    HANDLE holding = NULL;
    HANDLE release = NULL;
};

// With a switch, a fault in the program's process (here in the imaging
// library) ends the run with its own code and a log line, never a crash box.
TEST_F(SplashHeld, AFaultWithASwitchEndsWithItsCodeAndNoBox)
{
    HANDLE fault = CreateEventA(NULL, TRUE, FALSE, faultEventName);
    ASSERT_TRUE(fault);
    const std::string log = std::string(heldFolder) + "\\SETUP.LOG";
    ASSERT_NO_FATAL_FAILURE(startHeld("/LOG=" + log));
    DWORD code = 1234;
    EXPECT_TRUE(waitForExit(&setup, &code));
    CloseHandle(fault);
    EXPECT_EQ(13u, code);
    EXPECT_NE(std::string::npos, readFile(log).find(" Stopped, exit code 13: the setup program failed (exception C0000005"))
        << readFile(log);
}

// What one look at the splash's area found.
struct SplashLook {
    int groundShare = 0;   // per cent of the client area in the dialog colour
    int upperText = 0;     // dark pixels in the upper and the lower half of the text
    int lowerText = 0;
    bool painted() const { return groundShare >= 60 && upperText >= 15 && lowerText >= 15; }
};

static bool isDark(uint32_t pixel)
{
    return ((pixel >> 16) & 0xFF) < 0x60 && ((pixel >> 8) & 0xFF) < 0x60 && (pixel & 0xFF) < 0x60;
}

static SplashLook lookAtSplash(const Image &image, const RECT &client, const RECT &text)
{
    SplashLook look;
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    uint32_t ground = rgb(GetRValue(face), GetGValue(face), GetBValue(face));
    int groundPixels = 0;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            uint32_t pixel = image.at(x, y);
            groundPixels += pixel == ground;
            int screenX = client.left + x, screenY = client.top + y;
            if (!isDark(pixel) || screenX < text.left || screenX >= text.right || screenY < text.top ||
                screenY >= text.bottom)
                continue;
            if (screenY < (text.top + text.bottom) / 2) look.upperText++;
            else look.lowerText++;
        }
    int area = image.width * image.height;
    look.groundShare = area > 0 ? groundPixels * 100 / area : 0;
    return look;
}

TEST_F(SplashHeld, ShowsItsGroundAndBothLinesWhileTheStartUpIsBusy)
{
    ASSERT_NO_FATAL_FAILURE(startHeld());
    HWND splash = findWindowWhere(setup, isSplash);
    ASSERT_TRUE(splash && IsWindowVisible(splash)) << "no splash shows while the start-up is held";
    RECT client = clientRectOnScreen(splash);
    RECT text = windowRect(GetDlgItem(splash, 0xFFFF));

    // Held, the program draws nothing more: every look for a second finds
    // what it drew while the splash was made visible.
    Image image;
    SplashLook firstBad;
    int looks = 0, unpainted = 0, firstUnpainted = -1;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 1000; looks++) {
        ASSERT_TRUE(captureScreen(client, &image));
        SplashLook look = lookAtSplash(image, client, text);
        if (!look.painted() && !unpainted++) {
            firstUnpainted = looks;
            firstBad = look;
            saveScreenshot(image, "splash-held");
        }
        Sleep(10);
    }
    EXPECT_EQ(0, unpainted) << unpainted << " of " << looks << " looks found the splash unpainted; the first, look "
                            << firstUnpainted << ", found " << firstBad.groundShare << "% ground, "
                            << firstBad.upperText << " and " << firstBad.lowerText << " text pixels";

    SetEvent(release);
    EXPECT_TRUE(waitForDialog()) << "the start-up did not go on once released";
    EXPECT_FALSE(IsWindow(splash)) << "the splash outlived the start-up";
}

// Held, the splash can be read whole however fast the start-up is.
TEST_F(SplashHeld, SplashIsCentredOneThirdDownAndGoneBeforeTheMainWindowShows)
{
    ASSERT_NO_FATAL_FAILURE(startHeld());
    HWND splash = findWindowWhere(setup, isSplash);
    ASSERT_TRUE(splash && IsWindowVisible(splash)) << "no splash shows while the start-up is held";
    // Read without a message: start-up does not answer any while the splash shows.
    EXPECT_EQ("Quillmark Installation", windowText(splash));
    EXPECT_EQ("Initializing Installation\nPlease wait...", windowText(GetDlgItem(splash, 0xFFFF)));
    RECT splashRect = windowRect(splash), splashClient = clientRectOnScreen(splash);
    LONG splashStyle = GetWindowLongA(splash, GWL_STYLE), splashExStyle = GetWindowLongA(splash, GWL_EXSTYLE);
    HWND label = GetDlgItem(splash, 0xFFFF);
    RECT staticRect = windowRect(label);
    LONG staticStyle = GetWindowLongA(label, GWL_STYLE);
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

    SetEvent(release);
    // Watched with the shortest pause: the two must never show together.
    bool bothShown = false;
    HWND mainWindow = NULL;
    for (DWORD start = GetTickCount(); !mainWindow && GetTickCount() - start < (DWORD)windowTimeoutMs; Sleep(1)) {
        HWND main = findWindow(setup, "setup", NULL);
        if (main && IsWindowVisible(main)) {
            mainWindow = main;
            bothShown = IsWindow(splash) && IsWindowVisible(splash);
        }
    }
    ASSERT_TRUE(mainWindow) << "the start-up did not go on once released";
    EXPECT_FALSE(bothShown) << "the splash was still shown when the main window appeared";
    EXPECT_EQ(NULL, findWindowWhere(setup, isSplash)) << "the splash still exists once the main window is shown";
}

}  // namespace
}  // namespace e2e
