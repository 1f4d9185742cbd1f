// The outermost level: top-level items, packages, directives, annotations;
// and the tables themselves.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "grammar_support.h"
#include "test_support.h"
#include "syntax/rules.h"

using namespace grammar_test;

TEST(GrammarTables, EveryRuleIdIsDefinedOnceUnderItsName) {
    Grammar grammar;
    ASSERT_TRUE(buildKorvoGrammar(grammar)) << grammar.error();
    for (uint32_t id = RuleId::First; id <= RuleId::Last; ++id) {
        ASSERT_TRUE(grammar.hasRule(id)) << id;
        EXPECT_EQ(grammar.ruleId(grammar.ruleName(id)), id);
    }
    EXPECT_FALSE(grammar.hasRule(RuleId::Last + 1));
    EXPECT_EQ(grammar.ruleId("CompilationUnit"), RuleId::Entry);
    EXPECT_EQ(grammar.ruleId("OperatorSymbol"), 0u);  // an abbreviation, never reported
    EXPECT_STREQ(grammar.ruleName(RuleId::LogicalOrExpression), "LogicalOrExpression");
    EXPECT_STREQ(grammar.ruleName(RuleId::NativeParameterList), "NativeParameterList");
    EXPECT_STREQ(grammar.ruleName(RuleId::AnnotatedInterfaceMember), "AnnotatedInterfaceMember");
}

// The compiler runs the table the build wrote; it must be the grammar the
// rule tables give today, and it must survive a second round trip.
TEST(GrammarTables, CompiledTableIsTheTranslatedRules) {
    Grammar fromRules;
    ASSERT_TRUE(buildKorvoGrammar(fromRules)) << fromRules.error();
    std::string expected, loaded, again;
    ASSERT_TRUE(fromRules.writeTable(expected, "t"));
    ASSERT_TRUE(korvoGrammar().writeTable(loaded, "t"));
    EXPECT_EQ(loaded, expected);
    for (uint32_t id = RuleId::First; id <= RuleId::Last; ++id)
        EXPECT_STREQ(korvoGrammar().ruleName(id), fromRules.ruleName(id));

    // A table whose ops point outside it is refused, not run.
    const GrammarCode code[] = {{GrammarOpType::Sequence, false, -1, 0, 0, 2}};
    const uint32_t kids[] = {0};
    const GrammarTable::Rule rules[] = {{RuleId::First, "R", 0, {0, 0, 0, 0}, 0}};
    Grammar broken;
    EXPECT_FALSE(broken.load({code, 1, kids, 1, rules, 1}));
    EXPECT_FALSE(broken.writeTable(again, "t"));
    const GrammarTable::Rule badRoot[] = {{RuleId::First, "R", 5, {0, 0, 0, 0}, 0}};
    const GrammarCode single[] = {{GrammarOpType::Item, false, -1, 61, 0, 0}};
    EXPECT_FALSE(broken.load({single, 1, kids, 0, badRoot, 1}));
    const GrammarTable::Rule good[] = {{RuleId::First, "R", 0, {0, 0, 0, 0}, 4}};
    EXPECT_TRUE(broken.load({single, 1, kids, 0, good, 1})) << broken.error();
    EXPECT_TRUE(broken.hasRule(RuleId::First));
    // A table without groups has them worked out: still one per op.
    ASSERT_TRUE(broken.writeTable(again, "t"));
    EXPECT_NE(again.find("kGroups[] = {\n    {{0x0ull, 0x0ull, 0x0ull, 0x0ull}, false, false},\n};"), std::string::npos)
        << again;
}

TEST(GrammarUnits, AcceptedItems) {
    const char* accepted[] = {
        "",
        "  // only a comment\n",
        "package p { };",
        "package p { public class A { }; @X private enum E { }; interface I { }; package q { }; };",
        "using { a.b.c; d; };",
        "include(\"a.k\")",
        "include(\"a.k\", \"b.k\") require(\"c.k\")",
        "@Declare class A { };",
        "@Declare package p { };",
        "@Declare enum E { };",
        "@Declare interface I { };",
        "@Deprecated class A { };",
        "@A @B(x) @C(x = y, z = 1, w = \"s\") int f() { }",
        "@A f();",
        "int x = 1;",
        "import \"k.dll\" { void f(); };",
        "f(); g();",
    };
    for (const char* text : accepted) EXPECT_TRUE(accepts(text)) << "[" << text << "]";
}

TEST(GrammarUnits, RefusedItems) {
    const char* refused[] = {
        "package p { }",              // the closing ";" is required
        "package p { int x; };",      // types and packages only
        "package p { @Declare class A { }; };",
        "using { };",
        "using { a.b };",
        "using { a; }",
        "include(\"a.k\");",          // no ";" after a directive
        "include()",
        "include(a)",
        "@Declare int f() { }",
        "@Declare",
        "@A() class A { };",          // no empty argument list
        "@A(x = ) class A { };",
        "class A { @Declare class B { }; };",
        "class A { using { a; }; };",
        "f()",                        // one construct that is no item: not an empty unit
        "x = 1",
        ";",
    };
    for (const char* text : refused) EXPECT_FALSE(accepts(text)) << "[" << text << "]";
}

// A package or using block leaves no hint of its own.
TEST(GrammarUnits, PackageLeavesNoHint) { EXPECT_FALSE(hasHint("package p { }", SyntaxHint::MissingSemicolon)); }

// An empty text is still one (empty) compilation unit reported to the
// listener; a text that fails at its first token too.
TEST(GrammarUnits, EmptyUnitIsReported) {
    for (const char* text : {"", "/* c */", ")"}) {
        GrammarRecognizer recognizer;
        Tracer tracer(text);
        recognizer.setObserver(&tracer);
        bool whole = recognizer.recognize(text, std::strlen(text));
        EXPECT_EQ(whole, text[0] != ')') << text;
        ASSERT_FALSE(tracer.matches.empty()) << text;
        EXPECT_EQ(tracer.matches.back().rule, RuleId::CompilationUnit) << text;
        EXPECT_EQ(tracer.matches.back().count, 0) << text;
    }
}

TEST(GrammarUnits, BadCharacterAndOverflowFailTheParse) {
    GrammarRecognizer recognizer;
    const char bad[] = "int x = 1;\nint y = #;";
    EXPECT_FALSE(recognizer.recognize(bad, sizeof bad - 1));
    ASSERT_FALSE(recognizer.problems().empty());
    EXPECT_EQ(recognizer.problems().front().kind, GrammarRecognizer::ProblemKind::BadCharacter);
    EXPECT_EQ(recognizer.problems().front().line, 1u);
    EXPECT_EQ(recognizer.problems().front().column, 8u);

    // 600 open parentheses stay unreduced until their ")" and fill the window.
    std::string names = "x = " + std::string(600, '(') + "a" + std::string(600, ')') + ";";
    EXPECT_FALSE(recognizer.recognize(names.data(), names.size()));
    size_t overflows = 0;
    for (const GrammarRecognizer::Problem& problem : recognizer.problems())
        overflows += problem.kind == GrammarRecognizer::ProblemKind::Overflow;
    EXPECT_EQ(overflows, 1u);

    // The recogniser starts afresh after a failure.
    EXPECT_TRUE(recognizer.recognize("int x;", 6));
    EXPECT_TRUE(recognizer.problems().empty());
}

// Long inputs stay within the window because every construct is reduced as
// soon as it matches.
TEST(GrammarUnits, LongProgramsFitTheWindow) {
    std::string text = "class A {\n";
    for (int i = 0; i < 2000; ++i) text += "  int f" + std::to_string(i) + "(int a) { return a + " + std::to_string(i) + "; }\n";
    text += "};\n";
    for (int i = 0; i < 2000; ++i) text += "x = x * 2 + 1;\n";
    EXPECT_TRUE(accepts(text));
}

std::string readSourceFile(const char* relative) {
    std::string path = syntaxtest::sourceTree() + "/" + relative;
    std::string text = syntaxtest::readFile(path);
    return text.empty() ? "<missing " + path + ">" : text;
}

TEST(GrammarUnits, ExampleProgramsAreAccepted) {
    for (const char* path : {"examples/hello.k", "tests/golden/grammar/every_construct/program.k"}) {
        std::string text = readSourceFile(path);
        EXPECT_TRUE(accepts(text)) << path;
    }
}

// The program meant to use every construct reaches every rule.
TEST(GrammarUnits, EveryRuleTakesPartInTheFullProgram) {
    std::string text = readSourceFile("tests/golden/grammar/every_construct/program.k");
    GrammarRecognizer recognizer;
    Tracer tracer(text);
    recognizer.setObserver(&tracer);
    ASSERT_TRUE(recognizer.recognize(text.data(), text.size()));
    for (uint32_t id = RuleId::First; id <= RuleId::Last; ++id) EXPECT_GT(tracer.countOf(id), 0u) << id;
}
