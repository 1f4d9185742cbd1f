#include "foundation/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

namespace {

TEST(Crc32, AgreesWithZlibAtEveryLengthOffsetAndState) {
    std::vector<uint8_t> bytes(1200);
    uint32_t seed = 12345;
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    for (size_t offset : {0, 1, 7}) {
        for (size_t length = 0; length + offset <= bytes.size(); length += length < 300 ? 1 : 37) {
            for (uint32_t state : {0u, 0xCBF43926u}) {
                const uint8_t* at = bytes.data() + offset;
                const auto expected = static_cast<uint32_t>(crc32(state, at, static_cast<uInt>(length)));
                ASSERT_EQ(qestl::crc32Update(at, length, state), expected) << offset << " " << length;
            }
        }
    }
    EXPECT_EQ(qestl::crc32Update("123456789", 9, 0), 0xCBF43926u);
}

}  // namespace
