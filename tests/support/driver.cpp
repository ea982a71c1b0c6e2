#include "tests/support/driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>


#ifndef QM_E2E_MEDIUM
#error "QM_E2E_MEDIUM names the medium folder the tests start SETUP.EXE from"
#endif

namespace e2e {

enum { pollMs = 20, textLimit = 1024 };

static const char winIniSection[] = "Quillmark";

std::string mediumDir()
{
    return QM_E2E_MEDIUM;
}

std::string mediumFile(const char *name)
{
    return mediumDir() + "\\" + name;
}

// ---- the program under test ----------------------------------------------

testing::AssertionResult startSetup(const std::string &exe, const std::string &currentDir, SetupProcess *setup,
                                    const std::string &arguments)
{
    *setup = SetupProcess{};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    if (!CreateProcessA(exe.c_str(), command.data(), NULL, NULL, FALSE, 0, NULL, currentDir.c_str(), &startup,
                        &info))
        return testing::AssertionFailure() << "cannot start " << exe << " in " << currentDir << ": error "
                                           << GetLastError();
    CloseHandle(info.hThread);
    setup->process = info.hProcess;
    setup->processId = info.dwProcessId;
    setup->threadId = info.dwThreadId;
    return testing::AssertionSuccess();
}

testing::AssertionResult waitForExit(SetupProcess *setup, DWORD *exitCode, int timeoutMs)
{
    if (!setup->process) return testing::AssertionFailure() << "no program was started";
    if (WaitForSingleObject(setup->process, timeoutMs) != WAIT_OBJECT_0)
        return testing::AssertionFailure() << "SETUP.EXE still runs after " << timeoutMs << " ms";
    GetExitCodeProcess(setup->process, exitCode);
    return testing::AssertionSuccess();
}

testing::AssertionResult restartSession()
{
    char command[] = "wineboot.exe";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started))
        return testing::AssertionFailure() << "wineboot.exe did not start, error " << GetLastError();
    CloseHandle(started.hThread);
    DWORD waited = WaitForSingleObject(started.hProcess, exitTimeoutMs);
    CloseHandle(started.hProcess);
    if (waited != WAIT_OBJECT_0) return testing::AssertionFailure() << "wineboot.exe did not end";
    return testing::AssertionSuccess();
}

void stopSetup(SetupProcess *setup)
{
    if (!setup->process) return;
    if (WaitForSingleObject(setup->process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(setup->process, 99);
        WaitForSingleObject(setup->process, 5000);
    }
    CloseHandle(setup->process);
    *setup = SetupProcess{};
}

// ---- windows ---------------------------------------------------------------

std::string windowText(HWND window)
{
    char text[textLimit] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string windowClass(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string controlText(HWND dialog, int id)
{
    char text[textLimit] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

RECT windowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

RECT clientRectOnScreen(HWND window)
{
    RECT rect = {};
    GetClientRect(window, &rect);
    MapWindowPoints(window, NULL, (POINT *)&rect, 2);
    return rect;
}

struct WindowSearch {
    DWORD processId;
    const char *className;
    const char *title;
    bool (*accept)(HWND);
    HWND found;
};

static BOOL CALLBACK matchWindow(HWND window, LPARAM data)
{
    WindowSearch *search = (WindowSearch *)data;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    if (search->className && windowClass(window) != search->className) return TRUE;
    if (search->title && windowText(window) != search->title) return TRUE;
    if (search->accept && !search->accept(window)) return TRUE;
    search->found = window;
    return FALSE;
}

static HWND findProcessWindow(const SetupProcess &setup, const char *className, const char *title,
                              bool (*accept)(HWND))
{
    WindowSearch search = {setup.processId, className, title, accept, NULL};
    EnumWindows(matchWindow, (LPARAM)&search);
    return search.found;
}

HWND findWindow(const SetupProcess &setup, const char *className, const char *title)
{
    return findProcessWindow(setup, className, title, NULL);
}

HWND findWindowWhere(const SetupProcess &setup, bool (*accept)(HWND))
{
    return findProcessWindow(setup, NULL, NULL, accept);
}

int countWindows(const SetupProcess &setup, const char *title)
{
    struct Count {
        DWORD processId;
        const char *title;
        int count;
        static BOOL CALLBACK add(HWND window, LPARAM data)
        {
            Count *count = (Count *)data;
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == count->processId && windowText(window) == count->title) count->count++;
            return TRUE;
        }
    } count = {setup.processId, title, 0};
    EnumWindows(Count::add, (LPARAM)&count);
    return count.count;
}

HWND findChildWindow(HWND parent, const char *className)
{
    return FindWindowExA(parent, NULL, className, NULL);
}

static std::string describeWindows(const SetupProcess &setup)
{
    struct Lister {
        static BOOL CALLBACK add(HWND window, LPARAM data)
        {
            auto *list = (std::pair<DWORD, std::string> *)data;
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == list->first && windowClass(window) != "IME")
                list->second += " [" + windowClass(window) + " \"" + windowText(window) + "\"" +
                                (IsWindowVisible(window) ? " visible]" : " hidden]");
            return TRUE;
        }
    };
    std::pair<DWORD, std::string> list(setup.processId, "");
    EnumWindows(Lister::add, (LPARAM)&list);
    return list.second.empty() ? " none" : list.second;
}

static bool exited(const SetupProcess &setup)
{
    return setup.process && WaitForSingleObject(setup.process, 0) == WAIT_OBJECT_0;
}

testing::AssertionResult waitForWindow(const SetupProcess &setup, const char *className, const char *title,
                                       HWND *found, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += pollMs) {
        *found = findWindow(setup, className, title);
        if (*found) return testing::AssertionSuccess();
        if (exited(setup)) break;
        Sleep(pollMs);
    }
    return testing::AssertionFailure() << "expected a window of class \"" << className << "\" titled \""
                                       << (title ? title : "(any)") << "\"" << (exited(setup) ? "; the program ended" : "")
                                       << "; seen:" << describeWindows(setup);
}

testing::AssertionResult waitForWindowGone(HWND window, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += pollMs) {
        if (!IsWindow(window) || !IsWindowVisible(window)) return testing::AssertionSuccess();
        Sleep(pollMs);
    }
    return testing::AssertionFailure() << "window \"" << windowText(window) << "\" still shown after " << timeoutMs
                                       << " ms";
}

testing::AssertionResult waitForUserDialog(const SetupProcess &setup, HWND *dialog)
{
    testing::AssertionResult result = waitForWindow(setup, "#32770", "Provide Us with Some Information", dialog);
    if (!result) return result;
    // The template's last control is made last: once it exists the dialog is whole.
    for (int waited = 0; waited <= windowTimeoutMs; waited += pollMs) {
        if (IsWindowVisible(*dialog) && GetDlgItem(*dialog, dirField)) return testing::AssertionSuccess();
        Sleep(pollMs);
    }
    return testing::AssertionFailure() << "the user dialog never became visible";
}

HWND focusedWindow(const SetupProcess &setup)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(setup.threadId, &info)) return NULL;
    return info.hwndFocus;
}

testing::AssertionResult waitForFocus(const SetupProcess &setup, HWND dialog, int id, int timeoutMs)
{
    HWND wanted = GetDlgItem(dialog, id);
    HWND seen = NULL;
    for (int waited = 0; waited <= timeoutMs; waited += pollMs) {
        seen = focusedWindow(setup);
        if (seen == wanted) return testing::AssertionSuccess();
        Sleep(pollMs);
    }
    return testing::AssertionFailure() << "expected the focus on control " << id << "; it is on control "
                                       << (seen ? GetDlgCtrlID(seen) : 0) << " (" << windowClass(seen) << " \""
                                       << windowText(seen) << "\")";
}

testing::AssertionResult waitForRepaint(HWND window, int timeoutMs)
{
    if (!InvalidateRect(window, NULL, TRUE))
        return testing::AssertionFailure() << "cannot invalidate window \"" << windowText(window) << "\"";
    for (int waited = 0; waited <= timeoutMs; waited += pollMs) {
        if (!IsWindow(window)) return testing::AssertionFailure() << "the window went away before it painted";
        if (!GetUpdateRect(window, NULL, FALSE)) return testing::AssertionSuccess();
        Sleep(pollMs);
    }
    return testing::AssertionFailure() << "window \"" << windowText(window) << "\" not painted within " << timeoutMs
                                       << " ms";
}

static uint32_t systemColour(int index)
{
    COLORREF colour = GetSysColor(index);
    return rgb(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

static bool anyPixel(const Image &shot, const RECT &area, const std::function<bool(uint32_t)> &test)
{
    for (int y = std::max(0, (int)area.top); y < area.bottom && y < shot.height; y++)
        for (int x = std::max(0, (int)area.left); x < area.right && x < shot.width; x++)
            if (test(shot.at(x, y))) return true;
    return false;
}

// What part of window the screen does not show painted yet; empty when all.
static std::string unpaintedPart(HWND window)
{
    RECT outer = windowRect(window);
    Image shot;
    if (!captureScreen(outer, &shot)) return "the screen cannot be read";
    auto local = [&](RECT rect) {
        OffsetRect(&rect, -outer.left, -outer.top);
        return rect;
    };
    RECT client = local(clientRectOnScreen(window));
    if ((GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
        const uint32_t captions[] = {systemColour(COLOR_ACTIVECAPTION), systemColour(COLOR_INACTIVECAPTION),
                                     systemColour(COLOR_GRADIENTACTIVECAPTION),
                                     systemColour(COLOR_GRADIENTINACTIVECAPTION)};
        RECT band = {0, 0, shot.width, client.top};
        if (!anyPixel(shot, band, [&](uint32_t pixel) {
                return std::find(std::begin(captions), std::end(captions), pixel) != std::end(captions);
            }))
            return "the caption";
    }
    uint32_t first = shot.at(std::max(0, (int)client.left), std::max(0, (int)client.top));
    if (!anyPixel(shot, client, [&](uint32_t pixel) { return pixel != first; })) return "the client area";
    const uint32_t face = systemColour(COLOR_BTNFACE), field = systemColour(COLOR_WINDOW);
    auto ground = [&](uint32_t pixel) { return pixel == face || pixel == field; };
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        RECT area = local(windowRect(child));
        if (!anyPixel(shot, area, ground) || !anyPixel(shot, area, [&](uint32_t pixel) { return !ground(pixel); }))
            return "control " + std::to_string(GetDlgCtrlID(child)) + " (" + windowClass(child) + " \"" +
                   windowText(child) + "\")";
        // A field that holds text shows some of it on its white.
        if (windowClass(child) == "Edit" && SendMessageA(child, WM_GETTEXTLENGTH, 0, 0) > 0 &&
            !anyPixel(shot, local(clientRectOnScreen(child)), [&](uint32_t pixel) { return pixel != field; }))
            return "the text of field " + std::to_string(GetDlgCtrlID(child));
    }
    return "";
}

testing::AssertionResult waitForPainted(HWND window, int timeoutMs)
{
    std::string missing;
    for (int waited = 0; waited <= timeoutMs; waited += pollMs) {
        if (!IsWindow(window)) return testing::AssertionFailure() << "the window went away before it painted";
        missing = unpaintedPart(window);
        if (missing.empty()) return testing::AssertionSuccess();
        Sleep(pollMs);
    }
    return testing::AssertionFailure() << "window \"" << windowText(window) << "\": " << missing
                                       << " not painted on the screen within " << timeoutMs << " ms";
}

void fillUserDialog(HWND dialog, const char *name, const char *department, const char *organisation, const char *dir,
                    bool samples)
{
    setControlText(dialog, nameField, name);
    setControlText(dialog, departmentField, department);
    setControlText(dialog, organisationField, organisation);
    setControlText(dialog, dirField, dir);
    setCheck(dialog, samplesBox, samples);
    pressButton(dialog, IDOK);
}

void setControlText(HWND dialog, int id, const char *text)
{
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text);
}

void setCheck(HWND dialog, int id, int checked)
{
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int checkState(HWND dialog, int id)
{
    return (int)SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0);
}

void pressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

static void sendKey(WORD key, WORD character, DWORD flags)
{
    INPUT input[2] = {};
    for (int i = 0; i < 2; i++) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = key;
        input[i].ki.wScan = character ? character : (WORD)MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
        input[i].ki.dwFlags = flags | (i ? KEYEVENTF_KEYUP : 0);
    }
    if (SendInput(2, input, sizeof(INPUT)) != 2) ADD_FAILURE() << "the key " << key << " could not be sent";
}

void pressKey(WORD key)
{
    sendKey(key, 0, 0);
}

void typeKeys(const char *text)
{
    for (; *text; text++) sendKey(0, (unsigned char)*text, KEYEVENTF_UNICODE);
}

testing::AssertionResult waitForControlText(HWND dialog, int id, const std::string &text, int timeoutMs)
{
    std::string seen;
    for (int waited = 0; waited <= timeoutMs; waited += pollMs) {
        seen = controlText(dialog, id);
        if (seen == text) return testing::AssertionSuccess();
        Sleep(pollMs);
    }
    return testing::AssertionFailure() << "expected control " << id << " to read \"" << text << "\"; it reads \""
                                       << seen << "\"";
}

// ---- message boxes ---------------------------------------------------------

static bool shownButton(HWND box, int id)
{
    HWND button = GetDlgItem(box, id);
    return button && IsWindowVisible(button);
}

// A box, not the splash (no buttons) nor the user dialog (it has the name field).
static bool isMessageBox(HWND window)
{
    if (!IsWindowVisible(window) || !GetDlgItem(window, 0xFFFF) || GetDlgItem(window, 203)) return false;
    for (int id = IDOK; id <= IDNO; id++)
        if (shownButton(window, id)) return true;
    return false;
}

HWND findMessageBox(const SetupProcess &setup)
{
    return findProcessWindow(setup, "#32770", NULL, isMessageBox);
}

// A box shown or not yet shown: its text and a button, and no name field.
static bool isMessageBoxMade(HWND window)
{
    if (!GetDlgItem(window, 0xFFFF) || GetDlgItem(window, 203)) return false;
    for (int id = IDOK; id <= IDNO; id++)
        if (GetDlgItem(window, id)) return true;
    return false;
}

testing::AssertionResult noMessageBoxAfterRoundTrip(const SetupProcess &setup, HWND window)
{
    DWORD_PTR ignored;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, windowTimeoutMs, &ignored))
        return testing::AssertionFailure() << "the program did not answer a message within " << windowTimeoutMs
                                           << " ms";
    HWND box = findProcessWindow(setup, "#32770", NULL, isMessageBoxMade);
    if (box)
        return testing::AssertionFailure() << "unexpected box \"" << windowText(box) << "\": \""
                                           << controlText(box, 0xFFFF) << "\"";
    return testing::AssertionSuccess();
}

static UINT boxButtons(HWND box)
{
    if (shownButton(box, IDYES) && shownButton(box, IDNO))
        return shownButton(box, IDCANCEL) ? MB_YESNOCANCEL : MB_YESNO;
    if (shownButton(box, IDABORT)) return MB_ABORTRETRYIGNORE;
    if (shownButton(box, IDRETRY)) return MB_RETRYCANCEL;
    if (shownButton(box, IDCANCEL)) return MB_OKCANCEL;
    return MB_OK;
}

static HWND iconControl(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (windowClass(child) == "Static" && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child))
            return child;
    }
    return NULL;
}

// Draws a system icon on a plain ground.
static std::vector<uint32_t> drawIcon(HICON icon, int size, uint32_t ground)
{
    Image image;
    drawOnCanvas(size, size, ground, [&](HDC dc) { return DrawIconEx(dc, 0, 0, icon, 0, 0, 0, NULL, DI_NORMAL) != 0; },
                 &image);
    image.pixels.resize((size_t)size * size, ground);
    return image.pixels;
}

// The share of the icon's opaque pixels that the screen shows unchanged.
static double iconMatch(const Image &shown, HICON icon, int size)
{
    std::vector<uint32_t> onBlack = drawIcon(icon, size, 0x000000);
    std::vector<uint32_t> onWhite = drawIcon(icon, size, 0xFFFFFF);
    int opaque = 0, same = 0;
    for (int y = 0; y < size && y < shown.height; y++)
        for (int x = 0; x < size && x < shown.width; x++) {
            size_t i = (size_t)y * size + x;
            if (onBlack[i] != onWhite[i]) continue;
            opaque++;
            if (shown.at(x, y) == onBlack[i]) same++;
        }
    return opaque ? (double)same / opaque : 0.0;
}

// Recognises the box's icon by its pixels against the system's own icons
// (icon handles of another process cannot be read here).
static UINT boxIcon(HWND box)
{
    static const struct {
        LPCSTR name;
        UINT style;
    } icons[] = {
        {IDI_HAND, MB_ICONHAND},
        {IDI_QUESTION, MB_ICONQUESTION},
        {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
        {IDI_ASTERISK, MB_ICONASTERISK},
    };
    HWND control = iconControl(box);
    if (!control) return 0;
    int size = GetSystemMetrics(SM_CXICON);
    RECT area = clientRectOnScreen(control);
    area.right = area.left + size;
    area.bottom = area.top + size;
    Image shown;
    if (!captureScreen(area, &shown)) return 0;
    for (const auto &icon : icons)
        if (iconMatch(shown, LoadIconA(NULL, icon.name), size) > 0.9) return icon.style;
    return 0;
}

UINT messageBoxStyle(HWND box)
{
    return boxButtons(box) | boxIcon(box);
}

static std::string describeStyle(UINT style)
{
    char text[32];
    snprintf(text, sizeof text, "0x%02X", style);
    return text;
}

static std::string describeOwner(HWND owner)
{
    if (!owner) return "none";
    return windowClass(owner) + " \"" + windowText(owner) + "\"";
}

HWND waitForMessageBox(const SetupProcess &setup, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += pollMs) {
        HWND box = findMessageBox(setup);
        if (box) return box;
        if (exited(setup)) break;
        Sleep(pollMs);
    }
    return NULL;
}

UINT boxStyle(HWND box, UINT expected)
{
    UINT style = messageBoxStyle(box);
    for (int waited = 0; style != expected && waited < 3000; waited += pollMs) {
        Sleep(pollMs);
        style = messageBoxStyle(box);
    }
    return style;
}

testing::AssertionResult answerMessageBox(const SetupProcess &setup, const ExpectedBox &expected, int answer,
                                          int timeoutMs)
{
    HWND box = waitForMessageBox(setup, timeoutMs);
    if (!box)
        return testing::AssertionFailure() << "expected the message box \"" << expected.text << "\" captioned \""
                                           << expected.caption << "\"; seen:" << describeWindows(setup);
    UINT style = boxStyle(box, expected.style);
    std::string text = controlText(box, 0xFFFF);
    std::string caption = windowText(box);
    HWND owner = GetWindow(box, GW_OWNER);
    testing::AssertionResult result = testing::AssertionSuccess();
    if (text != expected.text || caption != expected.caption || style != expected.style || owner != expected.owner)
        result = testing::AssertionFailure()
                 << "message box differs.\n  expected text \"" << expected.text << "\"\n  seen text     \"" << text
                 << "\"\n  expected caption \"" << expected.caption << "\", seen \"" << caption
                 << "\"\n  expected style " << describeStyle(expected.style) << ", seen " << describeStyle(style)
                 << "\n  expected owner " << describeOwner(expected.owner) << ", seen " << describeOwner(owner);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), (LPARAM)GetDlgItem(box, answer));
    testing::AssertionResult gone = waitForWindowGone(box);
    if (result && !gone) return gone;
    return result;
}

// ---- pixels ----------------------------------------------------------------

testing::AssertionResult drawOnCanvas(int width, int height, uint32_t ground, const std::function<bool(HDC)> &draw,
                                      Image *image)
{
    if (width <= 0 || height <= 0) return testing::AssertionFailure() << "empty canvas";
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    ReleaseDC(NULL, screen);
    bool drawn = false;
    if (memory && bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        uint32_t *pixels = (uint32_t *)bits;
        size_t count = (size_t)width * height;
        std::fill(pixels, pixels + count, ground);
        drawn = draw(memory);
        GdiFlush();
        if (drawn) {
            image->width = width;
            image->height = height;
            image->pixels.assign(pixels, pixels + count);
            for (uint32_t &pixel : image->pixels) pixel &= 0xFFFFFF;
        }
        SelectObject(memory, previous);
    }
    DWORD error = GetLastError();
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    if (!drawn) return testing::AssertionFailure() << "cannot draw on a canvas: error " << error;
    return testing::AssertionSuccess();
}

testing::AssertionResult captureScreen(const RECT &area, Image *image)
{
    HDC screen = GetDC(NULL);
    testing::AssertionResult result =
        drawOnCanvas(area.right - area.left, area.bottom - area.top, 0, [&](HDC dc) {
            return BitBlt(dc, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top,
                          SRCCOPY) != 0;
        }, image);
    ReleaseDC(NULL, screen);
    return result;
}

void saveScreenshot(const Image &image, const std::string &name)
{
    CreateDirectoryA("screenshots", NULL);
    std::string path = "screenshots\\" + name + ".bmp";
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return;
    int stride = (image.width * 3 + 3) & ~3;
    BITMAPFILEHEADER header = {};
    BITMAPINFOHEADER info = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + stride * image.height;
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = image.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    fwrite(&header, sizeof header, 1, file);
    fwrite(&info, sizeof info, 1, file);
    std::vector<unsigned char> row(stride, 0);
    for (int y = image.height - 1; y >= 0; y--) {
        for (int x = 0; x < image.width; x++) {
            uint32_t pixel = image.at(x, y);
            row[x * 3] = pixel & 0xFF;
            row[x * 3 + 1] = (pixel >> 8) & 0xFF;
            row[x * 3 + 2] = (pixel >> 16) & 0xFF;
        }
        fwrite(row.data(), 1, row.size(), file);
    }
    fclose(file);
}

// ---- state left behind -----------------------------------------------------

void clearWinIniSection()
{
    WriteProfileStringA(winIniSection, NULL, NULL);
}

std::string winIniValue(const char *key)
{
    char value[textLimit] = "";
    GetProfileStringA(winIniSection, key, "", value, sizeof value);
    return value;
}

void setWinIniValue(const char *key, const char *value)
{
    WriteProfileStringA(winIniSection, key, value);
}

}  // namespace e2e
