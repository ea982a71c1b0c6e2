#include "install/checksum.h"

// Eight tables for the reflected polynomial, made at the first use: every
// installed file passes through here once, so eight bytes at a time cost
// eight look-ups and no shift chain between them.
static const uint32_t (*checksumTables())[256]
{
    static uint32_t tables[8][256];
    static int made = 0;
    if (!made) {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t value = n;
            for (int bit = 0; bit < 8; bit++) value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1u)));
            tables[0][n] = value;
        }
        for (int k = 1; k < 8; k++)
            for (int n = 0; n < 256; n++)
                tables[k][n] = (tables[k - 1][n] >> 8) ^ tables[0][tables[k - 1][n] & 0xFFu];
        made = 1;
    }
    return tables;
}

// Four bytes as the little-endian word the tables expect, on any machine.
static uint32_t word(const unsigned char *byte)
{
    return byte[0] | (uint32_t)byte[1] << 8 | (uint32_t)byte[2] << 16 | (uint32_t)byte[3] << 24;
}

uint32_t feedChecksum(uint32_t running, const void *bytes, size_t size)
{
    const uint32_t(*t)[256] = checksumTables();
    const unsigned char *byte = static_cast<const unsigned char *>(bytes);
    for (; size >= 8; size -= 8, byte += 8) {
        uint32_t low = word(byte) ^ running, high = word(byte + 4);
        running = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^ t[4][low >> 24] ^
                  t[3][high & 0xFFu] ^ t[2][(high >> 8) & 0xFFu] ^ t[1][(high >> 16) & 0xFFu] ^ t[0][high >> 24];
    }
    for (; size > 0; size--, byte++) running = t[0][(running ^ *byte) & 0xFFu] ^ (running >> 8);
    return running;
}
