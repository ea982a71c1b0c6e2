// The CRC-32 of the common zip and PNG checksum, over bytes fed in pieces:
// what tells an installed file from one changed since.
#pragma once
#include <cstddef>
#include <cstdint>

enum : uint32_t { checksumStart = 0xFFFFFFFFu };

// Feeds size bytes into running (checksumStart for the first piece).
uint32_t feedChecksum(uint32_t running, const void *bytes, size_t size);
// The checksum of everything fed so far.
inline uint32_t finishChecksum(uint32_t running) { return running ^ 0xFFFFFFFFu; }
