#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "foundation/base64.h"
#include "foundation/qestring.h"
#include "foundation/text_escape.h"
#include "foundation/text_map.h"
#include "foundation/text_number.h"

using qestl::qestringA;

namespace {

std::string bytesOf(const qestringA& text) { return std::string(text.c_str(), text.length()); }

// A string over a heap block of exactly n bytes with no terminator behind
// it: any read past the length is caught by the address sanitizer.
struct ExactText {
    explicit ExactText(const std::string& bytes) : block(new char[bytes.size() ? bytes.size() : 1]) {
        std::memcpy(block.get(), bytes.data(), bytes.size());
        text.borrow(block.get(), bytes.size(), bytes.size());
    }
    std::unique_ptr<char[]> block;
    qestringA text;
};

TEST(TextNumber, HexText) {
    EXPECT_EQ(qestl::parseHexInt(qestringA("0xff")), 255u);
    EXPECT_EQ(qestl::parseHexInt(qestringA("xFF")), 255u);
    EXPECT_EQ(qestl::parseHexInt(qestringA("ff")), 255u);
    EXPECT_EQ(qestl::parseHexInt(qestringA("0xDEADbeefZZ")), 0xDEADBEEFu);
    EXPECT_EQ(qestl::parseHexInt(qestringA("g1")), 0u);
    EXPECT_EQ(qestl::parseHexInt(qestringA("123456789")), 0x23456789u);  // the top digit shifts out
    ExactText cut("0x");
    EXPECT_EQ(qestl::parseHexInt(cut.text), 0u);
}

TEST(TextNumber, DecimalAndOctalText) {
    EXPECT_EQ(qestl::parseInt64(qestringA("-010")), -8);
    EXPECT_EQ(qestl::parseInt64(qestringA("019")), 17);
    EXPECT_EQ(qestl::parseInt64(qestringA("+12345678901")), 12345678901LL);
    EXPECT_EQ(qestl::parseInt64(qestringA("-9223372036854775808")), INT64_MIN);
    // Overflow wraps instead of being undefined.
    EXPECT_EQ(qestl::parseInt64(qestringA("18446744073709551617")), 1);
    ExactText sign("-");
    EXPECT_EQ(qestl::parseInt64(sign.text), 0);
}

TEST(TextNumber, SignedDigitsWrapAtEachReadersWidth) {
    const char16_t wide[] = u"-010";
    EXPECT_EQ(qestl::readSignedDigits(wide).as<int32_t>(), -8);
    const char big[] = "4294967297";  // 2^32 + 1
    EXPECT_EQ(qestl::readSignedDigits(big).as<int32_t>(), 1);
    EXPECT_EQ(qestl::readSignedDigits(big).as<int64_t>(), 4294967297LL);
    qestl::DigitRules octal;
    octal.octalDigitsOnly = true;
    EXPECT_EQ(qestl::readSignedDigits("019", octal).as<int32_t>(), 1);  // stops at 9
    EXPECT_EQ(qestl::readSignedDigits("019").as<int32_t>(), 17);        // 9 keeps its face value
    qestl::DigitRules bounded;
    bounded.stopAt = 100;
    EXPECT_EQ(qestl::readSignedDigits("123456", bounded).as<int64_t>(), 123);
}

TEST(TextNumber, IntegerLiterals) {
    struct Case {
        const char* text;
        int64_t value;
        bool isLong;
    } cases[] = {{"12", 12, false},
                 {"012", 10, false},
                 {"0x1F", 31, false},
                 {"0xFFFFFFFF", -1, false},
                 {"0xFFFFFFFFl", 0xFFFFFFFFLL, true},
                 {"0x100000000", 0x100000000LL, true},
                 {"3000000000", 3000000000LL, true},
                 {"12l", 12, true},
                 {"-5", -5, false},
                 {"-9223372036854775808", INT64_MIN, true}};
    for (const Case& c : cases) {
        const qestl::IntegerLiteral literal = qestl::readIntegerLiteral(c.text);
        EXPECT_EQ(literal.value, c.value) << c.text;
        EXPECT_EQ(literal.isLong, c.isLong) << c.text;
    }
}

TEST(TextNumber, NumericText) {
    for (const char* yes : {"12.5", "-3", "+7", "0x10", "10h", "10H", "", "..", "-"})
        EXPECT_TRUE(qestl::isNumericText(qestringA(yes))) << yes;
    for (const char* no : {"1e5", "h10", "1h2", "0xff", "-0x1", "1 ", "+-1"})
        EXPECT_FALSE(qestl::isNumericText(qestringA(no))) << no;
    const char hex[] = "0xBEEF";
    EXPECT_TRUE(qestl::isNumberSpan(hex, hex + 6, true));
    EXPECT_TRUE(qestl::isNumberSpan(hex + 1, hex + 6, true));  // a lone leading 'x'
    EXPECT_FALSE(qestl::isNumberSpan(hex, hex + 6, false));
    const char notHex[] = "12g";
    EXPECT_FALSE(qestl::isNumberSpan(notHex, notHex + 3, true));
}

TEST(TextEscape, ResolvesAndCounts) {
    qestringA text("a\\nb\\x41\\xg\\'\\\"\\?\\\\\\a\\v\\z");
    EXPECT_EQ(qestl::unescape(text), 10u);
    EXPECT_EQ(bytesOf(text), std::string("a\nbAxg'\"?\\\a\vz"));
    EXPECT_EQ(text.c_str()[text.length()], 0);
}

TEST(TextEscape, ZeroByteAndEndsOfText) {
    qestringA zero("a\\0b");
    EXPECT_EQ(qestl::unescape(zero), 1u);
    EXPECT_EQ(bytesOf(zero), std::string("a\0b", 3));
    // \x with one digit before the end, and a final backslash, read nothing past it.
    ExactText oneDigit("p\\x4");
    EXPECT_EQ(qestl::unescape(oneDigit.text), 1u);
    EXPECT_EQ(bytesOf(oneDigit.text), "px4");
    qestringA trailing("end\\");
    EXPECT_EQ(qestl::unescape(trailing), 0u);
    EXPECT_EQ(bytesOf(trailing), "end");
}

TEST(Base64, DecodesGroupsAndPadding) {
    EXPECT_EQ(bytesOf(qestl::decodeBase64(qestringA("TWFu"))), "Man");
    EXPECT_EQ(bytesOf(qestl::decodeBase64(qestringA("TWE="))), "Ma");
    EXPECT_EQ(bytesOf(qestl::decodeBase64(qestringA("TQ=="))), "M");
    EXPECT_EQ(bytesOf(qestl::decodeBase64(qestringA("TWFu\r\nTWFu\nTQ=="))), "ManManM");
}

TEST(Base64, ShortFinalGroupReadsAsPadded) {
    ExactText two("TWFuTQ");
    EXPECT_EQ(bytesOf(qestl::decodeBase64(two.text)), "ManM");
    ExactText three("TWFuTWE");
    EXPECT_EQ(bytesOf(qestl::decodeBase64(three.text)), "ManMa");
    ExactText one("TWFuT");
    EXPECT_EQ(qestl::decodeBase64(one.text).length(), 4u);
}

}  // namespace

// Each length takes its own way of comparing (loads that overlap, bytes one
// by one, memcmp): every byte counts at every length, and no read passes
// the end of either text.
TEST(TextMap, SameTextComparesEveryByteAndNoMore) {
    for (size_t n = 0; n <= 40; ++n) {
        std::string bytes(n, 'a');
        for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('a' + i % 26);
        const ExactText a(bytes);
        EXPECT_TRUE(qestl::sameText(a.text.view(), ExactText(bytes).text.view())) << n;
        EXPECT_FALSE(qestl::sameText(a.text.view(), ExactText(bytes + "a").text.view())) << n;
        for (size_t i = 0; i < n; ++i) {
            std::string changed = bytes;
            changed[i] = '#';
            EXPECT_FALSE(qestl::sameText(a.text.view(), ExactText(changed).text.view())) << n << " at " << i;
        }
    }
}
