// Statements of method bodies: what is accepted, what is refused and the
// hint a refused form leaves.
#include <gtest/gtest.h>

#include <string>

#include "grammar_support.h"

using namespace grammar_test;

namespace {

std::string inBody(const std::string& statements) { return "void f() {\n" + statements + "\n}\n"; }

}  // namespace

TEST(GrammarStatements, AcceptedForms) {
    const char* accepted[] = {
        "for (;;) { }",
        "for (i = 0 to 10) { }",
        "for (s : items) { }",
        "for (int i = 0, j = 1; i < j; i++, j--) { }",
        "if (a) b(); else c();",
        "do a++; while (b);",
        "switch (a) { case 1: case 2: f(); default: }",
        "try { }",
        "synchronized (this.lock) { }",
        "synchronized_write (lock) { a = 1; }",
        "return;",
        "static const int N = 5;",
        "class A { }; ;",
        "{ }",
    };
    for (const char* text : accepted) EXPECT_TRUE(accepts(inBody(text))) << text;
}

TEST(GrammarStatements, RefusedForms) {
    const char* refused[] = {
        "for (;;);",                     // no empty statement
        ";",
        "if a { }",
        "if (a) { } else",
        "switch (a) { }",                // at least one group
        "catch (e) { }",
        "try { } catch (e) { }",         // the name is required
        "try { } finally ;",
        "synchronized (getLock()) { }",  // a name or member access only
        "synchronized (lock) f();",      // braces required
        "throw;",
        "const static int N = 5;",       // "static" comes first
        "do a++; while (b)",
        "class A { }; a();",             // a local class needs one more ";"
        "for (int i = 0 to 10;) { }",
        "for (int to = 0; ; ) { }",      // "to" is no name
        "while (a);",
        "return a b;",
        "break",
        "int a = ;",
    };
    for (const char* text : refused) EXPECT_FALSE(accepts(inBody(text))) << text;
}

TEST(GrammarStatements, HintsWhereTheStatementStops) {
    EXPECT_TRUE(hasHint(inBody("if a { }"), SyntaxHint::MissingLeftParen));
    EXPECT_EQ(firstHint(inBody("do a++; while (b)")), SyntaxHint::MissingSemicolon);
    EXPECT_EQ(firstHint(inBody("class A { }; a();")), SyntaxHint::MissingSemicolon);
    EXPECT_EQ(firstHint(inBody("while (1 { }")), SyntaxHint::MissingRightParen);
    EXPECT_EQ(firstHint(inBody("switch (1) { case 1 f(); }")), SyntaxHint::MissingColon);
    EXPECT_EQ(firstHint(inBody("return 1")), SyntaxHint::MissingSemicolon);
    EXPECT_TRUE(hasHint(inBody("synchronized (lock) a = 1;"), SyntaxHint::MissingLeftBrace));
    EXPECT_TRUE(hasHint(inBody("for (;;);"), SyntaxHint::MissingLeftBrace));
}

// A plain nested method (type, name) is taken by the variable declaration
// tried before it, whose reduction cannot be undone; a leading modifier or
// calling convention keeps the declaration from matching.
TEST(GrammarStatements, NestedMethodNeedsALeadingModifier) {
    EXPECT_FALSE(accepts(inBody("int g() { }")));
    EXPECT_TRUE(accepts(inBody("static final int g() { }")));
    EXPECT_TRUE(accepts(inBody("<T> T g(T t) { return t; }")));
}

TEST(GrammarStatements, ForLoopsAreToldApartByTheirHeader) {
    struct Case {
        const char* text;
        uint32_t rule;
    } cases[] = {
        {"for (String s : items) { }", RuleId::ForEachStatement},
        {"for (s : items) { }", RuleId::ForEachStatement},
        {"for (int i = 0 to 10) { }", RuleId::ForToStatement},
        {"for (i = 0 to n) { }", RuleId::ForToStatement},
        {"for (i = 0; i < n; i++) { }", RuleId::ForStatement},
        {"for (;;) { }", RuleId::ForStatement},
    };
    for (const Case& c : cases) {
        std::string text = inBody(c.text);
        GrammarRecognizer recognizer;
        Tracer tracer(text);
        recognizer.setObserver(&tracer);
        ASSERT_TRUE(recognizer.recognize(text.data(), text.size())) << c.text;
        uint32_t loops[] = {RuleId::ForEachStatement, RuleId::ForToStatement, RuleId::ForStatement};
        for (uint32_t loop : loops) EXPECT_EQ(tracer.countOf(loop), loop == c.rule ? 1u : 0u) << c.text << " " << loop;
    }
}

TEST(GrammarStatements, CaseGroupsAndCatchClausesGrowOnePerMatch) {
    std::string text = inBody("switch (a) { case 1: case 2: f(); default: }\n"
                              "try { } catch (A a) { } catch (B b) { } finally { }");
    GrammarRecognizer recognizer;
    Tracer tracer(text);
    recognizer.setObserver(&tracer);
    ASSERT_TRUE(recognizer.recognize(text.data(), text.size()));
    EXPECT_EQ(tracer.countOf(RuleId::CaseGroup), 3u);
    EXPECT_EQ(tracer.countOf(RuleId::CatchClause), 2u);
    EXPECT_EQ(tracer.countOf(RuleId::TryStatement), 1u);
}
