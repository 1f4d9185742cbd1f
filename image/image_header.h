// Fixed parts of the program image: the header's computed fields, the heap
// padding and the checksums of its regions.
#pragma once

#include <cstdint>
#include <string_view>

// Bytes of a program image that stay uncompressed: the 8-byte prefix and the
// 128-byte header; the seven section values follow, then the first body
// record.
inline constexpr uint32_t kImageHeadBytes = 136;
inline constexpr uint64_t kImageBodyStart = 192;
inline constexpr uint32_t kImageFormatVersion = 1049;
inline constexpr uint32_t kImageHeaderFlags = 0x1000;
// Header fields a reader needs: the options word (bit 0 compressed, bit 1 a
// shared module), the end address (the plain image's length) and the raw
// block's length (compressed images).
inline constexpr uint32_t kImageOptionsAt = 28;
inline constexpr uint32_t kImageEndAt = 44;
inline constexpr uint32_t kImageRawBlockAt = 72;
inline constexpr uint64_t kImageCompressedFlag = 1;
inline constexpr uint64_t kImageSharedModuleFlag = 2;
// No image we write comes near it; a header claiming more is damage, so a
// small file cannot make a reader decode gigabytes.
inline constexpr uint64_t kImageLargestEnd = uint64_t{1} << 30;

// The Windows language identifier of a three-letter abbreviation, compared
// without case; 0 when none matches.
uint32_t languageIdOf(std::string_view abbreviation);

// Milliseconds since 1970 as the header stamps them: whole seconds times
// 1000 plus the millisecond field of the local time.
uint64_t imageTimeStamp();

// zlib's CRC-32 of bytes [start, end) (0 for an empty range).
uint32_t regionCrc(const uint8_t* bytes, uint64_t start, uint64_t end);
