#include "foundation/crc32.h"

#include <zlib.h>

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace qestl {

namespace {

// zlib takes a 32-bit length; longer buffers go in pieces.
uint32_t crcByTable(const Bytef* bytes, size_t length, uint32_t state) {
    uLong crc = state;
    while (length > 0) {
        const uInt piece = static_cast<uInt>(std::min<size_t>(length, 0x40000000));
        crc = crc32(crc, bytes, piece);
        bytes += piece;
        length -= piece;
    }
    return static_cast<uint32_t>(crc);
}

#if defined(__x86_64__)

// Below this the table is as quick as setting the folding up.
constexpr size_t kFoldingLeast = 256;

// An image is checked whole, tens of megabytes for a large program, where a
// byte at a time through a table took a few percent of the compile. With
// carry-less multiplication 16 bytes at a time are folded into the ones 64
// (or 16) bytes further on, which leaves the same remainder: the CRC of the
// last 16 bytes, folded into, from a zero register, is the CRC of the whole.
// The constants are x^(d+32) and x^(d-32) modulo the polynomial, bit-reflected
// and shifted one place, for a folding distance d of 512 and 128 bits.
[[gnu::target("pclmul,sse2")]] __m128i fold(__m128i value, __m128i constants, __m128i into) {
    const __m128i low = _mm_clmulepi64_si128(value, constants, 0x00);
    const __m128i high = _mm_clmulepi64_si128(value, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), into);
}

[[gnu::target("pclmul,sse2")]] __m128i load(const Bytef* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// At least 64 bytes; leaves what is short of 16 bytes to the caller.
[[gnu::target("pclmul,sse2")]] uint32_t crcByFolding(const Bytef*& bytes, size_t& length, uint32_t state) {
    const __m128i by64 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    const __m128i by16 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    // zlib's state is the register inverted.
    __m128i x0 = _mm_xor_si128(load(bytes), _mm_cvtsi32_si128(static_cast<int>(~state)));
    __m128i x1 = load(bytes + 16);
    __m128i x2 = load(bytes + 32);
    __m128i x3 = load(bytes + 48);
    bytes += 64;
    length -= 64;
    for (; length >= 64; bytes += 64, length -= 64) {
        x0 = fold(x0, by64, load(bytes));
        x1 = fold(x1, by64, load(bytes + 16));
        x2 = fold(x2, by64, load(bytes + 32));
        x3 = fold(x3, by64, load(bytes + 48));
    }
    __m128i x = fold(fold(fold(x0, by16, x1), by16, x2), by16, x3);
    for (; length >= 16; bytes += 16, length -= 16) x = fold(x, by16, load(bytes));
    alignas(16) Bytef last[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
    // From a zero register: the state that inverts to it.
    return static_cast<uint32_t>(crc32(0xFFFFFFFFu, last, sizeof last));
}

bool canFold() {
    static const bool supported = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return supported;
}

#endif

}  // namespace

uint32_t crc32Update(const void* data, size_t length, uint32_t state) {
    const auto* bytes = static_cast<const Bytef*>(data);
#if defined(__x86_64__)
    if (length >= kFoldingLeast && canFold()) state = crcByFolding(bytes, length, state);
#endif
    return crcByTable(bytes, length, state);
}

uint32_t crc32Combine(uint32_t first, uint32_t second, uint64_t secondLength) {
    return static_cast<uint32_t>(crc32_combine(first, second, static_cast<z_off_t>(secondLength)));
}

}  // namespace qestl
