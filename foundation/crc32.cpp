#include "foundation/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace qestl {

uint32_t crc32Update(const void* data, size_t length, uint32_t state) {
    // zlib takes a 32-bit length; feed longer buffers in pieces.
    const auto* bytes = static_cast<const Bytef*>(data);
    uLong crc = state;
    while (length > 0) {
        const uInt piece = static_cast<uInt>(std::min<size_t>(length, 0x40000000));
        crc = crc32(crc, bytes, piece);
        bytes += piece;
        length -= piece;
    }
    return static_cast<uint32_t>(crc);
}

uint32_t crc32Combine(uint32_t first, uint32_t second, uint64_t secondLength) {
    return static_cast<uint32_t>(crc32_combine(first, second, static_cast<z_off_t>(secondLength)));
}

}  // namespace qestl
