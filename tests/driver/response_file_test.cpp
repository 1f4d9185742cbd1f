#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/response_file.h"

namespace {

std::vector<std::string> split(const char* text) {
    qestl::qestringW wide = qestl::widen(text);
    qestl::WStringVector tokens = splitResponseFile(wide.c_str(), wide.length());
    std::vector<std::string> out;
    for (const qestl::qestringW& token : tokens) out.emplace_back(qestl::narrow(token).c_str());
    return out;
}

using Tokens = std::vector<std::string>;

TEST(ResponseFile, SeparatorsAndTheProgramSlot) {
    EXPECT_EQ(split(""), Tokens{""});
    EXPECT_EQ(split(" \t\r\n"), Tokens{""});
    EXPECT_EQ(split("-c\ta.k\r\n\r\n-o  out"), (Tokens{"", "-c", "a.k", "-o", "out"}));
    EXPECT_EQ(split("last"), (Tokens{"", "last"}));
}

TEST(ResponseFile, QuotedNamesKeepTheirBlanks) {
    EXPECT_EQ(split("-c \"my file.k\" -o out"), (Tokens{"", "-c", "my file.k", "-o", "out"}));
    EXPECT_EQ(split("\"tab\there\"\n"), (Tokens{"", "tab\there"}));
    EXPECT_EQ(split("\"at the end\""), (Tokens{"", "at the end"}));
    // A quote inside a token groups without being removed.
    EXPECT_EQ(split("-o dir\\\"a b\" x"), (Tokens{"", "-o", "dir\\\"a b\"", "x"}));
}

TEST(ResponseFile, QuotesThatDoNotCloseWhereExpected) {
    // The token loses its last unit whatever it is.
    EXPECT_EQ(split("\"ab\"c d"), (Tokens{"", "ab\"", "d"}));
    EXPECT_EQ(split("\"open to the end"), (Tokens{"", "open to the en"}));
    // Empty and lone quotes give empty tokens, never a negative length.
    EXPECT_EQ(split("\"\" x"), (Tokens{"", "", "x"}));
    EXPECT_EQ(split("\""), (Tokens{"", ""}));
    EXPECT_EQ(split("a \""), (Tokens{"", "a", ""}));
}

TEST(ResponseFile, NonAsciiTextPassesThrough) {
    EXPECT_EQ(split("\"源 文件.k\" b"), (Tokens{"", "源 文件.k", "b"}));
}

}  // namespace
