// QMSETUP.EXE, the product's configuration program, as a stand-in: it shows
// its window and notes each start in qmsetup.log beside itself (date, its own
// path, the current directory), so that an installation can be checked for
// having started it, and from where.
#include <windows.h>

#include <cstdio>
#include <cstring>

static const char windowClass[] = "QuillmarkConfiguration";
static const char windowTitle[] = "Quillmark Configuration";
static const char logName[] = "qmsetup.log";

/*
 * Appends one line to qmsetup.log in the program's own folder:
 * "YYYY-MM-DD HH:MM:SS<TAB>program path<TAB>current directory".
 * A path that does not fit leaves the log alone rather than cut.
 */
static void noteStart()
{
    char program[MAX_PATH], current[MAX_PATH], logPath[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH) return;

    char *slash = strrchr(program, '\\');
    int folderLength = slash ? (int)(slash - program) + 1 : 0;
    int written = snprintf(logPath, sizeof logPath, "%.*s%s", folderLength, program, logName);
    if (written < 0 || written >= (int)sizeof logPath) return;

    SYSTEMTIME now;
    GetLocalTime(&now);
    FILE *log = fopen(logPath, "a");
    if (!log) return;
    fprintf(log, "%04u-%02u-%02u %02u:%02u:%02u\t%s\t%s\n", now.wYear, now.wMonth, now.wDay,
            now.wHour, now.wMinute, now.wSecond, program, current);
    fclose(log);
}

static void onPaint(HWND window)
{
    static const char text[] = "Quillmark Professional is installed.";
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    TextOutA(dc, 16, 16, text, (int)strlen(text));
    EndPaint(window, &paint);
}

static LRESULT CALLBACK configWindowProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    (void)previous;
    (void)commandLine;
    noteStart();

    WNDCLASSA wc = {};
    wc.lpfnWndProc = configWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = windowClass;
    if (!RegisterClassA(&wc)) return 1;
    HWND window = CreateWindowA(windowClass, windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 400, 200, NULL, NULL, instance, NULL);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
