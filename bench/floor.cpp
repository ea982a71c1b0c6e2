// The platform's floor for a whole installation: every file of the install
// manifest expanded from the medium into the same directory tree through
// LZ32, and nothing else. With "length" each file also pays for what the
// installer must add per file: the short form of its directory and opening
// the source to take its length.
//
//   bench_floor.exe MEDIUM_DIR TARGET_DIR [length]
//
// Returns 0 when every file was copied, 1 when any LZ call failed, 2 on a
// bad command line. Samples included; the owner data file is copied like
// any other file, so the tree is the one SETUP.EXE leaves behind.
#include <windows.h>
// lzexpand.h needs the types of windows.h.
#include <lzexpand.h>

#include <cstdio>
#include <cstring>

#include "copy/manifest.h"

enum { pathSize = 256 };

struct FloorRun {
    const char *mediumDir;
    int lengthCheck;  // 1: also the installer's per-file look-ups
    int failures;
};

static int isMarker(const char *entry, const char *marker)
{
    return strcmp(entry, marker) == 0;
}

/* Fits text into path (pathSize bytes); 0 on success, -1 when it would not fit. */
static int formatPath(char *path, const char *format, const char *a, const char *b)
{
    int n = snprintf(path, pathSize, format, a, b);
    if (n < 0 || n >= pathSize) {
        path[0] = '\0';
        return -1;
    }
    return 0;
}

/* What the installer asks the platform for each file besides the copy. */
static void lookUpLikeInstaller(const char *dir, const char *source)
{
    char shortDir[pathSize];
    GetShortPathNameA(dir, shortDir, pathSize - 1);
    FILE *file = fopen(source, "rb");
    if (!file) return;
    fseek(file, 0, SEEK_END);
    ftell(file);
    fclose(file);
}

static void copyOne(FloorRun *run, const char *dir, const char *entry)
{
    char source[pathSize];
    char destination[pathSize];
    const char *name = lstrcmpiA(entry, "VZFONTMAP") == 0 ? "fontmap" : entry;
    if (formatPath(source, "%s\\%s", run->mediumDir, entry) != 0 ||
        formatPath(destination, "%s\\%s", dir, name) != 0) {
        run->failures++;
        return;
    }
    if (run->lengthCheck) lookUpLikeInstaller(dir, source);
    OFSTRUCT info;
    INT from = LZOpenFileA(source, &info, OF_READ);
    if (from < 0) {
        run->failures++;
        return;
    }
    INT to = LZOpenFileA(destination, &info, OF_CREATE);
    if (to < 0 || CopyLZFile(from, to) < 0) run->failures++;
    if (to >= 0) LZClose(to);
    LZClose(from);
}

/* Walks the whole manifest; directories by their full paths. */
static void copyManifest(FloorRun *run, const char *targetDir)
{
    char dir[pathSize];
    if (formatPath(dir, "%s%s", targetDir, "") != 0) {
        run->failures++;
        return;
    }
    CreateDirectoryA(dir, NULL);
    LZStart();
    for (int i = 0; i < installManifestCount; i++) {
        const char *entry = InstallManifest[i];
        if (isMarker(entry, dirStartMarker) && i + 1 < installManifestCount) {
            char deeper[pathSize];
            if (formatPath(deeper, "%s\\%s", dir, InstallManifest[++i]) != 0) {
                run->failures++;
                break;
            }
            memcpy(dir, deeper, pathSize);
            CreateDirectoryA(dir, NULL);
        } else if (isMarker(entry, dirEndMarker)) {
            char *cut = strrchr(dir, '\\');
            if (cut) *cut = '\0';
        } else if (!isMarker(entry, finishedMarker)) {
            copyOne(run, dir, entry);
        }
    }
    LZDone();
}

int main(int argc, char **argv)
{
    if (argc < 3 || (argc == 4 && strcmp(argv[3], "length") != 0) || argc > 4) return 2;
    FloorRun run = {argv[1], argc == 4, 0};
    copyManifest(&run, argv[2]);
    return run.failures ? 1 : 0;
}
