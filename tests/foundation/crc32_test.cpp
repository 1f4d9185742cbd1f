#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "foundation/crc32.h"

// Long buffers are folded sixteen bytes at a time and the rest taken byte by
// byte: every length around the block sizes, at unaligned starts and from
// chained states, must give zlib's value.
TEST(Crc32, AgreesWithZlibAtEveryLengthAndStart) {
    std::vector<unsigned char> bytes(4096 + 8);
    uint32_t seed = 12345;
    for (unsigned char& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 16);
    }
    for (size_t length = 0; length <= 300; ++length) {
        for (size_t start : {0, 1, 5}) {
            const uint32_t state = static_cast<uint32_t>(length * 2654435761u);
            EXPECT_EQ(qestl::crc32Update(bytes.data() + start, length, state),
                      static_cast<uint32_t>(crc32(state, bytes.data() + start, static_cast<uInt>(length))))
                << "length " << length << " start " << start;
        }
    }
    EXPECT_EQ(qestl::crc32Update(bytes.data() + 3, 4096, 0), static_cast<uint32_t>(crc32(0, bytes.data() + 3, 4096)));
}
