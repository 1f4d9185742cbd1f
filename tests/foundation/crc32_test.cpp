#include <gtest/gtest.h>

#include <cstdint>
#include <vector>
#include <zlib.h>

#include "foundation/crc32.h"

namespace {

// The folded sum must agree with zlib's bytewise one at every length around
// the block sizes, from any state and at any alignment.
TEST(Crc32, AgreesWithZlibAcrossLengthsStatesAndAlignments) {
    std::vector<uint8_t> bytes(1200);
    uint32_t seed = 12345;
    for (uint8_t& b : bytes) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    for (size_t at : {0, 1, 7}) {
        for (size_t length = 0; length + at <= bytes.size(); length += length < 300 ? 1 : 97) {
            for (uint32_t state : {0u, 0xDEADBEEFu}) {
                const uint32_t expected = static_cast<uint32_t>(
                    crc32(state, bytes.data() + at, static_cast<uInt>(length)));
                EXPECT_EQ(qestl::crc32Update(bytes.data() + at, length, state), expected) << at << " " << length;
            }
        }
    }
}

}  // namespace
