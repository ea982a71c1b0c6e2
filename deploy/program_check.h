// SETUP.EXE checks its own file before it trusts the tables compiled into
// it: a copy damaged on its way (a bad floppy, a download cut short) is
// refused before anything is installed.
#pragma once
#include <cstddef>

// 1 when image, a whole program file of size bytes, carries in its PE
// header the checksum its bytes give (the header's algorithm: 16-bit words
// summed with their carries, the field itself left out, plus the length); 0
// when it does not, when the field is 0 (never set), or when image is no
// PE file.
int programChecksumHolds(const unsigned char *image, size_t size);
// 1 when image carries the seal the release tools wrote (a CRC-32 of the
// whole file but the seal, the header's checksum, the certificate table's
// entry and the signature ending the file) and its bytes give it: the
// 16-bit sum above stays valid when two words or sectors are swapped.
int programSealHolds(const unsigned char *image, size_t size);
