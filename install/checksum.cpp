#include "install/checksum.h"

// One table for the reflected polynomial, made at the first use: every
// installed file passes through here once, so a byte costs one look-up.
static const uint32_t *checksumTable()
{
    static uint32_t table[256];
    static int made = 0;
    if (!made) {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t value = n;
            for (int bit = 0; bit < 8; bit++) value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1u)));
            table[n] = value;
        }
        made = 1;
    }
    return table;
}

uint32_t feedChecksum(uint32_t running, const void *bytes, size_t size)
{
    const uint32_t *table = checksumTable();
    const unsigned char *byte = static_cast<const unsigned char *>(bytes);
    for (size_t i = 0; i < size; i++) running = table[(running ^ byte[i]) & 0xFFu] ^ (running >> 8);
    return running;
}
