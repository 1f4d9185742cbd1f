// Where a refused text stops: the hint on the rightmost record that holds one
// and that record's end position, which is what the syntax error reports.
// Each case leaves one rule's hint point furthest to the right; most use a
// literal at the fault so that the "<" hint a name leaves on the next record
// does not come first.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "grammar_support.h"

using namespace grammar_test;

namespace {

struct HintCase {
    const char* text;
    int32_t hint;
    uint32_t line;    // 1-based, as the syntax error prints it
    uint32_t column;  // 1-based end column of the record holding the hint
};

void expectStops(const HintCase* cases, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const HintCase& c = cases[i];
        GrammarRecognizer recognizer;
        std::string text = c.text;
        ASSERT_FALSE(recognizer.recognize(text.data(), text.size())) << text;
        ASSERT_FALSE(recognizer.problems().empty()) << text;
        const GrammarRecognizer::Problem& first = recognizer.problems().front();
        EXPECT_EQ(first.kind, GrammarRecognizer::ProblemKind::Hint) << text;
        EXPECT_EQ(first.hint, c.hint) << text;
        EXPECT_EQ(first.line + 1, c.line) << text;
        EXPECT_EQ(first.column + 1, c.column) << text;
    }
}

}  // namespace

TEST(GrammarHintPoints, OperandsAndPostfixForms) {
    const HintCase cases[] = {
        {"x = a ? 1 2;", SyntaxHint::MissingColon, 1, 12},         // conditional
        {"x = a[1;", SyntaxHint::MissingRightBracket, 1, 9},       // subscript
        {"x = f()[1;", SyntaxHint::MissingRightBracket, 1, 11},    // subscript chain
        {"x = new int[3;", SyntaxHint::MissingRightBracket, 1, 15},  // array dimensions
        {"x = f(1;", SyntaxHint::MissingRightParen, 1, 9},         // call
        {"x = new A(1;", SyntaxHint::MissingRightParen, 1, 13},    // new object
        {"x = (1;", SyntaxHint::MissingRightParen, 1, 8},          // parentheses
        {"x = new A() 1;", SyntaxHint::MissingLeftBrace, 1, 14},   // new with a class body
        {"x = {1, 2;", SyntaxHint::MissingRightBrace, 1, 11},      // brace initialiser
    };
    expectStops(cases, std::size(cases));
}

TEST(GrammarHintPoints, Statements) {
    const HintCase cases[] = {
        {"void f() { synchronized 1 }", SyntaxHint::MissingLeftParen, 1, 26},
        {"void f() { synchronized (a) 1 }", SyntaxHint::MissingLeftBrace, 1, 30},
        {"void f() { if (1 2) { } }", SyntaxHint::MissingRightParen, 1, 19},
        {"void f() { for (a b 1) { } }", SyntaxHint::MissingColon, 1, 22},  // collection loop
        {"void f() { for (1 2) { } }", SyntaxHint::MissingSemicolon, 1, 20},  // classic loop
        {"void f() { do { } while 1 }", SyntaxHint::MissingLeftParen, 1, 26},
        {"void f() { switch 1 }", SyntaxHint::MissingLeftParen, 1, 20},
        {"void f() { switch (1 2) }", SyntaxHint::MissingRightParen, 1, 23},
        {"void f() { switch (1) 2 }", SyntaxHint::MissingLeftBrace, 1, 24},
        {"void f() { try 1 }", SyntaxHint::MissingLeftBrace, 1, 17},
        {"void f() { try { } catch 1 }", SyntaxHint::MissingLeftParen, 1, 27},
        {"void f() { try { } catch (A a 1 }", SyntaxHint::MissingRightParen, 1, 32},
        {"void f() { try { } catch (A a) 1 }", SyntaxHint::MissingLeftBrace, 1, 33},
        {"void f() { try { } finally 1 }", SyntaxHint::MissingLeftBrace, 1, 29},
        {"void f() { int a = 1 }", SyntaxHint::MissingSemicolon, 1, 23},
    };
    expectStops(cases, std::size(cases));
}

TEST(GrammarHintPoints, TypeDeclarations) {
    const HintCase cases[] = {
        {"class A : B { }", SyntaxHint::MissingSemicolon, 1, 16},  // on the end of the text
        {"enum E 1", SyntaxHint::MissingColon, 1, 9},               // the optional base
        {"enum E { A, 1 };", SyntaxHint::MissingIdentifier, 1, 14},
        {"interface I 1", SyntaxHint::MissingColon, 1, 14},
        {"interface I { }", SyntaxHint::MissingSemicolon, 1, 16},
    };
    expectStops(cases, std::size(cases));
}

TEST(GrammarHintPoints, CallableMembers) {
    const HintCase cases[] = {
        {"int f(int a 1", SyntaxHint::MissingRightParen, 1, 14},
        {"class A { A() 1 };", SyntaxHint::MissingLeftBrace, 1, 16},
        {"class A { int operator + 1 };", SyntaxHint::MissingLeftParen, 1, 27},
        {"interface I { void f() 1 };", SyntaxHint::MissingSemicolon, 1, 25},
        {"interface I { void operator + (int a) 1 };", SyntaxHint::MissingSemicolon, 1, 40},
        {"class A { int stdcall f 1 };", SyntaxHint::MissingLeftParen, 1, 26},
        {"class A { int stdcall f(int a 1 };", SyntaxHint::MissingRightParen, 1, 32},
        {"class A { int stdcall f(int a) };", SyntaxHint::MissingSemicolon, 1, 33},
        {"import 1", SyntaxHint::MissingLeftBrace, 1, 9},
        {"import { }", SyntaxHint::MissingSemicolon, 1, 11},
    };
    expectStops(cases, std::size(cases));
}

TEST(GrammarHintPoints, TopLevelDirectivesAndAnnotations) {
    const HintCase cases[] = {
        {"include 1", SyntaxHint::MissingLeftParen, 1, 10},
        {"include(\"a\" 1", SyntaxHint::MissingRightParen, 1, 14},
        {"require 1", SyntaxHint::MissingLeftParen, 1, 10},
        {"require(\"a\" 1", SyntaxHint::MissingRightParen, 1, 14},
        {"@A(x 1 class A { };", SyntaxHint::MissingRightParen, 1, 7},
        {"x = 1 2", SyntaxHint::MissingSemicolon, 1, 8},
    };
    expectStops(cases, std::size(cases));
}

// The first hint left on a record stays: after a name, the generic-type
// attempt leaves "<" on the next record before the conditional looks for
// its ":", so that is what the error names there.
TEST(GrammarHintPoints, TheFirstHintOnARecordStays) {
    const HintCase cases[] = {
        {"x = a ? b c;", SyntaxHint::MissingLeftAngle, 1, 12},
        {"class A : public 1 { };", SyntaxHint::MissingLeftAngle, 1, 19},  // before the base-kind hint
    };
    expectStops(cases, std::size(cases));
}
