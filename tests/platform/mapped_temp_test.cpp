#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/mapped_temp.h"

namespace {

TEST(MappedTemp, StorageStartsZeroedAndIsWritable) {
    const size_t size = 3 * 4096 + 17;  // not a page multiple
    auto* view = static_cast<uint8_t*>(platform::createMappedTemp(size));
    ASSERT_NE(view, nullptr);
    for (size_t i = 0; i < size; i += 997) EXPECT_EQ(view[i], 0) << i;
    EXPECT_EQ(view[size - 1], 0);
    std::memset(view, 0x5A, size);
    EXPECT_EQ(view[size - 1], 0x5A);
    platform::releaseMappedTemp(view, size);
}

}  // namespace
