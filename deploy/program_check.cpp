// The PE header's checksum, computed here rather than by a system library:
// the check must load nothing that a damaged program could not vouch for.
#include "deploy/program_check.h"

#include <cstdint>
#include <cstring>

#include "install/checksum.h"

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

// The seal in the DOS header's reserved words, which no loader reads:
// tools/pesum writes the tag and the CRC-32 there.
enum { sealTagAt = 0x28, sealAt = 0x2C, securityEntryInOptional = 128, optionalMagic = 0x10B };

/* Where the certificate table's directory entry lies, or 0 when image is no
 * 32-bit program with one. */
static size_t securityEntryOffset(const unsigned char *image, size_t size)
{
    size_t checksum = checksumOffset(image, size);
    size_t optional = checksum - 64;
    if (checksum == 0 || size - optional < securityEntryInOptional + 8) return 0;
    if ((image[optional] | image[optional + 1] << 8) != optionalMagic || readWord32(image + optional + 92) < 5)
        return 0;
    return optional + securityEntryInOptional;
}

int programSealHolds(const unsigned char *image, size_t size)
{
    size_t security = image ? securityEntryOffset(image, size) : 0;
    if (security == 0 || memcmp(image + sealTagAt, "QMS1", 4) != 0) return 0;
    size_t end = size;
    uint32_t signatureAt = readWord32(image + security), signatureSize = readWord32(image + security + 4);
    // The signature must end the file: bytes after it would be checked by nobody.
    if (signatureSize != 0) {
        if (signatureAt > size || size - signatureAt != signatureSize) return 0;
        end = signatureAt;
    }
    // The parts the seal leaves out, in the order they lie in the file.
    const size_t skipped[3][2] = {{sealAt, 4}, {checksumOffset(image, size), 4}, {security, 8}};
    uint32_t running = checksumStart;
    size_t at = 0;
    for (const auto &part : skipped) {
        if (part[0] > end) return 0;
        running = feedChecksum(running, image + at, part[0] - at);
        at = part[0] + part[1];
    }
    running = feedChecksum(running, image + at, end - at);
    return finishChecksum(running) == readWord32(image + sealAt);
}
