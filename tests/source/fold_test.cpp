#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "source/fold.h"
#include "syntax/scanner.h"

namespace {

constexpr uint32_t kString = 9, kChar = 10, kInt = 12, kFloat = 13;

struct Folded {
    fold::Outcome outcome;
    uint32_t kind;
    std::string text;
};

Folded run(fold::Result (*f)(std::string_view, const fold::Literal&, const fold::Literal&), const char* op,
           fold::Literal a, fold::Literal b) {
    fold::Result r = f(op, a, b);
    return {r.outcome, r.kind, std::string(r.text.view())};
}

Folded add(const char* op, fold::Literal a, fold::Literal b) { return run(fold::additive, op, a, b); }
Folded mul(const char* op, fold::Literal a, fold::Literal b) { return run(fold::multiplicative, op, a, b); }
Folded bit(const char* op, fold::Literal a, fold::Literal b) { return run(fold::bitwise, op, a, b); }

void expectFolded(const Folded& f, uint32_t kind, const char* text) {
    EXPECT_EQ(f.outcome, fold::Outcome::Folded);
    EXPECT_EQ(f.kind, kind);
    EXPECT_EQ(f.text, text);
}

TEST(Fold, IntegerArithmeticKeepsTheLongSuffix) {
    expectFolded(add("+", {kInt, "1"}, {kInt, "2"}), kInt, "3");
    expectFolded(add("+", {kInt, "1l"}, {kInt, "2"}), kInt, "3l");
    expectFolded(add("-", {kInt, "1"}, {kInt, "5L"}), kInt, "-4l");
    expectFolded(mul("/", {kInt, "7"}, {kInt, "2"}), kInt, "3");
    expectFolded(mul("%", {kInt, "-7"}, {kInt, "2"}), kInt, "-1");
    expectFolded(mul("*", {kInt, "010"}, {kInt, "2"}), kInt, "16");  // a leading 0 is octal
}

TEST(Fold, HexLiteralsUpToEightDigitsAre32BitPatterns) {
    expectFolded(add("+", {kInt, "0x10"}, {kInt, "1"}), kInt, "17");
    expectFolded(add("+", {kInt, "0xFFFFFFFF"}, {kInt, "0"}), kInt, "-1");
    expectFolded(add("+", {kInt, "0x80000000"}, {kInt, "0"}), kInt, "-2147483648");
}

TEST(Fold, WideOrLongHexLiteralsKeepAll64Bits) {
    expectFolded(add("+", {kInt, "0x100000000"}, {kInt, "1"}), kInt, "4294967297");
    expectFolded(add("+", {kInt, "0xFFFFFFFFL"}, {kInt, "0"}), kInt, "4294967295l");
    expectFolded(add("+", {kInt, "0x00000000FFFFFFFF"}, {kInt, "0"}), kInt, "4294967295");
    expectFolded(add("+", {kInt, "0xFFFFFFFFFFFFFFFF"}, {kInt, "0"}), kInt, "-1");
}

TEST(Fold, NegatedHexLiteralKeepsItsValue) {
    expectFolded(add("+", {kInt, "-0x10"}, {kInt, "1"}), kInt, "-15");
}

TEST(Fold, OverflowWrapsAndMinimumOverMinusOneIsDefined) {
    expectFolded(add("+", {kInt, "9223372036854775807"}, {kInt, "1"}), kInt, "-9223372036854775808");
    expectFolded(add("-", {kInt, "-9223372036854775808"}, {kInt, "1"}), kInt, "9223372036854775807");
    expectFolded(mul("*", {kInt, "4611686018427387904"}, {kInt, "4"}), kInt, "0");
    expectFolded(mul("/", {kInt, "-9223372036854775808"}, {kInt, "-1"}), kInt, "-9223372036854775808");
    expectFolded(mul("%", {kInt, "-9223372036854775808"}, {kInt, "-1"}), kInt, "0");
}

TEST(Fold, MixedIntegerAndFloat) {
    expectFolded(add("+", {kInt, "1"}, {kFloat, "2.5"}), kFloat, "3.500000000000000");
    expectFolded(add("+", {kFloat, "2.5"}, {kInt, "1"}), kFloat, "3.500000000000000");
    expectFolded(add("-", {kInt, "0x10"}, {kFloat, "0.5"}), kFloat, "15.500000000000000");
    expectFolded(mul("/", {kFloat, "1.0"}, {kInt, "4"}), kFloat, "0.250000000000000");
    expectFolded(mul("%", {kFloat, "7.0"}, {kInt, "2"}), kFloat, "1");
    // The lowest 64-bit value itself still truncates to an integer.
    expectFolded(mul("%", {kInt, "-9223372036854775808"}, {kFloat, "-1.0"}), kFloat, "0");
    EXPECT_EQ(mul("%", {kFloat, "1e19"}, {kInt, "3"}).outcome, fold::Outcome::NotFolded);
    EXPECT_EQ(add("+", {kFloat, "2.5"}, {kFloat, "2.5"}).outcome, fold::Outcome::NotFolded);
}

TEST(Fold, FloatTextReadsBackToTheFoldedValue) {
    Folded tiny = mul("*", {kInt, "2"}, {kFloat, "1e-20"});
    EXPECT_EQ(tiny.kind, kFloat);
    EXPECT_EQ(std::strtod(tiny.text.c_str(), nullptr), 2 * 1e-20);
    Folded third = mul("/", {kInt, "1"}, {kFloat, "3.0"});
    EXPECT_EQ(std::strtod(third.text.c_str(), nullptr), 1 / 3.0);
    // Values "%.15f" renders exactly keep that form.
    expectFolded(add("+", {kInt, "1"}, {kFloat, "0.125"}), kFloat, "1.125000000000000");
    // Any other value is written in at most 17 significant digits that the
    // compiler's own reader takes back to the same double.
    for (double value : {2 / 3.0, 0.1 + 0.2, 3 * 2.2250738585072014e-308, 1e-20 * 7, -123456.789e200}) {
        const qestl::qestringA text = fold::floatText(value);
        EXPECT_EQ(parseFloatText(text.c_str()), value) << text.c_str();
        std::string digits;
        for (const char* c = text.c_str(); *c != '\0' && *c != 'e'; ++c)
            if (*c >= '0' && *c <= '9') digits += *c;
        const size_t first = digits.find_first_not_of('0'), last = digits.find_last_not_of('0');
        EXPECT_LE(last - first + 1, 17u) << text.c_str();
    }
}

TEST(Fold, NonFiniteResultIsLeftAlone) {
    EXPECT_EQ(mul("*", {kFloat, "1e308"}, {kInt, "10"}).outcome, fold::Outcome::NotFolded);
}

TEST(Fold, StringsAndCharactersConcatenate) {
    // The right text is what the left operand's text is extended by.
    const Folded strings = add("+", {kString, "ab"}, {kString, "cd"});
    EXPECT_EQ(strings.outcome, fold::Outcome::Appended);
    EXPECT_EQ(strings.kind, kString);
    EXPECT_EQ(strings.text, "cd");
    const Folded mixed = add("+", {kChar, "a"}, {kString, "b"});
    EXPECT_EQ(mixed.outcome, fold::Outcome::Appended);
    EXPECT_EQ(mixed.kind, kChar);
    EXPECT_EQ(add("-", {kString, "ab"}, {kString, "cd"}).outcome, fold::Outcome::NotFolded);
    EXPECT_EQ(add("+", {kString, "ab"}, {kInt, "1"}).outcome, fold::Outcome::NotFolded);
}

TEST(Fold, ShiftsAndBitOperators) {
    expectFolded(bit("<<", {kInt, "1"}, {kInt, "65"}), kInt, "2");
    expectFolded(bit(">>", {kInt, "-8"}, {kInt, "1"}), kInt, "-4");
    expectFolded(bit("<<", {kInt, "1"}, {kInt, "63"}), kInt, "-9223372036854775808");
    expectFolded(bit(">>", {kInt, "16"}, {kInt, "-1"}), kInt, "0");  // -1 is 63 modulo 64
    expectFolded(bit("|", {kInt, "5"}, {kInt, "2"}), kInt, "7");
    expectFolded(bit("&", {kInt, "6"}, {kInt, "3l"}), kInt, "2l");
    expectFolded(bit("^", {kInt, "6"}, {kInt, "3"}), kInt, "5");
    EXPECT_EQ(bit("|", {kFloat, "1.0"}, {kInt, "2"}).outcome, fold::Outcome::NotFolded);
}

TEST(Fold, DivisionByZero) {
    EXPECT_EQ(mul("/", {kInt, "1"}, {kInt, "0"}).outcome, fold::Outcome::DivideByZero);
    EXPECT_EQ(mul("%", {kInt, "1"}, {kInt, "0"}).outcome, fold::Outcome::DivideByZero);
    EXPECT_EQ(mul("/", {kFloat, "1.5"}, {kInt, "0"}).outcome, fold::Outcome::DivideByZero);
    EXPECT_EQ(mul("%", {kInt, "3"}, {kFloat, "0.5"}).outcome, fold::Outcome::DivideByZero);
    EXPECT_EQ(mul("%", {kFloat, "1.5"}, {kFloat, "0.5"}).outcome, fold::Outcome::NotFolded);
    expectFolded(mul("*", {kInt, "5"}, {kInt, "0"}), kInt, "0");
}

}  // namespace
