#include <gtest/gtest.h>

#include "foundation/ascii_case.h"

namespace {

TEST(AsciiCase, OnlyAsciiLettersFold) {
    EXPECT_EQ(qestl::lowerAscii('Q'), 'q');
    EXPECT_EQ(qestl::lowerAscii('@'), '@');  // just below 'A'
    EXPECT_EQ(qestl::lowerAscii('['), '[');  // just above 'Z'
    EXPECT_EQ(qestl::lowerAscii(static_cast<char>(0xC3)), static_cast<char>(0xC3));
    EXPECT_EQ(qestl::lowerAscii(u'\u00C9'), u'\u00C9');
    EXPECT_TRUE(qestl::equalIgnoringAsciiCase(u"Page.KSP", u"page.ksp"));
    EXPECT_FALSE(qestl::equalIgnoringAsciiCase(u"\u00C9", u"\u00E9"));
}

TEST(AsciiCase, CountedAndTerminatedComparisons) {
    // Whole texts: a prefix is not equal.
    EXPECT_FALSE(qestl::equalIgnoringAsciiCase("name", "NAMES"));
    EXPECT_TRUE(qestl::equalIgnoringAsciiCase("Name", "nAME"));
    // Counted: only the first n units count.
    EXPECT_TRUE(qestl::equalIgnoringAsciiCase("KSPX", "kspy", 3));
    EXPECT_FALSE(qestl::equalIgnoringAsciiCase("KSPX", "kspy", 4));
    // Terminators in both end a counted comparison early.
    EXPECT_TRUE(qestl::equalIgnoringAsciiCase("ab", "AB", 10));
}

TEST(AsciiCase, SameLengthComparisons) {
    EXPECT_TRUE(qestl::sameIgnoringAsciiCase("Abc", 3, "aBC", 3));
    EXPECT_FALSE(qestl::sameIgnoringAsciiCase("ab", 2, "abc", 3));
    EXPECT_FALSE(qestl::sameIgnoringAsciiCase("abd", 3, "abc", 3));
    EXPECT_FALSE(qestl::sameIgnoringAsciiCase("a[", 2, "a{", 2));  // only letters fold
    EXPECT_TRUE(qestl::sameIgnoringAsciiCase("a\0B", 3, "a\0b", 3));  // a terminator is one more unit
    EXPECT_TRUE(qestl::sameIgnoringAsciiCase(u"Dir", 3, u"dIR", 3));
}

}  // namespace
