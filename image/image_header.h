// Fixed parts of the program image: the header's computed fields, the heap
// padding and the checksums of its regions.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/byte_io.h"

// Bytes of a program image that stay uncompressed: the 8-byte prefix and the
// 128-byte header; the seven section values follow, then the first body
// record.
inline constexpr uint32_t kImageHeadBytes = 136;
inline constexpr uint64_t kImageBodyStart = 192;
inline constexpr uint32_t kImageMagic = 0x2021424B;  // "KB! ", little-endian
inline constexpr uint32_t kImageFormatVersion = 1049;
inline constexpr uint32_t kImageHeaderFlags = 0x1000;
// Header fields a reader needs: the format version behind the magic, the
// options word (bit 0 compressed, bit 1 a shared module), the end address
// (the plain image's length), the raw block's length (compressed images)
// and the seven section values.
inline constexpr uint32_t kImageVersionAt = 4;
inline constexpr uint32_t kImageOptionsAt = 28;
inline constexpr uint32_t kImageEndAt = 44;
inline constexpr uint32_t kImageRawBlockAt = 72;
inline constexpr uint32_t kImageSectionsAt = kImageHeadBytes;
inline constexpr uint64_t kImageCompressedFlag = 1;
inline constexpr uint64_t kImageSharedModuleFlag = 2;
// No image we write comes near it; a header claiming more is damage, so a
// small file cannot make a reader decode gigabytes.
inline constexpr uint64_t kImageLargestEnd = uint64_t{1} << 30;

// The header's fields from the program version on (offsets 8 to 84), as
// they are written one after another.
struct ImageHeader {
    uint64_t version;
    uint32_t flags;
    uint32_t word9;
    uint32_t word4;
    uint64_t imageOptions;
    uint64_t timeStamp;
    uint64_t endAddress;
    uint32_t zero;
    uint32_t crcWhole;
    uint32_t crcRegion1;
    uint32_t crcRegion2;
    uint32_t crcRegion3;
    // With -z the raw block's length, else the address of the instruction
    // the context's exception operand refers to (0 when none).
    uint64_t rawBlockLength;
    uint32_t language;
};
// Writes the fields without gaps (76 bytes); the bytes written.
uint64_t writeImageHeaderFields(const ImageHeader& header, qestl::ByteWriter& out);

// The Windows language identifier of a three-letter abbreviation, compared
// without case; 0 when none matches.
uint32_t languageIdOf(std::string_view abbreviation);

// Milliseconds since 1970 as the header stamps them: whole seconds times
// 1000 plus the millisecond field of the local time; a reproducible build's
// fixed time (platform/system.h) in whole seconds when one is set.
uint64_t imageTimeStamp();

// zlib's CRC-32 of bytes [start, end) (0 for an empty range).
uint32_t regionCrc(const uint8_t* bytes, uint64_t start, uint64_t end);
