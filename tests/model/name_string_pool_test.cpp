// The name strings of an image: each text once, found again through every
// growth of the table and every widening of its offsets, a text with a NUL
// inside apart from its prefix.
#include <gtest/gtest.h>

#include <string>

#include "foundation/text_map.h"
#include "model/name_string_pool.h"

namespace {

TEST(NameStringPool, EachTextOnceThroughEveryGrowth) {
    model::NameStringPool pool;
    EXPECT_EQ(pool.offsetOf("f"), 0u);
    EXPECT_EQ(pool.offsetOf(""), 2u);
    EXPECT_EQ(pool.offsetOf(std::string_view("f\0g", 3)), 3u);
    std::vector<uint64_t> offsets;
    for (int i = 0; i < 5000; ++i) offsets.push_back(pool.offsetOf("name" + std::to_string(i)));
    for (int i = 4999; i >= 0; --i) ASSERT_EQ(pool.offsetOf("name" + std::to_string(i)), offsets[i]);
    EXPECT_EQ(pool.offsetOf(""), 2u);
    EXPECT_EQ(pool.offsetOf("f"), 0u);
    const std::string head(reinterpret_cast<const char*>(pool.bytes().data()), 12);
    EXPECT_EQ(head, std::string("f\0\0f\0g\0name0", 12));
    pool.clear();
    EXPECT_EQ(pool.offsetOf("name7"), 0u);
    EXPECT_EQ(pool.bytes().size(), 6u);
    // Named again in the order they were entered, texts are found in place;
    // a text with a NUL is not taken for the two behind it.
    pool.clear();
    const uint64_t a = pool.offsetOf("a"), b = pool.offsetOf("b"), c = pool.offsetOf("c");
    EXPECT_EQ(pool.offsetOf("a"), a);
    EXPECT_EQ(pool.offsetOf("b"), b);
    EXPECT_EQ(pool.offsetOf("c"), c);
    EXPECT_EQ(pool.foundInPlace(), 2u);
    EXPECT_EQ(pool.offsetOf("a"), a);
    EXPECT_EQ(pool.offsetOf(std::string_view("b\0c", 3)), 6u);
    EXPECT_EQ(pool.offsetOf("c"), c);
    EXPECT_EQ(pool.offsetOf("b"), b);
    // Long texts take the pool past the offsets its table was made for
    // (the text with a NUL among them): each is found again where it lies.
    std::vector<uint64_t> far;
    for (int i = 0; i < 3000; ++i) far.push_back(pool.offsetOf(std::string(60, 'x') + std::to_string(i)));
    EXPECT_GT(pool.bytes().size(), size_t{1} << 17);
    for (int i = 2999; i >= 0; --i) ASSERT_EQ(pool.offsetOf(std::string(60, 'x') + std::to_string(i)), far[i]);
    EXPECT_EQ(pool.offsetOf(std::string_view("b\0c", 3)), 6u);
    EXPECT_EQ(pool.offsetOf("c"), c);
}

TEST(TextMap, TheFirstValueStaysThroughEveryGrowth) {
    qestl::TextMap<int> map;
    EXPECT_EQ(map.find("a"), nullptr);
    for (int i = 0; i < 3000; ++i) map.findOrAdd(std::to_string(i), i);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(map.findOrAdd(std::to_string(i), -1), i);
    ASSERT_NE(map.find("2999"), nullptr);
    EXPECT_EQ(*map.find("2999"), 2999);
    EXPECT_EQ(map.find("3000"), nullptr);
    EXPECT_EQ(map.size(), 3000u);
    map.clear();
    EXPECT_EQ(map.find("1"), nullptr);
}

}  // namespace
