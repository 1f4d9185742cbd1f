// The CRC-32 of images, relocation entries and signature hashes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qestl {

// Continues the standard CRC-32 (reflected 0xEDB88320) of what `state` covers
// with `length` more bytes: starting from 0 gives the CRC of the data, and the
// result of one call fed to the next gives the CRC of the concatenation.
uint32_t crc32Update(const void* data, size_t length, uint32_t state);

// The CRC-32 of two pieces one after the other, from the CRC of each and the
// length of the second.
uint32_t crc32Combine(uint32_t first, uint32_t second, uint64_t secondLength);

}  // namespace qestl
