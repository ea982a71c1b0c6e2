// The disk loop: the free-space check, the disk prompts and probe, and the
// walk of the install manifest that creates the directories and copies each
// file, keeping the windows alive between files.
#include "copy/disk_loop.h"

#include <windows.h>
// lzexpand.h needs the types of windows.h.
#include <direct.h>
#include <lzexpand.h>

#include <cstdio>
#include <cstring>

#include "copy/copy_state.h"
#include "copy/manifest.h"
#include "copy/pacing.h"
#include "copy/phase_times.h"
#include "copy/progress_window.h"
#include "copy/transfer.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/run_state.h"
#include "install/settings.h"
#include "install/setup_log.h"
#include "ownerdata/characters.h"
#include "shell/billboard_state.h"
#include "shell/shell.h"
#include "transaction/journal.h"
#include "transaction/run_record.h"

enum { cancelled = -2 };
enum { messageSize = 2 * textSize };  // a quoted path and the words around it

unsigned int requiredBytes;
char destinationPath[textSize];

static const char spaceFormat[] =
    "You may not have enough disk space to install.\nThe approximate disk space required is:%ld KB.\n\n"
    "Do you want to continue installation?\n\nNote: If you are overwriting previous version of\n"
    "the program, you may not need any more disk space.";

static int userConfirmsQuit()
{
    return showMessage(mainWindow, installState.quitPrompt, "Terminate Setup?", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

static void repaintMainWindow()
{
    // No window to repaint unattended, nor while a medium is only checked: a
    // null window would repaint every window on the screen.
    if (runState.unattended || !mainWindow) return;
    InvalidateRect(mainWindow, nullptr, TRUE);
    UpdateWindow(mainWindow);
}

static int diskCountInTable()
{
    int count = diskTable.diskCount;
    return count < 0 ? 0 : count > maxDisks ? maxDisks : count;
}

/* Free bytes on the drive of root, or -1 when the platform cannot say. The
 * product is formed in 64 bits: in 32 it wraps on drives of a few GB. */
static long long freeBytesOn(const char *root)
{
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return -1;
    return (long long)freeClusters * bytesPerSector * sectorsPerCluster;
}

/* 1 to go on, 0 when the user declines for lack of room. A directory without
 * a drive letter (a network path), or a drive whose free space cannot be
 * read, is not tested. */
static int roomIsAccepted()
{
    if (installState.installDir[1] != ':') return 1;
    char root[4];
    lstrcpynA(root, installState.installDir, sizeof root);
    long long freeBytes = freeBytesOn(root);
    if (freeBytes < 0 || requiredBytes <= freeBytes) return 1;
    char message[messageSize];
    formatText(message, sizeof message, spaceFormat, (long)(requiredBytes / 1000));
    return showMessage(mainWindow, message, "Not enough disk space", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

/* Copies every disk of the set: 0 when all were copied, -2 when the user
 * declined for lack of room, quit at a disk prompt, cancelled at a file that
 * cannot be opened, or cancelled through the progress window. */
int copyAllDisks()
{
    int disks = diskCountInTable();
    int compressedSum = 0, requiredSum = 0;
    for (int d = 0; d < disks; d++) {
        compressedSum += diskTable.compressedKB[d];
        requiredSum += diskTable.requiredKB[d];
    }
    requiredBytes = (unsigned int)requiredSum * 1000u;
    if (!roomIsAccepted()) return cancelled;

    copyState.bytesPerPercent = compressedSum * 10;
    // Unattended there is no window to show progress in: the copy is all.
    if (runState.unattended) {
        for (int d = 1; d <= disks; d++)
            if (copyDisk(installState.sourceDrive, d) == cancelled) return cancelled;
        phaseReport();
        return 0;
    }
    createProgressWindow();
    for (int d = 1; d <= disks; d++) {
        // An abandoned walk takes its window along: no Cancel button is left
        // under the cancelled message.
        if (copyDisk(installState.sourceDrive, d) == cancelled || copyState.cancelRequested) {
            destroyProgressWindow();
            return cancelled;
        }
    }
    destroyProgressWindow();
    phaseReport();
    return copyState.cancelRequested ? cancelled : 0;
}

static const char *manifestEntry(int index)
{
    return index >= 0 && index < installManifestCount ? InstallManifest[index] : "";
}

// What the release put on the medium for entry index, or null.
static const ReleaseFile *releaseFileAt(int index)
{
    return index >= 0 && index < installManifestCount ? &releaseFiles[index] : nullptr;
}

static int isMarker(const char *entry, const char *marker)
{
    return strcmp(entry, marker) == 0;
}

/* 1 when the disk's first file can be opened on the drive. */
static int probeDisk(char driveLetter, int disk)
{
    int first = diskTable.diskStart[disk];
    const char *entry = manifestEntry(first);
    if (isMarker(entry, dirStartMarker)) entry = manifestEntry(first + 2);
    char path[textSize];
    if (formatText(path, sizeof path, "%c:%s", driveLetter, entry) != 0) return 0;
    FILE *file = fopen(path, "rb");
    if (!file) return 0;
    fclose(file);
    return 1;
}

static void beep()
{
    if (!runState.unattended) MessageBeep(MB_ICONHAND);
}

/* Disk-set mode: asks for disks after the first and waits until the right
 * one is in the drive. 0 when it is, -2 when the user quits. */
int waitForDisk(char driveLetter, int disk)
{
    const char *name = diskTable.diskNames[disk];
    char message[messageSize];
    if (disk > 1) {
        beep();
        formatText(message, sizeof message, "Insert %.*s in your drive\nand click on OK.", diskNameSize, name);
        showMessage(mainWindow, message, "Insert Disk", MB_OK | MB_ICONEXCLAMATION);
        repaintMainWindow();
    }
    while (!probeDisk(driveLetter, disk)) {
        beep();
        formatText(message, sizeof message, "Please insert %.*s.\nand then click on Retry.\n", diskNameSize, name);
        if (showMessage(mainWindow, message, "Incorrect Disk", MB_RETRYCANCEL | MB_ICONEXCLAMATION) == IDRETRY)
            continue;
        if (userConfirmsQuit()) return cancelled;
        repaintMainWindow();
    }
    return 0;
}

/* The source opened for the transfer, left at its start, with its length
 * in *length; HFILE_ERROR when it cannot be opened. The transfer copies from
 * this handle: the file is opened once, not for its length and again for
 * the copy. */
static HFILE openSource(const char *path, long *length)
{
    HFILE file = openTransferSource(path);
    if (file == HFILE_ERROR) return HFILE_ERROR;
    // Asked of the handle, the length leaves the file at its start.
    DWORD size = GetFileSize((HANDLE)(INT_PTR)file, NULL);
    *length = size == INVALID_FILE_SIZE || size > 0x7FFFFFFFu ? 0 : (long)size;
    return file;
}

static void drainMessages()
{
    MSG message;
    while (PeekMessageA(&message, mainWindow, 0, 0, PM_REMOVE)) {
        // The keyboard focus stays on the main window during the copy, where
        // Escape would do nothing: it asks what the Cancel button asks, and
        // the button is drawn as it was (no focus, no press).
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
            confirmCancel();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

/* The short form of a destination directory, asked when the walk enters or
 * leaves one rather than for every file. */
static void readShortDir(const char *destinationDir, char *shortDir)
{
    DWORD n = GetShortPathNameA(destinationDir, shortDir, textSize - 1);
    // Where the platform gives no short form, the long form names the same
    // directory.
    if (n == 0 || n >= textSize - 1) copyText(shortDir, textSize, destinationDir);
}

/* Where the walk stands in the destination tree. A directory that the user
 * passed over when it could not be made or entered is a level outside the
 * tree: nothing below it is made, its files are passed over, and its
 * "[DIR_END]" leaves the current directory alone, so the walk comes back to
 * the right place and never creates anything above the install directory. */
struct WalkPlace {
    char destinationDir[textSize];
    char shortDir[textSize];  // destinationDir's short form, or its long one when it has none
    int levelsOutside;
};

/* The file's destination in both forms: destinationPath, through the short
 * form of its directory, and longPath, which the user is shown. The short
 * form is not always the shorter: where it does not fit, the long form names
 * the same file. destinationPath is empty when neither fits. */
static void destinationOf(const WalkPlace *place, const char *entry, char *path, char *longPath, int longSize)
{
    const char *name = equalsIgnoringCase(entry, "VZFONTMAP") ? "fontmap" : entry;
    formatText(longPath, longSize, "%s\\%s", place->destinationDir, name);
    if (formatText(path, textSize, "%s\\%s", place->shortDir, name) != 0) copyText(path, textSize, longPath);
}

static void buildDestinationPaths(const WalkPlace *place, const char *entry, char *longPath, int longSize)
{
    destinationOf(place, entry, destinationPath, longPath, longSize);
}

// 1 for the medium's owner data file when it is not copied (the medium is a folder).
static int ownerDataStaysOnMedium(const char *entry)
{
    return equalsIgnoringCase(entry, "quillmrk.dat") && installState.directorySource == 1;
}

/* The files from index up to the next marker, which the walk makes in the
 * current directory, announced to the transaction together: their journal
 * lines reach the disk in one write, not one each. The index after them. */
static int announceStretch(const WalkPlace *place, int index, int end)
{
    int i = index;
    for (; i < end; i++) {
        const char *entry = manifestEntry(i);
        if (isMarker(entry, dirStartMarker) || isMarker(entry, dirEndMarker) || isMarker(entry, finishedMarker)) break;
        if (place->levelsOutside || ownerDataStaysOnMedium(entry)) continue;
        char path[textSize], longPath[messageSize];
        destinationOf(place, entry, path, longPath, sizeof longPath);
        if (path[0] != '\0') announceFile(path);
    }
    flushAnnouncedFiles();
    return i;
}

/* One try at the transfer: from the source still open from its length,
 * which the transfer closes, else by name. A source that did not open is
 * tried again by name: the user may have put it right while "Error in
 * opening" was shown. */
static int transferOnce(HFILE *source, const char *sourcePath, const ReleaseFile *expected)
{
    HFILE opened = *source;
    *source = HFILE_ERROR;
    if (destinationPath[0] == '\0') {
        if (opened != HFILE_ERROR) _lclose(opened);
        return transferNotCreated;
    }
    if (opened != HFILE_ERROR) return transferCheckedSource(opened, sourcePath, destinationPath, expected);
    return transferCheckedFile(sourcePath, destinationPath, expected);
}

/* A file the transfer found other than the release's: the medium is
 * damaged, and the run ends saying so. The owner data file is the save's to
 * report: the user's values cannot be stored without it. */
static void noteDamage(const char *entry)
{
    if (!transferFoundDamage) return;
    if (equalsIgnoringCase(entry, "quillmrk.dat"))
        installState.ownerDataUnread = 1;
    else
        runState.mediumDamaged = 1;
}

// 1, with its log line, when the entry missing from the medium is the
// optional one, which the installation passes over.
static int optionalFileMissing(const char *sourceRoot, const char *entry)
{
    if (!equalsIgnoringCase(entry, "addon32.exe")) return 0;
    writeLog("File %s%s not on the medium: optional, passed over", sourceRoot, entry);
    return 1;
}

/* 1 when entry is the medium's owner data file, the release knows it, and
 * the owner data store cannot read it (logged). It is the medium's own, so
 * its form is checked, never the release's checksum. */
static int ownerDataDamaged(const char *entry, const ReleaseFile *expected, const char *sourcePath)
{
    return equalsIgnoringCase(entry, "quillmrk.dat") && expected && expected->size >= 0 &&
           !ownerDataFormHolds(sourcePath);
}

/* "Error in opening" for a source, named by the folder and the entry that
 * make it up (together they may not fit a path's text): 1 to go on, 0 when
 * the user cancels. */
static int userGoesOnWithoutSource(const char *sourceRoot, const char *entry)
{
    char message[messageSize];
    formatText(message, sizeof message, "Error in opening : %s%s", sourceRoot, entry);
    return showMessage(mainWindow, message, "Error", MB_OKCANCEL) != IDCANCEL;
}

/* Transfers one file into the tree and closes its open source. A
 * destination that cannot be created (in use, a folder of that name, no
 * access) is the user's to retry, pass over or abort on. A source that no
 * longer opens at a Retry (the disk taken out, the network gone) is reported
 * as the walk reports one, and OK goes on with the entry as it does there.
 * 0 to go on, -2 on Abort or Cancel. */
static int storeFile(HFILE source, const char *sourcePath, const WalkPlace *place, const char *entry,
                     const ReleaseFile *expected)
{
    char longPath[messageSize];
    buildDestinationPaths(place, entry, longPath, sizeof longPath);
    if (ownerDataDamaged(entry, expected, sourcePath)) {
        if (source != HFILE_ERROR) _lclose(source);
        installState.ownerDataUnread = 1;
        showMessage(mainWindow, sourcePath, destinationPath, MB_OK);
        return 0;
    }
    if (equalsIgnoringCase(entry, "quillmrk.dat")) expected = nullptr;
    // A source that does not open at the first try was reported by the walk.
    int sourceReported = 1;
    int result;
    lastWritten = {0, 0, 0};
    while ((result = transferOnce(&source, sourcePath, expected)) != transferDone) {
        if (result == transferNoSource) {
            if (sourceReported) return 0;
            if (!userGoesOnWithoutSource(sourcePath, "")) return cancelled;
            sourceReported = 1;
            continue;
        }
        switch (askAfterCreationFailure(mainWindow, longPath)) {
        case IDRETRY:
            sourceReported = 0;
            break;
        case IDABORT:
            return cancelled;
        default:
            return 0;
        }
    }
    noteDamage(entry);
    if (transferredBytes >= 0) writeLog("File %s, %ld bytes", longPath, transferredBytes);
    if (lastWritten.written) noteWrittenFile(longPath, lastWritten.size, lastWritten.checksum);
    return 0;
}

/* Copies one file entry. 0 to go on with the walk, -2 when the user
 * cancelled (the expansion library has then been ended). Outside the tree
 * (levelsOutside above 0) the file is passed over but still counts. */
static int copyFileEntry(const char *sourceRoot, const WalkPlace *place, int index)
{
    const char *entry = manifestEntry(index);
    if (ownerDataStaysOnMedium(entry)) return 0;

    char sourcePath[textSize];
    int sourceFits = formatText(sourcePath, sizeof sourcePath, "%s%s", sourceRoot, entry) == 0;
    long length = 0;
    phaseStart();
    HFILE source = sourceFits ? openSource(sourcePath, &length) : HFILE_ERROR;
    phaseEnd(phaseOpen);
    double share = 0.0;
    if (source != HFILE_ERROR) {
        if (!runState.unattended) share = accountFile(length);
    } else {
        if (optionalFileMissing(sourceRoot, entry)) return 0;
        if (!userGoesOnWithoutSource(sourceRoot, entry)) {
            LZDone();
            return cancelled;
        }
    }

    if (!runState.unattended) {
        copyText(copyState.currentFileName, sizeof copyState.currentFileName, entry);
        SendMessageA(copyState.progressWindow, progressRefresh, 0, 0);
    }
    phaseEnd(phasePaint);
    destinationPath[0] = '\0';
    if (!sourceFits || place->levelsOutside) {
        if (source != HFILE_ERROR) _lclose(source);
    } else if (storeFile(source, sourcePath, place, entry, releaseFileAt(index)) == cancelled) {
        LZDone();
        return cancelled;
    }
    phaseEnd(phaseCommit);

    if (copyState.cancelRequested) {
        LZDone();
        copyState.percentExact = 0.0f;
        destroyProgressWindow();
        return cancelled;
    }
    // The percentage, the billboard, the debug line and the windows' messages
    // are the interactive run's; unattended, the next file follows at once.
    if (runState.unattended) return 0;
    progressStep();
    if (share >= 1.0) SendMessageA(copyState.progressWindow, progressRefresh, 0, 0);
    drainMessages();
    phaseEnd(phasePaint);
    return 0;
}

// A directory made here is the installation's, to be removed with it.
static int makeAndEnter(const char *name, const char *path)
{
    noteDirectoryToMake(path);
    if (_mkdir(name) == 0) {
        writeLog("Directory made: %s", path);
        noteDirectoryMade(path, 0);
    }
    return _chdir(name) == 0;
}

/* Makes and enters the manifest's directory name. One that cannot be made
 * or entered (a file of that name, no access) is asked about once: Retry
 * tries again, Ignore leaves it outside the tree, Abort gives -2. */
static int enterDirectory(WalkPlace *place, const char *name)
{
    if (place->levelsOutside) {
        place->levelsOutside++;
        return 0;
    }
    char deeper[messageSize];
    formatText(deeper, sizeof deeper, "%s\\%s", place->destinationDir, name);
    while (strlen(deeper) >= textSize || !makeAndEnter(name, deeper)) {
        switch (askAfterCreationFailure(mainWindow, deeper)) {
        case IDRETRY:
            break;
        case IDABORT:
            return cancelled;
        default:
            place->levelsOutside = 1;
            return 0;
        }
    }
    copyText(place->destinationDir, sizeof place->destinationDir, deeper);
    readShortDir(place->destinationDir, place->shortDir);
    return 0;
}

static void leaveDirectory(WalkPlace *place)
{
    if (place->levelsOutside) {
        place->levelsOutside--;
        return;
    }
    _chdir("..");
    const char *cut = lastCharacterOf(place->destinationDir, "\\");
    if (cut) place->destinationDir[cut - place->destinationDir] = '\0';
    readShortDir(place->destinationDir, place->shortDir);
}

int deepestDestinationLength()
{
    enum { maxLevels = 16 };
    int levels[maxLevels + 1] = {0};  // length of the destination at each level
    int level = 0;
    int deepest = (int)sizeof "\\quillmrk.dat" - 1;
    for (int i = 0; i < installManifestCount; i++) {
        const char *entry = InstallManifest[i];
        if (isMarker(entry, dirStartMarker)) {
            int outer = levels[level];
            if (level < maxLevels) level++;
            levels[level] = outer + 1 + (int)strlen(manifestEntry(++i));
        } else if (isMarker(entry, dirEndMarker)) {
            if (level > 0) level--;
        } else if (!isMarker(entry, finishedMarker)) {
            const char *name = equalsIgnoringCase(entry, "VZFONTMAP") ? "fontmap" : entry;
            int length = levels[level] + 1 + (int)strlen(name);
            if (length > deepest) deepest = length;
        }
    }
    return deepest;
}

/* Where disk number disk is read from, into sourceRoot (textSize bytes):
 * the medium's folder, or the drive once the disk is in it. 0, or -2 when
 * the user gave up waiting for the disk. */
static int reachDisk(char driveLetter, int disk, char *sourceRoot)
{
    if (installState.directorySource) {
        copyText(sourceRoot, textSize, installState.sourceDir);
        return 0;
    }
    formatText(sourceRoot, textSize, "%c:", driveLetter);
    return waitForDisk(driveLetter, disk) == cancelled ? cancelled : 0;
}

/* Copies disk number disk (from 1): 0, or -2 when the user quit or
 * cancelled. Sources are always read from the top folder of the medium; the
 * directory markers shape only the destination. */
int copyDisk(char driveLetter, int disk)
{
    if (disk < 1 || disk > maxDisks) return 0;
    copyState.bulletStep = billboard.percentPerTheme / billboard.lineCount;

    char sourceRoot[textSize];
    if (reachDisk(driveLetter, disk, sourceRoot) == cancelled) return cancelled;

    WalkPlace place;
    copyText(place.destinationDir, sizeof place.destinationDir, installState.installDir);
    readShortDir(place.destinationDir, place.shortDir);
    place.levelsOutside = 0;
    LZStart();
    int announcedTo = diskTable.diskStart[disk];
    // The end is read again at every step: "Finished" may shorten the walk.
    for (int i = diskTable.diskStart[disk]; i < diskTable.diskStart[disk + 1]; i++) {
        if (copyState.cancelRequested) break;
        const char *entry = manifestEntry(i);
        if (isMarker(entry, dirStartMarker)) {
            if (enterDirectory(&place, manifestEntry(i + 1)) == cancelled) {
                LZDone();
                return cancelled;
            }
            i += 2;
            entry = manifestEntry(i);
        }
        if (isMarker(entry, finishedMarker)) {
            if (!installState.installSamples) diskTable.diskStart[disk + 1] = i;
        } else if (isMarker(entry, dirEndMarker)) {
            leaveDirectory(&place);
        } else {
            if (i >= announcedTo) announcedTo = announceStretch(&place, i, diskTable.diskStart[disk + 1]);
            if (copyFileEntry(sourceRoot, &place, i) == cancelled) return cancelled;
        }
    }
    LZDone();
    return 0;
}

// 1 when the stretch from start names entry index's file before it.
static int namedBefore(int start, int index)
{
    for (int i = start; i < index; i++)
        if (equalsIgnoringCase(manifestEntry(i), manifestEntry(index))) return 1;
    return 0;
}

// One file of the medium read against the release's: 1 when it is damaged
// or missing (the check has logged the damage; the first one so found is
// named in firstFault), else 0.
static int verifyFile(const char *sourceRoot, int index, char *firstFault)
{
    const char *entry = manifestEntry(index);
    char sourcePath[textSize];
    WrittenFile read;
    const ReleaseFile *expected = releaseFileAt(index);
    int check = formatText(sourcePath, sizeof sourcePath, "%s%s", sourceRoot, entry) == 0
                    ? checkSourceFile(sourcePath, equalsIgnoringCase(entry, "quillmrk.dat") ? nullptr : expected, &read)
                    : sourceMissing;
    if (check == sourceWhole && ownerDataDamaged(entry, expected, sourcePath)) check = sourceDamaged;
    if (check == sourceMissing && optionalFileMissing(sourceRoot, entry)) return 0;
    if (check == sourceMissing) writeLog("File %s%s missing from the medium", sourceRoot, entry);
    if (check != sourceWhole && firstFault[0] == '\0') copyText(firstFault, textSize, sourcePath);
    return check != sourceWhole;
}

int verifyDisk(char driveLetter, int disk, int *faults, char *firstFault)
{
    if (disk < 1 || disk > maxDisks) return 0;
    char sourceRoot[textSize];
    if (reachDisk(driveLetter, disk, sourceRoot) == cancelled) return cancelled;
    int start = diskTable.diskStart[disk];
    LZStart();
    for (int i = start; i < diskTable.diskStart[disk + 1]; i++) {
        const char *entry = manifestEntry(i);
        if (isMarker(entry, dirStartMarker)) {
            i++;  // the directory's name
            continue;
        }
        if (isMarker(entry, dirEndMarker) || isMarker(entry, finishedMarker) || namedBefore(start, i)) continue;
        *faults += verifyFile(sourceRoot, i, firstFault);
    }
    LZDone();
    return 0;
}
