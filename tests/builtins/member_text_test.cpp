#include "builtins/member_text.h"

#include <gtest/gtest.h>

#include "builtins/member_text_print.h"

#include <array>
#include <string>

namespace {

TEST(MemberText, ReadsEveryFormTheTablesUse) {
    static const char kText[] =
        "\n"
        "field long internalhandle\n"
        "field final Element[] items\n"
        "const int SeekEnd = 2 \t\n"
        "const int DISABLE_NAMELIST = -1\n"
        "const int ALL_BITS = 0xFFFFFFFF\n"
        "const char SLASH = 92\n"
        "const double E = 0x4005BF0A8B145769\n"
        "   \n"
        "- String(byte[]! bytes, int offset)\r\n"
        "int Vector(int size)\n"
        "String +(Object value)\n"
        "StringBuffer +=(Object v)\n"
        "bool ==(String another)\n"
        "int -(int v)\n"
        "- -(int v)\n"
        "byte [](int index) throws IndexOutOfBoundsException\n"
        "Pattern.Result matchAll(String! text, Pattern.Result! result)\n"
        "Element[] toArray(Element[]! ready)\n"
        "Iterator put(Key key, Value val)\n"
        "static final noobj abstract String[][] f() throws A, B,C\n";
    static const std::array<std::string_view, 4> kPlaceholders{"Element", "Key", "Value", "Iterator"};
    MemberText text;
    MemberTextError error;
    ASSERT_TRUE(parseMemberText(kText, kPlaceholders, text, error)) << error.message;

    ASSERT_EQ(text.fields.size(), 2u);
    EXPECT_EQ(member_text_test::typeText(text.fields[0].type) + " " + std::string(text.fields[0].name), "long internalhandle");
    EXPECT_FALSE(text.fields[0].isFinal);
    EXPECT_TRUE(text.fields[1].isFinal);
    EXPECT_EQ(member_text_test::typeText(text.fields[1].type, true), "Element[]@0");

    ASSERT_EQ(text.constants.size(), 5u);
    EXPECT_EQ(text.constants[0].kind, ConstantKind::Int);
    EXPECT_EQ(text.constants[0].bits, 2u);
    EXPECT_EQ(text.constants[1].bits, UINT64_MAX);  // sign-extended
    EXPECT_EQ(text.constants[2].bits, UINT64_MAX);  // 0xFFFFFFFF is the int -1
    EXPECT_EQ(text.constants[3].kind, ConstantKind::Char);
    EXPECT_EQ(text.constants[3].name, "SLASH");
    EXPECT_EQ(text.constants[3].bits, 92u);
    EXPECT_EQ(text.constants[4].kind, ConstantKind::Double);
    EXPECT_EQ(text.constants[4].bits, 0x4005BF0A8B145769u);

    std::vector<std::string> methods;
    for (const MemberMethod& m : text.methods) methods.push_back(member_text_test::methodText(text, m, true));
    const std::vector<std::string> expected{
        "- String(byte[]! bytes, int offset)",
        "int Vector(int size)",
        "String +(Object value)",
        "StringBuffer +=(Object v)",
        "bool ==(String another)",
        "int -(int v)",
        "- -(int v)",
        "byte [](int index) throws IndexOutOfBoundsException",
        "Pattern.Result matchAll(String! text, Pattern.Result! result)",
        "Element[]@0 toArray(Element[]@0! ready)",
        "Iterator@3 put(Key@1 key, Value@2 val)",
        "static final noobj abstract String[][] f() throws A, B, C",
    };
    EXPECT_EQ(methods, expected);
    EXPECT_EQ(text.methods[0].line, 10u);
    EXPECT_EQ(text.methods.back().line, 21u);
}

TEST(MemberText, ThirtyTwoParametersAreTheMost) {
    std::string params;
    for (int i = 0; i < 32; ++i) params += (i ? ", int p" : "int p") + std::to_string(i);
    MemberText text;
    MemberTextError error;
    EXPECT_TRUE(parseMemberText("void f(" + params + ")", {}, text, error)) << error.message;
    EXPECT_EQ(text.methods[0].parameterCount, 32u);
    EXPECT_FALSE(parseMemberText("void f(" + params + ", int p32)", {}, text, error));
    EXPECT_EQ(error.message, "line 1: more than 32 parameters");
}

TEST(MemberText, BadLinesNameTheirLineAndFault) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"void f()\nvoid g(", "line 2: expected a parameter type"},
        {"void f(int)", "line 1: expected the parameter's name"},
        {"void f(int a", "line 1: expected ',' or ')' after a parameter"},
        {"void f(int a,)", "line 1: expected a parameter type"},
        {"void f", "line 1: expected '(' after the method's name"},
        {"void (int a)", "line 1: expected the method's name"},
        {"(int a)", "line 1: expected the result type or '-'"},
        {"void f() throws", "line 1: expected a thrown class"},
        {"void f() throws A[]", "line 1: a thrown class is not an array"},
        {"void f() extra", "line 1: unexpected text after the method"},
        {"Pattern. f()", "line 1: expected a class name after '.'"},
        {"field long", "line 1: expected the field's name"},
        {"field long a b", "line 1: unexpected text after the field's name"},
        {"const float X = 1", "line 1: a constant is int, char or double"},
        {"const int X 1", "line 1: expected '=' after the constant's name"},
        {"const int = 1", "line 1: expected the constant's name"},
        {"const int X = 2147483648", "line 1: an int constant is a 32-bit decimal or 0x value"},
        {"const int X = 0x100000000", "line 1: an int constant is a 32-bit decimal or 0x value"},
        {"const int X = 1x", "line 1: an int constant is a 32-bit decimal or 0x value"},
        {"const char C = 65536", "line 1: a char constant is a code unit from 0 to 65535"},
        {"const double D = 2.5",
         "line 1: a double constant is given by its bit pattern (0x and up to 16 hex digits)"},
        {"const double D = 0x10000000000000000",
         "line 1: a double constant is given by its bit pattern (0x and up to 16 hex digits)"},
    };
    for (const Case& c : cases) {
        MemberText text;
        MemberTextError error;
        EXPECT_FALSE(parseMemberText(c.text, {}, text, error)) << c.text;
        EXPECT_EQ(error.message, c.message) << c.text;
    }
}

}  // namespace
