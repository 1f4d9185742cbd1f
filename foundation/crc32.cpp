#include "foundation/crc32.h"

#include <zlib.h>

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace qestl {

namespace {

uint32_t crc32Bytewise(const uint8_t* bytes, size_t length, uint32_t state) {
    // zlib takes a 32-bit length; feed longer buffers in pieces.
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

// `into` carried over the next sixteen bytes and added to them.
[[gnu::target("pclmul,sse4.1")]] inline __m128i fold16(__m128i into, __m128i next, __m128i constants) {
    const __m128i low = _mm_clmulepi64_si128(into, constants, 0x00);
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(into, constants, 0x11), next), low);
}

// An image is some hundred kilobytes, checksummed whole: folding sixteen
// bytes per carry-less multiply costs a tenth of the table-driven loop.
// `crc` is the register (not inverted); `length` is at least 64 and a
// multiple of 16. The constants are x^(k) mod P for the reflected
// polynomial, as in Intel's paper on folding CRCs with PCLMULQDQ.
inline __m128i load(const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

[[gnu::target("pclmul,sse4.1")]] uint32_t crc32Folded(const uint8_t* bytes, size_t length, uint32_t crc) {
    alignas(16) static const uint64_t k1k2[] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static const uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const uint64_t poly[] = {0x01db710641, 0x01f7011641};

    __m128i x1 = load(bytes);
    __m128i x2 = load(bytes + 16);
    __m128i x3 = load(bytes + 32);
    __m128i x4 = load(bytes + 48);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    bytes += 64;
    length -= 64;
    while (length >= 64) {
        const __m128i x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
        const __m128i x6 = _mm_clmulepi64_si128(x2, x0, 0x00);
        const __m128i x7 = _mm_clmulepi64_si128(x3, x0, 0x00);
        const __m128i x8 = _mm_clmulepi64_si128(x4, x0, 0x00);
        x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, x0, 0x11), x5), load(bytes));
        x2 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x2, x0, 0x11), x6), load(bytes + 16));
        x3 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x3, x0, 0x11), x7), load(bytes + 32));
        x4 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x4, x0, 0x11), x8), load(bytes + 48));
        bytes += 64;
        length -= 64;
    }
    // Four lanes into one.
    x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = fold16(x1, x2, x0);
    x1 = fold16(x1, x3, x0);
    x1 = fold16(x1, x4, x0);
    while (length >= 16) {
        x1 = fold16(x1, load(bytes), x0);
        bytes += 16;
        length -= 16;
    }
    // 128 bits to 64, then the Barrett reduction to 32.
    x2 = _mm_clmulepi64_si128(x1, x0, 0x10);
    x3 = _mm_setr_epi32(~0, 0, ~0, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    x0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, x3);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, x0, 0x00), x2);
    x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2 = _mm_and_si128(x1, x3);
    x2 = _mm_clmulepi64_si128(x2, x0, 0x10);
    x2 = _mm_and_si128(x2, x3);
    x2 = _mm_clmulepi64_si128(x2, x0, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

bool foldingAvailable() {
    static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return available;
}

#endif

}  // namespace

uint32_t crc32Update(const void* data, size_t length, uint32_t state) {
    const auto* bytes = static_cast<const uint8_t*>(data);
#if defined(__x86_64__)
    if (length >= 64 && foldingAvailable()) {
        const size_t folded = length & ~size_t{15};
        state = ~crc32Folded(bytes, folded, ~state);
        bytes += folded;
        length -= folded;
    }
#endif
    return crc32Bytewise(bytes, length, state);
}

uint32_t crc32Combine(uint32_t first, uint32_t second, uint64_t secondLength) {
    return static_cast<uint32_t>(crc32_combine(first, second, static_cast<z_off_t>(secondLength)));
}

}  // namespace qestl
