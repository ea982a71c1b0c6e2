// One file from the medium to its destination through the platform's LZ
// library, which expands a compressed source and copies any other as it is.
#include "copy/transfer.h"

#include <windows.h>
#include <lzexpand.h>
#include <cstring>

#include "install/message_box.h"
#include "install/text.h"
#include "shell/shell.h"
#include "uninstall/checksum.h"

long transferredBytes = -1;
WrittenFile lastWritten;

// The first bytes of a file in the LZ (SZDD) format.
static const char lzMagic[] = {'S', 'Z', 'D', 'D', (char)0x88, (char)0xF0, 0x27, 0x33};

/*
 * The length a whole copy of the open source must have: the expanded length
 * that a compressed file's header announces, or the length of a plain file.
 * -1 for a file that starts like a compressed one but is not one: its header
 * is cut short. The source is left at its start.
 */
static LONG wholeLength(INT source, HFILE file)
{
    if (source == file) {
        char start[sizeof lzMagic];
        UINT read = _lread(file, start, sizeof start);
        _llseek(file, 0, FILE_BEGIN);
        if (read == sizeof start && memcmp(start, lzMagic, sizeof start) == 0) return -1;
    }
    LONG length = LZSeek(source, 0, FILE_END);
    LZSeek(source, 0, FILE_BEGIN);
    return length;
}

// A source the library could not take (a header of an unknown method) is
// still the plain file, which is closed as such.
static void closeSource(INT source, HFILE file)
{
    if (source < 0) _lclose(file);
    else LZClose(source);
}

// The identity of an open file, for telling whether two names lead to it.
static int fileIdentity(HANDLE file, BY_HANDLE_FILE_INFORMATION *info)
{
    return GetFileInformationByHandle(file, info) != 0;
}

enum { otherFile = 0, sourceItself = 1, undecided = -1 };

// Windows 95/98/Me refuse FILE_SHARE_DELETE (ERROR_INVALID_PARAMETER), and
// it is not needed: while the source is open for reading with writers shut
// out, no other handle on it can write or delete.
static const DWORD shareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

/*
 * Whether destination, which could not be created for sharing, is the open
 * source itself under another name: a short name, another drive letter or
 * path to the same folder, a link. The volume and the file index say so,
 * with the length and the time of the last write, which one file shares
 * with itself. A platform that gives no volume a serial (0) may reuse an
 * index on another volume: that match stays undecided.
 */
static int identityOf(HFILE source, const char *destination)
{
    BY_HANDLE_FILE_INFORMATION mine, found;
    // Read access, as the source has it: every version takes it for a file.
    HANDLE file = CreateFileA(destination, GENERIC_READ, shareReadWrite, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return otherFile;
    int same = fileIdentity(file, &found) && fileIdentity((HANDLE)(INT_PTR)source, &mine) &&
               mine.dwVolumeSerialNumber == found.dwVolumeSerialNumber &&
               mine.nFileIndexHigh == found.nFileIndexHigh && mine.nFileIndexLow == found.nFileIndexLow &&
               mine.nFileSizeHigh == found.nFileSizeHigh && mine.nFileSizeLow == found.nFileSizeLow &&
               CompareFileTime(&mine.ftLastWriteTime, &found.ftLastWriteTime) == 0;
    CloseHandle(file);
    if (!same) return otherFile;
    return mine.dwVolumeSerialNumber != 0 ? sourceItself : undecided;
}

// With the source closed, only its own name opens for writing: another
// program's file still refuses.
static int opensForWriting(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, shareReadWrite, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(file);
    return 1;
}

/* Reads the created destination back from its start into lastWritten. The
 * handle is already open and its file cached by the system: the uninstaller
 * learns what was installed without another open of each file. */
static void readBack(HFILE to)
{
    if (_llseek(to, 0, FILE_BEGIN) != 0) return;
    static char buffer[65536];
    uint32_t running = checksumStart;
    unsigned long size = 0;
    UINT read;
    while ((read = _lread(to, buffer, sizeof buffer)) != 0) {
        if (read == (UINT)HFILE_ERROR) return;
        running = feedChecksum(running, buffer, read);
        size += read;
    }
    lastWritten = {1, size, finishChecksum(running)};
}

HFILE openTransferSource(const char *source)
{
    return _lopen(source, OF_READ | OF_SHARE_DENY_WRITE);
}

/*
 * Copies source to destination; equal names copy nothing, and neither does
 * a destination that is the source under another name: the file is already
 * in place. A source whose header is damaged leaves the destination
 * untouched; such a header, and a copy that fails, comes out at another
 * length than its source announces or cannot be closed whole, are reported
 * with the source as text and the destination as caption. Left to the
 * caller to report: a source that cannot be opened, which leaves the
 * destination untouched (transferNoSource), and a destination that cannot
 * be created (transferNotCreated).
 *
 * The files are opened here and handed to the library: its own open
 * (LZOpenFile) takes no path of more than 127 characters.
 */
int transferFile(const char *source, const char *destination)
{
    transferredBytes = -1;
    if (strcmp(source, destination) == 0) return transferDone;
    // A name too long to hold opens nothing.
    if (strlen(source) >= textSize) return transferNoSource;
    HFILE file = openTransferSource(source);
    if (file == HFILE_ERROR) return transferNoSource;
    return transferOpenSource(file, source, destination);
}

int transferOpenSource(HFILE file, const char *source, const char *destination)
{
    transferredBytes = -1;
    lastWritten = {0, 0, 0};
    int tooLong = strlen(destination) >= textSize;
    if (tooLong || strcmp(source, destination) == 0) {
        _lclose(file);
        return tooLong ? transferNotCreated : transferDone;
    }
    INT from = LZInit(file);
    LONG expected = from < 0 ? -1 : wholeLength(from, file);
    if (expected < 0) {
        showMessage(mainWindow, source, destination, MB_OK);
        closeSource(from, file);
        return transferDone;
    }
    HFILE to = _lcreat(destination, 0);
    if (to == HFILE_ERROR) {
        // Under any name the source itself refuses to be created for sharing.
        int identity = GetLastError() == ERROR_SHARING_VIOLATION ? identityOf(file, destination) : otherFile;
        closeSource(from, file);
        if (identity == undecided) identity = opensForWriting(destination) ? sourceItself : otherFile;
        return identity == sourceItself ? transferDone : transferNotCreated;
    }
    LONG written = CopyLZFile(from, to);
    int copied = written == expected;
    closeSource(from, file);
    readBack(to);
    // A write the system held back can fail only now.
    if (_lclose(to) == HFILE_ERROR) copied = 0;
    if (!copied) showMessage(mainWindow, source, destination, MB_OK);
    else transferredBytes = written;
    return transferDone;
}
