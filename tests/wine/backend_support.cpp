#include "tests/wine/backend_support.h"

#include <cstdio>
#include <ostream>

#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "shell/shell.h"

std::vector<BoxCall> recordedBoxes;
std::vector<FocusCall> recordedFocus;
static std::vector<int> scriptedAnswers;
static size_t nextAnswer;

static int recordBox(HWND owner, const char *text, const char *caption, UINT style)
{
    recordedBoxes.push_back({owner, text ? text : "<null>", caption ? caption : "<null>", style});
    return nextAnswer < scriptedAnswers.size() ? scriptedAnswers[nextAnswer++] : IDOK;
}

static void recordFocus(HWND dialog, int controlId)
{
    recordedFocus.push_back({dialog, controlId});
}

void recordBoxes(std::vector<int> answers)
{
    recordedBoxes.clear();
    recordedFocus.clear();
    scriptedAnswers = answers;
    nextAnswer = 0;
    setMessageBoxHook(recordBox);
    setFocusHook(recordFocus);
}

void stopRecording()
{
    setMessageBoxHook(NULL);
    setFocusHook(NULL);
}

bool operator==(const BoxCall &a, const BoxCall &b)
{
    return a.owner == b.owner && a.text == b.text && a.caption == b.caption && a.style == b.style;
}

bool operator==(const FocusCall &a, const FocusCall &b)
{
    return a.dialog == b.dialog && a.controlId == b.controlId;
}

std::ostream &operator<<(std::ostream &out, const BoxCall &box)
{
    return out << "{owner " << (void *)box.owner << ", text \"" << box.text << "\", caption \"" << box.caption
               << "\", style 0x" << std::hex << box.style << std::dec << "}";
}

std::ostream &operator<<(std::ostream &out, const FocusCall &focus)
{
    return out << "{dialog " << (void *)focus.dialog << ", control " << focus.controlId << "}";
}

std::string currentDirectory()
{
    char dir[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof dir, dir);
    return length > 0 && length < sizeof dir ? dir : "<unknown>";
}

// Taken before any test moves the current directory.
static const std::string startDir = currentDirectory();

std::string startDirectory()
{
    return startDir;
}

std::string mediaPath(const std::string &name)
{
    return startDir + "\\media\\" + name;
}

bool exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void removeTree(const std::string &path)
{
    if (!exists(path)) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!isDirectory(path)) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") removeTree(path + "\\" + name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

void writeFile(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << "cannot write " << path;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

std::string readFile(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return "<missing>";
    std::string bytes;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    fclose(file);
    return bytes;
}

std::string root(char drive, const std::string &rest)
{
    return std::string(1, drive) + ":\\" + rest;
}

std::string shortPath(const std::string &path)
{
    char result[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), result, sizeof result);
    return length > 0 && length < sizeof result ? result : "<none>";
}

char unusedDrive()
{
    DWORD used = GetLogicalDrives();
    for (char drive = 'Y'; drive >= 'D'; drive--) {
        if (!(used & (1u << (drive - 'A'))) && GetDriveTypeA(root(drive).c_str()) == DRIVE_NO_ROOT_DIR) return drive;
    }
    return '?';
}

// The scrambled form: the header in plain letters, then two hex digits per
// byte (the header's NUL, each line and its NUL), each byte XORed with the
// low byte of the running key at even positions and the high byte at odd
// ones, the key turning left one bit after each odd position.
static const char ownerHeader[] = "Type=Tessera Data";

static unsigned char keyByte(unsigned short key, int position)
{
    return position % 2 == 0 ? key & 0xFF : key >> 8;
}

static unsigned short nextKey(unsigned short key, int position)
{
    return position % 2 == 0 ? key : (unsigned short)((key << 1) | (key >> 15));
}

std::string scrambledOwnerFile(const std::vector<std::string> &lines)
{
    std::string plain(1, '\0');
    for (const std::string &line : lines) plain += line + std::string(1, '\0');
    std::string out = ownerHeader;
    unsigned short key = 0x5A3C;
    for (size_t i = 0; i < plain.size(); i++) {
        char digits[3];
        snprintf(digits, sizeof digits, "%02X", (unsigned char)plain[i] ^ keyByte(key, (int)i));
        out += digits;
        key = nextKey(key, (int)i);
    }
    return out;
}

std::vector<std::string> ownerFileLines(const std::string &bytes)
{
    std::vector<std::string> lines;
    if (bytes.compare(0, sizeof ownerHeader - 1, ownerHeader) != 0) return {"<no header>"};
    unsigned short key = 0x5A3C;
    std::string line;
    for (size_t at = sizeof ownerHeader - 1, i = 0; at + 1 < bytes.size(); at += 2, i++) {
        unsigned char byte = (unsigned char)strtol(bytes.substr(at, 2).c_str(), NULL, 16) ^ keyByte(key, (int)i);
        key = nextKey(key, (int)i);
        if (i == 0) continue; // the header's own NUL
        if (byte == 0) {
            lines.push_back(line);
            line.clear();
        } else {
            line += (char)byte;
        }
    }
    return lines;
}

void BackendTest::SetUp()
{
    resetInstallState();
    mainWindow = fakeMainWindow;
    setProgramFileName(NULL);
    WriteProfileStringA("Quillmark", NULL, NULL);
    SetCurrentDirectoryA(startDir.c_str());
    recordBoxes({});
    removeScratch();
}

void BackendTest::TearDown()
{
    stopRecording();
    setProgramFileName(NULL);
    WriteProfileStringA("Quillmark", NULL, NULL);
    SetCurrentDirectoryA(startDir.c_str());
    mainWindow = NULL;
    removeScratch();
}
