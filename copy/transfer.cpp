// One file from the medium to its destination through the platform's LZ
// library, which expands a compressed source and copies any other as it is.
#include "copy/transfer.h"

#include <windows.h>
#include <lzexpand.h>
#include <cstring>

#include "install/message_box.h"
#include "install/text.h"
#include "shell/shell.h"

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

/*
 * 1 when destination is the open source itself under another name: a short
 * name, another drive letter or path to the same folder, a link. The volume
 * and the file index say so, whatever the names; the length and the time of
 * the last write, which one file shares with itself, guard against a
 * platform that cannot tell its volumes apart.
 */
static int sameFile(HFILE source, const char *destination)
{
    BY_HANDLE_FILE_INFORMATION from, to;
    // The destination first: on a new installation it does not exist, and
    // the identity, which asks for the volume, is not needed at all.
    HANDLE file = CreateFileA(destination, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int known = fileIdentity(file, &to) && fileIdentity((HANDLE)(INT_PTR)source, &from);
    CloseHandle(file);
    return known && from.dwVolumeSerialNumber == to.dwVolumeSerialNumber &&
           from.nFileIndexHigh == to.nFileIndexHigh && from.nFileIndexLow == to.nFileIndexLow &&
           from.nFileSizeHigh == to.nFileSizeHigh && from.nFileSizeLow == to.nFileSizeLow &&
           CompareFileTime(&from.ftLastWriteTime, &to.ftLastWriteTime) == 0;
}

/*
 * Copies source to destination; equal names copy nothing, and neither does
 * a destination that is the source under another name: creating it would
 * empty the source, and the file is already in place. A source that
 * cannot be opened leaves the destination untouched, and so does one whose
 * header is damaged; only such a header and a copy that fails or comes out
 * at another length than its source announces are reported, with the source
 * as text and the destination as caption.
 *
 * The files are opened here and handed to the library: its own open
 * (LZOpenFile) takes no path of more than 127 characters.
 */
void transferFile(const char *source, const char *destination)
{
    // A name too long to hold opens nothing.
    if (strlen(source) >= textSize) return;
    HFILE file = _lopen(source, OF_READ);
    if (file == HFILE_ERROR) return;
    transferOpenSource(file, source, destination);
}

/*
 * transferFile for a source that the caller has opened for reading
 * (_lopen, OF_READ) and left at its start; the source is closed here.
 */
void transferOpenSource(HFILE file, const char *source, const char *destination)
{
    if (strcmp(source, destination) == 0 || strlen(destination) >= textSize || sameFile(file, destination)) {
        _lclose(file);
        return;
    }
    INT from = LZInit(file);
    LONG expected = from < 0 ? -1 : wholeLength(from, file);
    if (expected < 0) {
        showMessage(mainWindow, source, destination, MB_OK);
        closeSource(from, file);
        return;
    }
    HFILE to = _lcreat(destination, 0);
    if (to == HFILE_ERROR) {
        closeSource(from, file);
        return;
    }
    if (CopyLZFile(from, to) != expected) showMessage(mainWindow, source, destination, MB_OK);
    closeSource(from, file);
    _lclose(to);
}
