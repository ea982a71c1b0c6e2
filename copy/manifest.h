// The compiled-in install manifest and disk table, generated at build time
// from the release description.
#pragma once

enum { maxDisks = 9, diskNameSize = 15 };

extern const char *const InstallManifest[];
extern const int installManifestCount;

// What the release put on the medium under each manifest entry, as the
// program reads it expanded: its size in bytes and its CRC-32. size is -1
// where the entry names no file, and for every entry of tables made without
// the product's files (tests of the copy engine on media of their own).
struct ReleaseFile {
    long size;
    unsigned int checksum;
};
extern const ReleaseFile releaseFiles[];  // one per entry of InstallManifest

// The same for each file the program opens beside itself on the medium (the
// imaging library, the picture, the owner data file), as it stands there,
// whether the manifest lists it or not; size is -1 where the tables were made
// without the product's files or the product has no such file.
struct BesideFile {
    const char *name;
    ReleaseFile file;
};
extern const BesideFile releaseFilesBeside[];
extern const int releaseFilesBesideCount;

struct DiskTable {
    int diskCount;
    int diskStart[maxDisks + 2];   // disk d: entries diskStart[d] .. diskStart[d + 1] - 1
    int compressedKB[maxDisks];    // disk d at d - 1; 1 KB = 1000 bytes
    int requiredKB[maxDisks];
    char diskNames[maxDisks + 1][diskNameSize];
};

// Mutable: the walk cuts a disk's range at "Finished" when no samples are wanted.
extern DiskTable diskTable;

extern const char dirStartMarker[];   // "[DIR_START]"
extern const char dirEndMarker[];     // "[DIR_END]"
extern const char finishedMarker[];   // "Finished"

// The release's version ("major.minor.patch") and its publisher (empty when
// the release names none), for the product's registration.
extern const char releaseVersion[];
extern const char releasePublisher[];
