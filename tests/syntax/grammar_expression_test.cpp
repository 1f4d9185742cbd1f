// Operator levels, associativity, unary forms, literals, and the operands and
// types of expressions.
#include <gtest/gtest.h>

#include "grammar_support.h"

using namespace grammar_test;

TEST(GrammarPrecedence, TwoOperandLevelsGroupToTheLeftAndByStrength) {
    EXPECT_EQ(shapeOf("a + b * c - d"), "((a + (b * c)) - d)");
    EXPECT_EQ(shapeOf("a - b - c"), "((a - b) - c)");
    EXPECT_EQ(shapeOf("a / b * c % d"), "(((a / b) * c) % d)");
    EXPECT_EQ(shapeOf("a << b >> c"), "((a << b) >> c)");
    EXPECT_EQ(shapeOf("a > > b"), "(a >> b)");
    EXPECT_EQ(shapeOf("p < q >= r"), "((p < q) >= r)");
    EXPECT_EQ(shapeOf("a < b < c"), "((a < b) < c)");
    EXPECT_EQ(shapeOf("a || b && c"), "(a || (b && c))");
    EXPECT_EQ(shapeOf("a && b || c"), "((a && b) || c)");
    EXPECT_EQ(shapeOf("a & b == c"), "(a & (b == c))");
    EXPECT_EQ(shapeOf("a | b ^ c & d"), "(a | (b ^ (c & d)))");
    EXPECT_EQ(shapeOf("a == b != c"), "((a == b) != c)");
    EXPECT_EQ(shapeOf("a + b << c < d == e"), "((((a + b) << c) < d) == e)");
}

TEST(GrammarPrecedence, UnaryConditionalAndAssignment) {
    EXPECT_EQ(shapeOf("-n++"), "((- n) ++)");
    EXPECT_EQ(shapeOf("!a"), "(! a)");
    EXPECT_EQ(shapeOf("~a + -b"), "((~ a) + (- b))");
    EXPECT_EQ(shapeOf("a++ * --b"), "((a ++) * (-- b))");
    EXPECT_EQ(shapeOf("b ? c : d"), "(b ? c : d)");
    EXPECT_EQ(shapeOf("a = b ? c : d"), "(a = (b ? c : d))");
    EXPECT_EQ(shapeOf("a = b + c"), "(a = (b + c))");
    EXPECT_EQ(shapeOf("a = b = c"), "(a = (b = c))");
    EXPECT_EQ(shapeOf("a += b * 2"), "(a += (b * 2))");
}

TEST(GrammarPrecedence, PostfixFormsAndCasts) {
    EXPECT_EQ(shapeOf("a.b.c"), "((a . b) . c)");
    EXPECT_EQ(shapeOf("a[1][2]"), "((a [ 1 ]) [ 2 ])");
    EXPECT_EQ(shapeOf("(int) a + b"), "(((( int )) a) + b)");
    EXPECT_EQ(shapeOf("(f)(a)"), "((( f )) (( a )))");
    EXPECT_EQ(shapeOf("(a) - b"), "((( a )) - b)");  // no cast: "-" begins no primary
}

TEST(GrammarExpressions, AcceptedOperandsAndTypes) {
    const char* accepted[] = {
        "f();", "f(a, b);", "f(&a, b);", "a.b(c);", "a.operator+(b);", "a.operator[](b);", "T<A>(x);",
        "f(a)[0].g;", "g().h()[1].k;", "\"abc\".length;", "x = new int[3][4];", "x = new String[] {\"a\", \"b\"};",
        "x = new A(b) { void run() { } };", "x = new A<B>(c);", "x = new A();", "x = new A().b;",
        "x = (int[]) b;", "Map<String, List<int>> m;", "List<K : String> m;", "x = {1, 2, 3};",
        "x = 0x1Fl + 12L + 3 + 1.5e-3f + 'c' + \"s\";", "a = -5;", "x = a ? b : c ? d : e;",
        "int[][] grid;", "x = a<b>(c);", "a.b.c.d = 1;",
    };
    for (const char* text : accepted) EXPECT_TRUE(accepts(text)) << text;
}

TEST(GrammarExpressions, RefusedForms) {
    const char* refused[] = {
        "x = {};",            // a brace initialiser needs an element
        "x = new int[] {};",  // so does the array initialiser
        "x = new T<A><B>();",  // generic types do not chain
        "a = b[c](d);",        // a subscript is not callable
        "x = !!a;",            // a prefix operand is a primary or an already reduced unary
        "a +;", "a = ;", "f(a,);", "(a;", "a[1;", "x = new A(;", "a ? b;",
    };
    for (const char* text : refused) EXPECT_FALSE(accepts(text)) << text;
}

