// Start-up: the imaging library, the splash, the bitmaps, the two window
// classes and the main window, then the message loop.
#include "copy/progress_window.h"
#include "install/install_state.h"
#include "resources/resource.h"
#include "shell/imaging/imaging.h"
#include "shell/shell.h"

// Made without WS_VISIBLE and shown once the splash is gone, so the two never
// show together; once shown its style is WS_VISIBLE and these (0x10CE0000).
enum {
    mainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
    mainWindowWidth = 615,
    mainWindowHeight = 480,
};

static int registerClass(HINSTANCE instance, const char *name, WNDPROC procedure, int brush)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(brush);
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

static void deleteShellBitmaps()
{
    if (pointerBitmap) DeleteObject(pointerBitmap);
    if (setupBitmap) DeleteObject(setupBitmap);
    pointerBitmap = NULL;
    setupBitmap = NULL;
}

static int runMessageLoop()
{
    MSG message = {};
    // GetMessage answers -1 on an error; that ends the loop too rather than spin.
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}

int runSetup(HINSTANCE instance, int showCommand)
{
    bindImagingLibrary();
    // Modeless and unowned; no loop runs for it, it shows while start-up goes on.
    HWND splash = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SPLASH), NULL, splashDialogProc, 0);
    setupBitmap = LoadBitmapA(instance, "BMIMAGESETUP");
    pointerBitmap = LoadBitmapA(instance, "BMIMAGEFING");
    if (formatText(windowTitle, sizeof windowTitle, "%s Installation", productName) != 0)
        copyText(windowTitle, sizeof windowTitle, productName);

    if (!registerClass(instance, "setup", mainWindowProc, NULL_BRUSH)) return 0;
    if (!registerClass(instance, "CopyProgress", progressWindowProc, LTGRAY_BRUSH)) return 0;
    appInstance = instance;

    HWND window = CreateWindowExA(0, "setup", windowTitle, mainWindowStyle, 0, 0, mainWindowWidth,
                                  mainWindowHeight, NULL, NULL, instance, NULL);
    if (splash && IsWindow(splash)) DestroyWindow(splash);
    if (!window) {
        // No window would ever post the quit message: end here, as a failure.
        deleteShellBitmaps();
        releaseImagingLibrary();
        return 1;
    }
    ShowWindow(window, showCommand);
    mainWindow = window;
    UpdateWindow(window);  // the first paint: the whole installation runs inside it
    return runMessageLoop();
}
