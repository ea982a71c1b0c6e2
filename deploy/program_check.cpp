// The PE header's checksum, computed here rather than by a system library:
// the check must load nothing that a damaged program could not vouch for.
#include "deploy/program_check.h"

#include <cstdint>
#include <cstring>

static uint32_t readWord32(const unsigned char *at)
{
    return (uint32_t)at[0] | (uint32_t)at[1] << 8 | (uint32_t)at[2] << 16 | (uint32_t)at[3] << 24;
}

/* Where the checksum lies in the optional header, or 0 when image holds no
 * PE header. */
static size_t checksumOffset(const unsigned char *image, size_t size)
{
    enum { peOffsetAt = 60, fileHeaderSize = 24, checksumInOptional = 64 };
    if (size < peOffsetAt + 4 || image[0] != 'M' || image[1] != 'Z') return 0;
    size_t pe = readWord32(image + peOffsetAt);
    if (pe > size || size - pe < fileHeaderSize + checksumInOptional + 4) return 0;
    if (memcmp(image + pe, "PE\0\0", 4) != 0) return 0;
    return pe + fileHeaderSize + checksumInOptional;
}

int programChecksumHolds(const unsigned char *image, size_t size)
{
    size_t offset = image ? checksumOffset(image, size) : 0;
    if (offset == 0) return 0;
    uint32_t stored = readWord32(image + offset);
    uint32_t sum = 0;
    for (size_t at = 0; at < size; at += 2) {
        if (at == offset || at == offset + 2) continue;
        uint32_t word = image[at] | (at + 1 < size ? (uint32_t)image[at + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return stored != 0 && stored == sum + (uint32_t)size;
}
