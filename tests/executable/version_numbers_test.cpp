// Version texts of the .version file as the version resource reads them.
#include <gtest/gtest.h>

#include "executable/pe_resources.h"

namespace {

struct Expected {
    const char* text;
    int count;
    uint16_t numbers[4];
};

TEST(VersionNumbers, SignsOctalAndStops) {
    const Expected cases[] = {
        {"1.2.3.4", 4, {1, 2, 3, 4}},
        {"1.2", 2, {1, 2, 0, 0}},
        {"010.2", 2, {8, 2, 0, 0}},          // a leading 0 means octal
        {"09.1", 2, {0, 1, 0, 0}},           // 9 is no octal digit: the number stops before it
        {"+3.-1", 2, {3, 0xFFFF, 0, 0}},     // signs, kept in 16 bits
        {"1..2.3.4.5", 4, {1, 0, 2, 3}},     // an empty part is 0; a fifth is ignored
        {"2b.7 beta", 2, {2, 7, 0, 0}},      // each number ends at its first non-digit
        {"70000", 1, {70000 & 0xFFFF, 0, 0, 0}},
    };
    for (const Expected& c : cases) {
        uint16_t numbers[4];
        EXPECT_EQ(parseVersionNumbers(c.text, numbers), c.count) << c.text;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(numbers[i], c.numbers[i]) << c.text << " #" << i;
    }
}

}  // namespace
