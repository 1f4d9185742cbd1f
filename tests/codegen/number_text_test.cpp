#include <gtest/gtest.h>

#include <cstring>

#include "codegen/number_text.h"

namespace {

bool number(const char* text, bool hexOnly) { return isNumberText(text, text + std::strlen(text), hexOnly); }

TEST(NumberText, DecimalAndHexForms) {
    EXPECT_TRUE(number("0x1f", true));
    EXPECT_TRUE(number("x1F", true));
    EXPECT_FALSE(number("-1", true));
    EXPECT_TRUE(number("-1.5h", false));
    EXPECT_FALSE(number("1.5hh", false));
    // Only the given span counts, not what follows it.
    const char text[] = "12abc";
    EXPECT_TRUE(isNumberText(text, text + 2, false));
}

}  // namespace
