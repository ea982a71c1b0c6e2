// One file from the medium to its destination through the platform's LZ
// library, which expands a compressed source and copies any other as it is.
#include "copy/transfer.h"

#include <windows.h>
#include <lzexpand.h>
#include <cstring>

#include "copy/phase_times.h"
#include "install/checksum.h"
#include "install/run_state.h"
#include "install/message_box.h"
#include "install/setup_log.h"
#include "install/text.h"
#include "ownerdata/characters.h"
#include "shell/shell.h"
#include "transaction/journal.h"

long transferredBytes = -1;
WrittenFile lastWritten;
int transferFoundDamage;

enum { copyPiece = 65536 };
static char copyBuffer[copyPiece];  // the copy's and the read-back's

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

/* Reads the created destination back from its start into lastWritten:
 * written bytes were written, so each read asks for what is left of them
 * and one byte more, and a read that comes short exactly at their end has
 * found the file's end; a small file is read in one request. A file that
 * turns out longer is read to its end. The handle is already open and its
 * file cached by the system: the uninstaller learns what was installed
 * without another open of each file. */
static void readBack(HFILE to, unsigned long written)
{
    if (_llseek(to, 0, FILE_BEGIN) != 0) return;
    uint32_t running = checksumStart;
    unsigned long size = 0;
    for (;;) {
        unsigned long left = size <= written ? written - size + 1 : (unsigned long)copyPiece;
        UINT want = left < copyPiece ? (UINT)left : (UINT)copyPiece;
        UINT read = _lread(to, copyBuffer, want);
        if (read == (UINT)HFILE_ERROR) return;
        running = feedChecksum(running, copyBuffer, read);
        size += read;
        if (read == 0 || (read < want && size == written)) break;
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
    return transferCheckedFile(source, destination, nullptr);
}

int transferCheckedFile(const char *source, const char *destination, const ReleaseFile *expected)
{
    transferredBytes = -1;
    transferFoundDamage = 0;
    if (strcmp(source, destination) == 0) return transferDone;
    // A name too long to hold opens nothing.
    if (strlen(source) >= textSize) return transferNoSource;
    HFILE file = openTransferSource(source);
    if (file == HFILE_ERROR) return transferNoSource;
    return transferCheckedSource(file, source, destination, expected);
}

const ReleaseFile *releaseFileNamed(const char *name)
{
    for (int i = 0; i < installManifestCount; i++)
        if (releaseFiles[i].size >= 0 && equalsIgnoringCase(InstallManifest[i], name)) return &releaseFiles[i];
    return nullptr;
}

const ReleaseFile *releaseFileBesideProgram(const char *name)
{
    const ReleaseFile *listed = releaseFileNamed(name);
    if (listed) return listed;
    for (int i = 0; i < releaseFilesBesideCount; i++)
        if (releaseFilesBeside[i].file.size >= 0 && equalsIgnoringCase(releaseFilesBeside[i].name, name))
            return &releaseFilesBeside[i].file;
    return nullptr;
}

// The installed file keeps the date of the medium's, as the library's own
// copy leaves it.
static void keepFileTime(HFILE source, HFILE to)
{
    FILETIME written;
    if (GetFileTime((HANDLE)(INT_PTR)source, NULL, NULL, &written)) SetFileTime((HANDLE)(INT_PTR)to, NULL, NULL, &written);
}

enum CopyOutcome { copyRead = 0, copyReadFailed = 1, copyWriteFailed = 2 };

/* Reads at most limit bytes of the source, expanded, in pieces, into *read
 * (their count and CRC-32), writing each piece to the destination unless it
 * is HFILE_ERROR. The library's own copy runs to the source's end, which a
 * file that never ends (a device) does not have. A CopyOutcome. */
static int readExpanded(INT from, HFILE to, LONG limit, int compressed, WrittenFile *read)
{
    uint32_t running = checksumStart;
    int outcome = copyRead;
    *read = {0, 0, 0};
    while ((LONG)read->size < limit) {
        LONG left = limit - (LONG)read->size;
        INT want = left < copyPiece ? (INT)left : copyPiece;
        INT got = LZRead(from, copyBuffer, want);
        if (got <= 0) {
            if (got < 0) outcome = copyReadFailed;
            break;
        }
        running = feedChecksum(running, copyBuffer, (size_t)got);
        read->size += (unsigned long)got;
        if (to != HFILE_ERROR && _lwrite(to, copyBuffer, (UINT)got) != (UINT)got) {
            outcome = copyWriteFailed;
            break;
        }
        // The library expands short only at the compressed file's end: no
        // further read is asked to say so.
        if (got < want && compressed) break;
    }
    read->checksum = finishChecksum(running);
    return outcome;
}

// 1 when what was read is not the release's file.
static int differs(const ReleaseFile *expected, const WrittenFile *read)
{
    return read->size != (unsigned long)expected->size || read->checksum != expected->checksum;
}

/* Where the copy is written: a new destination in its place, which the
 * program alone has then; an existing one (an earlier release's file) under
 * a name beside it that the transaction gives, so that it takes the
 * destination's place only with every other file of the run. With switches
 * a file another program holds is staged all the same: it is replaced at the
 * next start of Windows. *temp is the name written, or "" when writing in
 * place. HFILE_ERROR when nothing was created, *identity then saying
 * whether the destination is the source itself. */
static HFILE createCopy(HFILE file, const char *destination, char *temp, int tempSize, int *identity)
{
    temp[0] = '\0';
    HANDLE made = CreateFileA(destination, GENERIC_READ | GENERIC_WRITE, shareReadWrite, NULL, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (made != INVALID_HANDLE_VALUE) {
        noteFileCreated(destination);
        return (HFILE)(INT_PTR)made;
    }
    DWORD error = GetLastError();
    HANDLE existing = INVALID_HANDLE_VALUE;
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        existing = CreateFileA(destination, GENERIC_WRITE, shareReadWrite, NULL, OPEN_EXISTING, 0, NULL);
        error = GetLastError();
    }
    if (existing == INVALID_HANDLE_VALUE) {
        // Under any name the source itself refuses to be opened for writing.
        *identity = error == ERROR_SHARING_VIOLATION ? identityOf(file, destination) : otherFile;
        int inUse = error == ERROR_SHARING_VIOLATION && *identity == otherFile;
        if (!inUse || !runState.unattended) return HFILE_ERROR;
    } else {
        CloseHandle(existing);
    }
    *identity = otherFile;
    int place = stageExistingFile(destination, temp, tempSize);
    HFILE to = place == stageFailed ? HFILE_ERROR : _lcreat(temp, 0);
    if (place != stageBeside || to == HFILE_ERROR) temp[0] = '\0';
    return to;
}

/* Whether what was read of a file the tables know is other than the
 * release's file, its header's announced length included: 1 with the log's
 * account of it, which /VERIFY and the installation give alike. */
static int judgeRead(const char *source, const ReleaseFile *expected, LONG announced, const WrittenFile *read)
{
    if (announced >= 0 && announced != expected->size)
        writeLog("File %s damaged on the medium: its header announces %ld bytes, %ld expected", source, (long)announced,
                 expected->size);
    else if (differs(expected, read))
        writeLog("File %s damaged on the medium: %ld bytes with CRC %08X expected, %lu bytes with CRC %08X read",
                 source, expected->size, expected->checksum, read->size, read->checksum);
    else
        return 0;
    return 1;
}

/* A whole, checked copy written under temp is the transaction's to put in
 * the destination's place: transferDone, or transferNotCreated when it
 * cannot take the name (taken by another program meanwhile). */
static int placeCopy(const char *temp, const char *destination)
{
    if (temp[0] == '\0') return transferDone;
    return stagedFileDone(destination, 1) == 0 ? transferDone : transferNotCreated;
}

/* 1, with its log line, when what the disk gives back is not what was read:
 * a drive may change a byte as it is written. */
static int writtenWrongly(const char *destination, const WrittenFile *read)
{
    if (lastWritten.written && lastWritten.size == read->size && lastWritten.checksum == read->checksum) return 0;
    writeLog("File %s written wrongly to the disk: %lu bytes with CRC %08X written, %lu bytes with CRC %08X read back",
             destination, read->size, read->checksum, lastWritten.size, lastWritten.checksum);
    return 1;
}

int transferCheckedSource(HFILE file, const char *source, const char *destination, const ReleaseFile *expected)
{
    transferredBytes = -1;
    transferFoundDamage = 0;
    lastWritten = {0, 0, 0};
    int tooLong = strlen(destination) >= textSize;
    if (tooLong || strcmp(source, destination) == 0) {
        _lclose(file);
        return tooLong ? transferNotCreated : transferDone;
    }
    int known = expected && expected->size >= 0;
    INT from = LZInit(file);
    LONG announced = from < 0 ? -1 : wholeLength(from, file);
    if (announced < 0) {
        if (known) writeLog("File %s damaged on the medium: its compressed header is cut short or unknown", source);
        transferFoundDamage = known;
        showMessage(mainWindow, source, destination, MB_OK);
        closeSource(from, file);
        return transferDone;
    }
    char temp[textSize];
    int identity = otherFile;
    HFILE to = createCopy(file, destination, temp, sizeof temp, &identity);
    phaseEnd(phaseCreate);
    if (to == HFILE_ERROR) {
        closeSource(from, file);
        if (identity == undecided) identity = opensForWriting(destination) ? sourceItself : otherFile;
        return identity == sourceItself ? transferDone : transferNotCreated;
    }
    // One byte past the size the copy must have tells a longer file.
    WrittenFile read;
    int outcome = readExpanded(from, to, (known ? expected->size : announced) + 1, from != (INT)file, &read);
    LONG written = (LONG)read.size;
    // A known file is judged by the release's length, its header's below.
    int copied = outcome == copyRead && (known || written == announced);
    phaseEnd(phaseExpand);
    keepFileTime(file, to);
    closeSource(from, file);
    phaseEnd(phaseDate);
    readBack(to, read.size);
    phaseEnd(phaseReadBack);
    // A write the system held back can fail only now.
    if (_lclose(to) == HFILE_ERROR) copied = 0;
    // A write that failed (a full disk) says nothing about the medium.
    transferFoundDamage = known && outcome != copyWriteFailed && judgeRead(source, expected, announced, &read);
    if (copied && !transferFoundDamage && writtenWrongly(destination, &read)) copied = 0;
    if (copied && !transferFoundDamage) {
        transferredBytes = written;
        return placeCopy(temp, destination);
    }
    // Nothing of a failed copy stays under the product's name.
    DeleteFileA(temp[0] != '\0' ? temp : destination);
    if (temp[0] != '\0') stagedFileDone(destination, 0);
    lastWritten = {0, 0, 0};
    showMessage(mainWindow, source, destination, MB_OK);
    return transferDone;
}

int checkSourceFile(const char *source, const ReleaseFile *expected, WrittenFile *read)
{
    *read = {0, 0, 0};
    HFILE file = strlen(source) < textSize ? openTransferSource(source) : HFILE_ERROR;
    if (file == HFILE_ERROR) return sourceMissing;
    int known = expected && expected->size >= 0;
    INT from = LZInit(file);
    LONG announced = from < 0 ? -1 : wholeLength(from, file);
    int outcome = copyReadFailed;
    if (announced >= 0)
        outcome = readExpanded(from, HFILE_ERROR, (known ? expected->size : announced) + 1, from != (INT)file, read);
    closeSource(from, file);
    read->written = outcome == copyRead && (LONG)read->size == announced;
    if (known && announced < 0)
        writeLog("File %s damaged on the medium: its compressed header is cut short or unknown", source);
    int damaged = known ? announced < 0 || judgeRead(source, expected, announced, read) : !read->written;
    if (damaged && !known) writeLog("File %s cannot be read whole", source);
    return damaged ? sourceDamaged : sourceWhole;
}
