// Classes, enums, interfaces and their members: methods, constructors,
// operators and native declarations.
#include <gtest/gtest.h>

#include <string>

#include "grammar_support.h"

using namespace grammar_test;

namespace {

std::string inClass(const std::string& members) { return "class A {\n" + members + "\n};\n"; }

}  // namespace

TEST(GrammarTypes, AcceptedDeclarations) {
    const char* accepted[] = {
        "class A { };",
        "static final class A { };",
        "final static class A { };",
        "final class A { };",
        "static class A { };",
        "class A<T : Base, U> : public <B, C> { };",
        "class A : public B { };",
        "class A : List<String> { };",
        "class A : protected a.b.C { };",
        "enum E { };",
        "enum E { A, B = 2, C };",
        "final enum E : public Base { A };",
        "interface I { };",
        "interface I : public Base { void f(); int operator + (int a); interface J { }; };",
        "interface I { @Deprecated static final String name() throws E; };",
    };
    for (const char* text : accepted) EXPECT_TRUE(accepts(text)) << text;
}

TEST(GrammarTypes, RefusedDeclarations) {
    const char* refused[] = {
        "class A { }",                 // the closing ";" is required
        "final final class A { };",
        "public class A { };",         // an access keyword only prefixes a member
        "const class A { };",
        "class A : B : C { };",
        "class A : public { };",
        "interface I : A, B { };",     // one base only
        "enum E { A, };",              // no trailing comma
        "enum E { A B };",
        "static enum E { };",
        "interface I { void f() { } };",  // no bodies in interfaces
        "interface I { int x; };",
    };
    for (const char* text : refused) EXPECT_FALSE(accepts(text)) << text;
}

TEST(GrammarMembers, AcceptedMembers) {
    const char* accepted[] = {
        "A(int a);",
        "void f();",
        "int f() override { }",
        "final static int f() { }",
        "stdcall int f() { }",
        "void f(int, String) { }",
        "int operator [ ] (int i) { }",
        "A operator > > (int n) { }",
        "public int a = 1, b;",
        "import { };",
        "int stdcall f(int a, char * b, ...);",
        "void g(handle & out, int % m, void / v);",
    };
    for (const char* text : accepted) EXPECT_TRUE(accepts(inClass(text))) << text;
}

TEST(GrammarMembers, RefusedMembers) {
    const char* refused[] = {
        "override int f() { }",
        "static stdcall int f() { }",
        "int f() throws { }",
        "void f() { };",                 // the ";" fails the next member
        "public",                        // an access keyword alone
        "public private int a;",
        "const int f() { }",
        "A() override { }",
        "int operator ( ) (int a) { }",
        "import { } int x;",             // the block needs its ";"
        "int f(...) { }",                // "..." only in native parameter lists
        "int f(int a,);",
        "stdcall int f(int a, char * b) { }",
    };
    for (const char* text : refused) EXPECT_FALSE(accepts(inClass(text))) << text;
}

// Hints the stop-point table does not see: a second hint on a failed
// enum, and a member block whose ";" the next member lacks.
TEST(GrammarMembers, Hints) {
    EXPECT_EQ(firstHint("enum E { A, };"), SyntaxHint::MissingIdentifier);
    EXPECT_TRUE(hasHint("enum E { A, };", SyntaxHint::MissingRightBrace));
    EXPECT_EQ(firstHint(inClass("import { } int x;")), SyntaxHint::MissingSemicolon);
}

// Constructor forms come first in a class body, a definition before a
// declaration; a body-less method is recognised through the interface rule.
TEST(GrammarMembers, RuleThatRecognisesEachMember) {
    struct Case {
        const char* member;
        uint32_t rule;
    } cases[] = {
        {"A(int a) { }", RuleId::ConstructorDefinition},
        {"A(int a);", RuleId::ConstructorDeclaration},
        {"int f() { }", RuleId::MethodDefinition},
        {"int operator + (int a) { }", RuleId::OperatorDefinition},
        {"void f();", RuleId::InterfaceMethod},
        {"int operator + (int a);", RuleId::InterfaceOperator},
        {"long native_time(long * t);", RuleId::NativeFunctionDeclaration},
        {"int a;", RuleId::DeclarationStatement},
    };
    for (const Case& c : cases) {
        std::string text = inClass(c.member);
        GrammarRecognizer recognizer;
        Tracer tracer(text);
        recognizer.setObserver(&tracer);
        ASSERT_TRUE(recognizer.recognize(text.data(), text.size())) << c.member;
        bool found = false;
        for (const Match& m : tracer.matches) {
            std::string member = c.member;
            if (m.rule == c.rule && m.text == member) found = true;
        }
        EXPECT_TRUE(found) << c.member;
    }
}

// A list of three items grows through one match per item, each covering the
// one before; the listener sees all three.
TEST(GrammarMembers, ParameterListGrowsOneItemPerMatch) {
    std::string text = inClass("void f(int a, int b, int c);");
    GrammarRecognizer recognizer;
    Tracer tracer(text);
    recognizer.setObserver(&tracer);
    ASSERT_TRUE(recognizer.recognize(text.data(), text.size()));
    std::vector<std::string> lists;
    for (const Match& m : tracer.matches)
        if (m.rule == RuleId::ParameterList) lists.push_back(m.text);
    std::vector<std::string> expected = {"int a", "int a, int b", "int a, int b, int c"};
    EXPECT_EQ(lists, expected);
}
