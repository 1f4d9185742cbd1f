#include <gtest/gtest.h>

#include <string>

#include "probe/ast_parse.h"
#include "probe/ast_print.h"

namespace {

using NodeRef = _KNode<qeAbstractNode>;

struct Parsed {
    bool ok;
    NodeRef unit;
    std::vector<std::string> errors;
};

Parsed parse(std::string_view text, std::vector<const char*> fragments = {}) {
    ast_parse::TreeParser parser;
    for (const char* f : fragments) parser.fragments.emplace_back(f);
    Parsed p;
    p.ok = parser.parse(text, p.unit);
    p.errors = parser.errors;
    return p;
}

// The right-hand side of `x = ...;`, printed on one line.
std::string rhs(std::string_view expression) {
    Parsed p = parse("x = " + std::string(expression) + ";");
    EXPECT_TRUE(p.ok) << expression;
    if (!p.ok || p.unit->operands.size() != 2) return "";
    std::string text = ast_print::toText(p.unit->operands[1].get());
    std::string flat;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            flat += text[i];
            continue;
        }
        while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
        flat += ' ';
    }
    return flat;
}

TEST(Builders, DivisionByConstantZeroStopsTheTree) {
    Parsed p = parse("int a = 1;\nint b = 4 / 0;\nint c = 2;");
    EXPECT_FALSE(p.ok);
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_EQ(p.errors[0], "(2:13) 除零错误");
    EXPECT_FALSE(parse("int b = 1.5 % 0;").ok);
    EXPECT_TRUE(parse("int b = 1.5 % 0.5;").ok);
}

TEST(Builders, FoldsThroughTheLadder) {
    EXPECT_EQ(rhs("1 + 2 * 3"), "(IntegerLiteral \"7\")");
    EXPECT_EQ(rhs("-7 % 2"), "(IntegerLiteral \"-1\")");
    EXPECT_EQ(rhs("(1 << 4) | 0x0F"), "(IntegerLiteral \"31\")");
    EXPECT_EQ(rhs("-(-5)"), "(IntegerLiteral \"5\")");
    EXPECT_EQ(rhs("a + 1 + 2"), "(Expression \"+\" (Expression \"+\" (Name \"a\") (IntegerLiteral \"1\")) (IntegerLiteral \"2\"))");
    EXPECT_EQ(rhs("\"a\\tb\" + 'c'"), "(StringLiteral \"a\\tbc\")");
}

TEST(Builders, UnaryForms) {
    EXPECT_EQ(rhs("-v"), "(Expression \"-\" _ (Name \"v\"))");
    EXPECT_EQ(rhs("v++"), "(Expression \"++\" (Name \"v\"))");
    EXPECT_EQ(rhs("!a"), "(Expression \"!\" _ (Name \"a\"))");
    EXPECT_EQ(rhs("-2.5"), "(FloatLiteral \"-2.5\")");
}

TEST(Builders, RightShiftOfTwoSeparateTokens) {
    EXPECT_EQ(rhs("a > > b"), "(Expression \">>\" (Name \"a\") (Name \"b\"))");
    EXPECT_EQ(rhs("64 >  /* c */ > 2"), "(IntegerLiteral \"16\")");
}

TEST(Builders, SpacedRightShiftNamesTheSameOperator) {
    Parsed p = parse("class C { int operator > /* c */ > (int n) { } void f() { a.operator> >(b); } };");
    ASSERT_TRUE(p.ok);
    const qeAbstractNode* overload = p.unit->operands[1].get();
    ASSERT_EQ(overload->kind, 25u);
    EXPECT_EQ(overload->text.view(), ">>");
    const qeAbstractNode* call = overload->children[0]->operands[4].get();
    ASSERT_EQ(call->kind, 38u);
    EXPECT_EQ(call->operands[0]->operands[1]->text.view(), ">>");
}

TEST(Builders, FragmentCallPrintsTheStoredHtml) {
    Parsed p = parse("___print_html_source__(01);", {"<p>", "<b>hi</b>"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(ast_print::toText(p.unit.get()),
              "(Call\n  (Expression \".\"\n    (Name \"response\")\n    (Name \"print\"))\n  _\n"
              "  (List\n    (StringLiteral \"<b>hi</b>\")))");
    // The names it adds stand for the whole call in the source.
    const qeAbstractNode* response = p.unit->operands[0]->operands[0].get();
    EXPECT_EQ(response->textEnd - response->textStart, std::string_view("___print_html_source__(01)").size());
    // An index with no fragment leaves the call as written.
    Parsed outside = parse("___print_html_source__(7);", {"<p>"});
    ASSERT_TRUE(outside.ok);
    EXPECT_EQ(outside.unit->operands[0]->text.view(), "___print_html_source__");
}

TEST(Builders, DocCommentsAttachToTheFirstToken) {
    Parsed p = parse("/* one */\n// two\n\nstatic class A { };");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.unit->docComment.view(), "/* one */// two\n");
}

TEST(Builders, ForEachCopiesTheNameIntoADistinctNode) {
    Parsed p = parse("void f() { for (int v : list) { } }");
    ASSERT_TRUE(p.ok);
    const qeAbstractNode* loop = p.unit->operands[4].get();
    ASSERT_EQ(loop->kind, 93u);
    const qeAbstractNode* name = loop->operands[0]->operands[1]->operands[0].get();
    const qeAbstractNode* copy = loop->operands[1].get();
    EXPECT_NE(name, copy);
    EXPECT_EQ(copy->text.view(), "v");
    EXPECT_EQ(copy->serial, name->serial | 0x80000000u);
}

TEST(Builders, TextSpansOfCallsStartAtTheCallee) {
    std::string text = "x = new A(1);";
    Parsed p = parse(text);
    ASSERT_TRUE(p.ok);
    const qeAbstractNode* call = p.unit->operands[1].get();
    EXPECT_EQ(text.substr(call->textStart, call->textEnd - call->textStart), "A(1)");
    EXPECT_EQ(call->startColumn, 4u);  // the node itself starts at "new"
}

TEST(Builders, HeadListCarriesLaterMembersInItsChildren) {
    Parsed p = parse("class C { int a; int b; int c; };");
    ASSERT_TRUE(p.ok);
    const qeAbstractNode* head = p.unit->operands[1].get();
    ASSERT_EQ(head->children.size(), 2u);
    EXPECT_EQ(head->children[1]->operands[1]->operands[0]->text.view(), "c");
}

TEST(Builders, EveryNodeIsReleasedWithTheTree) {
    size_t before = LiveNodeRegistry::count();
    {
        Parsed p = parse(
            "package p { class A<T> : B { A() { } int f(int a) throws E { for (int i = 0; i < a; i++) { g(i); } "
            "for (int v : l) { } switch (a) { case 1: break; default: } try { } catch (E e) { } return a; } }; };\n"
            "import \"k.dll\" { int stdcall f(char * p, ...); };\nusing { a.b; };\n");
        ASSERT_TRUE(p.ok);
        EXPECT_GT(LiveNodeRegistry::count(), before);
    }
    EXPECT_EQ(LiveNodeRegistry::count(), before);
    {
        Parsed failed = parse("void f() { switch (a) { default: default: } }");
        EXPECT_FALSE(failed.ok);
    }
    EXPECT_EQ(LiveNodeRegistry::count(), before);
}

}  // namespace
