#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "syntax/scanner.h"
#include "syntax/source_input.h"

namespace {

struct Token {
    TokenCode kind;
    std::string text;
    uint32_t line;
    uint32_t column;
};

// Every token of the text, white space and comments included; a bad byte
// ends the list with kind 0 and that byte as text.
std::vector<Token> scanAll(const std::string& text) {
    std::vector<Token> tokens;
    SourceInput input;
    input.setText(text.data(), text.size());
    for (;;) {
        TokenCode kind = 0;
        int32_t length = scanner::scanTokenAt(input.text, input.length, input.offset, &kind);
        if (length == 0) break;
        if (length < 0) {
            tokens.push_back({0, text.substr(static_cast<size_t>(input.offset), 1), input.line, input.column});
            break;
        }
        tokens.push_back({kind, text.substr(static_cast<size_t>(input.offset), static_cast<size_t>(length)),
                          input.line, input.column});
        input.advance(length);
    }
    return tokens;
}

// The kinds of the tokens other than white space, joined as "k:text k:text".
std::string kinds(const std::string& text) {
    std::string out;
    for (const Token& token : scanAll(text)) {
        if (token.kind == 14) continue;
        if (!out.empty()) out += ' ';
        out += std::to_string(token.kind) + ":" + token.text;
    }
    return out;
}

TEST(Scanner, OperatorsTakeTheLongestOfTheirFamily) {
    EXPECT_EQ(kinds("a>>=b"), "61:a 65:>>= 61:b");
    EXPECT_EQ(kinds("a>>b"), "61:a 76:> 76:> 61:b");
    EXPECT_EQ(kinds("a> >b"), "61:a 76:> 76:> 61:b");
    EXPECT_EQ(kinds("a<<=b a<<b a<=b a<b a>=b"),
              "61:a 65:<<= 61:b 61:a 72:<< 61:b 61:a 74:<= 61:b 61:a 75:< 61:b 61:a 73:>= 61:b");
    EXPECT_EQ(kinds("|= ^= &= %= /= *= -= +="), "65:|= 65:^= 65:&= 65:%= 65:/= 65:*= 65:-= 65:+=");
    EXPECT_EQ(kinds("|| && | ^ & == != ! ~"), "66:|| 67:&& 68:| 69:^ 70:& 71:== 71:!= 79:! 79:~");
    EXPECT_EQ(kinds("++ -- + - * / % = @"), "78:++ 78:-- 80:+ 80:- 81:* 81:/ 81:% 82:= 77:@");
    EXPECT_EQ(kinds("... . ( ) { } [ ] ; , : ?"), "83:... 84:. 85:( 86:) 87:{ 88:} 89:[ 90:] 91:; 92:, 62:: 63:?");
    EXPECT_EQ(kinds("-5"), "80:- 60:5");
    EXPECT_EQ(kinds("a---b"), "61:a 78:-- 80:- 61:b");
}

TEST(Scanner, KeywordsNeedAWordBoundary) {
    EXPECT_EQ(kinds("forx"), "61:forx");
    EXPECT_EQ(kinds("for("), "22:for 85:(");
    EXPECT_EQ(kinds("for"), "22:for");
    EXPECT_EQ(kinds("a to b total"), "61:a 15:to 61:b 61:total");
    EXPECT_EQ(kinds("throws throw format"), "37:throws 38:throw 61:format");
    EXPECT_EQ(kinds("synchronized_read synchronized_write synchronized"), "49:synchronized_read 50:synchronized_write 51:synchronized");
    EXPECT_EQ(kinds("final finally"), "48:final 47:finally");
    EXPECT_EQ(kinds("true null this For"), "61:true 61:null 61:this 61:For");
    EXPECT_EQ(kinds("@Declare class"), "52:@Declare 32:class");
    EXPECT_EQ(kinds("@Deprecated"), "77:@ 61:Deprecated");
    EXPECT_EQ(kinds("@Declared"), "77:@ 61:Declared");
}

TEST(Scanner, EveryKeywordScansAsItsOwnCode) {
    for (unsigned i = 0; i < kKeywordCount; ++i) {
        std::string text = kKeywordTable[i].text;
        ASSERT_EQ(kinds(text), std::to_string(kKeywordTable[i].kind) + ":" + text);
        ASSERT_EQ(kinds(text + "_"), text[0] == '@' ? "77:@ 61:" + text.substr(1) + "_" : "61:" + text + "_");
    }
}

TEST(Scanner, Numbers) {
    EXPECT_EQ(kinds("0x1fL"), "57:0x1fL");
    EXPECT_EQ(kinds("0xFFl 0x1"), "57:0xFFl 57:0x1");
    EXPECT_EQ(kinds("0xg"), "60:0 61:xg");
    EXPECT_EQ(kinds("0X1f"), "60:0 61:X1f");
    EXPECT_EQ(kinds(".5 1. 1e5 1.5E-3f 2f 1.e5 .5e+2F"), "58:.5 58:1. 58:1e5 58:1.5E-3f 58:2f 58:1.e5 58:.5e+2F");
    EXPECT_EQ(kinds("1e"), "60:1 61:e");
    EXPECT_EQ(kinds("1.5e"), "58:1.5 61:e");
    EXPECT_EQ(kinds("1e+"), "60:1 61:e 80:+");
    EXPECT_EQ(kinds("123L 123l 123"), "59:123L 59:123l 60:123");
    EXPECT_EQ(kinds("1..2"), "58:1. 58:.2");
    EXPECT_EQ(kinds("a.b"), "61:a 84:. 61:b");
}

TEST(Scanner, CommentsAndLiterals) {
    EXPECT_EQ(kinds("/**/x"), "64:/**/ 61:x");
    EXPECT_EQ(kinds("/*/ a */b"), "64:/*/ a */ 61:b");
    EXPECT_EQ(kinds("// note\nx"), "64:// note\n 61:x");
    // A line comment on a last line without a line feed is still a comment.
    EXPECT_EQ(kinds("x // note"), "61:x 64:// note");
    EXPECT_EQ(kinds("/* open"), "81:/ 81:* 61:open");
    EXPECT_EQ(kinds(R"("a\"b" 'c' '\'')"), R"(93:"a\"b" 94:'c' 94:'\'')");
    EXPECT_EQ(kinds("\"line\nbreak\""), "93:\"line\nbreak\"");
    EXPECT_EQ(kinds("\"open"), "0:\"");
    // A backslash among the last two bytes escapes nothing.
    EXPECT_EQ(kinds("\"\\\""), "93:\"\\\"");
    EXPECT_EQ(kinds(std::string("\"a\0b\"", 5)), "93:" + std::string("\"a\0b\"", 5));
}

TEST(Scanner, UnrecognisedBytes) {
    for (const char* text : {"#", "$", "`", "\\", "\x7f", "\xc3\xa9"}) EXPECT_EQ(kinds(text), std::string("0:") + text[0]);
    EXPECT_EQ(kinds(std::string("a\0", 2)), std::string("61:a 0:\0", 8));
    TokenCode kind = 99;
    EXPECT_EQ(scanner::scanTokenAt("", 0, 0, &kind), 0);
    EXPECT_EQ(kind, 99u);
}

TEST(Scanner, PositionsCountBytesAndLineFeeds) {
    std::vector<Token> tokens = scanAll("\tab\r\n  \xc3\xa9\"\xc3\xa9\" c");
    ASSERT_EQ(tokens.size(), 4u);  // scanning stops at the bad byte
    EXPECT_EQ(tokens[1].text, "ab");
    EXPECT_EQ(tokens[1].column, 1u);  // a tab is one column
    EXPECT_EQ(tokens[2].kind, 14u);   // CR LF and the indent are one run
    EXPECT_EQ(tokens[3].kind, 0u);    // a byte from 0x80 outside a literal
    EXPECT_EQ(tokens[3].line, 1u);
    EXPECT_EQ(tokens[3].column, 2u);
    std::vector<Token> after = scanAll("\"\xc3\xa9\" c\r\nd");
    EXPECT_EQ(after[2].column, 5u);  // the two UTF-8 bytes count as two columns
    EXPECT_EQ(after[4].line, 1u);
    EXPECT_EQ(after[4].column, 0u);
}

TEST(Scanner, TokensGiveBackTheInput) {
    const std::string text =
        "package p {\r\n\t/** doc */ class A : public B<C<D>> {\n  int f(int a) { return a>>=2 ? 0x1fL : 1.5e-3f; }\n"
        "  // trailing\n  String s = \"x\\\"y\"; char c = '\\n'; @Ann(k=v) };\n}; x >>= -5 to ... // end";
    std::string joined;
    for (const Token& token : scanAll(text)) {
        ASSERT_NE(token.kind, 0u) << token.text;
        joined += token.text;
    }
    EXPECT_EQ(joined, text);
}

TEST(TextValues, ParseFloatText) {
    EXPECT_DOUBLE_EQ(parseFloatText("1.5E-3f"), 1.5e-3);
    EXPECT_DOUBLE_EQ(parseFloatText(".25"), 0.25);
    EXPECT_DOUBLE_EQ(parseFloatText("-2.5"), -2.5);
    EXPECT_DOUBLE_EQ(parseFloatText("+3."), 3.0);
    EXPECT_DOUBLE_EQ(parseFloatText("2f"), 2.0);
    EXPECT_DOUBLE_EQ(parseFloatText("1e010"), 1e10);  // the exponent is decimal, leading zero or not
    EXPECT_DOUBLE_EQ(parseFloatText("7e+2"), 700.0);
    EXPECT_DOUBLE_EQ(parseFloatText("abc"), 0.0);
    EXPECT_TRUE(std::isinf(parseFloatText("1e400")));
    EXPECT_EQ(parseFloatText("1e-400"), 0.0);
    EXPECT_EQ(parseFloatText("inf"), 0.0);
    // Correctly rounded: the nearest double, not one or two units off.
    EXPECT_EQ(parseFloatText("0.6666666666666666"), 0.6666666666666666);
    EXPECT_EQ(parseFloatText("2.2250738585072014e-308"), 2.2250738585072014e-308);
    EXPECT_EQ(parseFloatText("0.1"), 0.1);
}

TEST(SourceInputTest, RefusesTextsOf2GiB) {
    SourceInput input;
    EXPECT_FALSE(input.setText("x", size_t{1} << 31));
    EXPECT_TRUE(input.setText("x", (size_t{1} << 31) - 1));
    EXPECT_EQ(input.length, INT32_MAX);
}

}  // namespace

namespace {

TEST(Scanner, MatchersAtTheEndOfTheTextReadNothingPastIt) {
    // Exactly sized heap buffers, so ASan sees any read past the end.
    std::unique_ptr<char[]> text(new char[2]{'+', '='});
    EXPECT_EQ(scanner::scanCompoundAssignment(text.get(), 2, 0), 2);
    EXPECT_EQ(scanner::scanCompoundAssignment(text.get(), 2, 2), -1);
    EXPECT_EQ(scanner::scanCompoundAssignment(text.get(), 1, 1), -1);
}

}  // namespace
