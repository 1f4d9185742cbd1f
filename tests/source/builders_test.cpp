#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/logger.h"
#include "probe/ast_print.h"
#include "source/source_processor.h"
#include "source/source_project.h"

namespace {

using NodeRef = _KNode<qeAbstractNode>;

class RecordingSink final : public qestl::qelogcat_stream {
public:
    int write(uint32_t, const char* text, uint32_t length) override {
        lines.emplace_back(text, length);
        return 0;
    }
    std::vector<std::string> lines;
};

struct Parsed {
    bool ok;
    NodeRef unit;                     // the compilation unit
    std::string source;               // the text parsed (a page's generated source)
    std::vector<std::string> errors;  // the lines logged
};

// Parses the text through the source processor as the file `path` would be.
Parsed parse(std::string_view text, const char* path = "builders.k") {
    RecordingSink sink;
    logcatSetUp();
    logcatAddSink(&sink);
    Parsed p;
    {
        SourceProject project;
        qeSourceProcessor processor;
        NodeRef unit;
        p.ok = processor.parseSourceText(project, qestl::widen(path), text.data(), text.size(), unit) == kParsed;
        if (p.ok && unit && !unit->children.empty()) {
            p.unit = unit->children[0];
            const char* source = project.fileText(unit->children[0]->fileIndex);
            if (source != nullptr) p.source = source;
        }
    }
    logcatSetUp();
    p.errors = sink.lines;
    return p;
}

// A printed tree on one line.
std::string flat(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            out += text[i];
            continue;
        }
        while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
        out += ' ';
    }
    return out;
}

void collect(const qeAbstractNode* node, std::vector<const qeAbstractNode*>& out) {
    if (node == nullptr) return;
    out.push_back(node);
    for (const NodeRef& operand : node->operands) collect(operand.get(), out);
    for (const NodeRef& child : node->children) collect(child.get(), out);
}

// The right-hand side of `x = ...;`, printed on one line.
std::string rhs(std::string_view expression) {
    Parsed p = parse("x = " + std::string(expression) + ";");
    EXPECT_TRUE(p.ok) << expression;
    if (!p.ok || p.unit->operands.size() != 2) return "";
    return flat(ast_print::toText(p.unit->operands[1].get()));
}

TEST(Builders, DivisionByConstantZeroStopsTheTree) {
    Parsed p = parse("int a = 1;\nint b = 4 / 0;\nint c = 2;");
    EXPECT_FALSE(p.ok);
    ASSERT_FALSE(p.errors.empty());
    EXPECT_EQ(p.errors[0], "builders.k(行:2, 字:13) [Error]错误:\n\n除零错误\n");
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
    Parsed p = parse("<p>\n<% int x = 1; %>\n<b>hi</b>", "page.ksp");
    ASSERT_TRUE(p.ok);
    const std::string tree = flat(ast_print::toText(p.unit.get()));
    const std::string print = "(Call (Expression \".\" (Name \"response\") (Name \"print\")) _ (List (StringLiteral ";
    const size_t first = tree.find(print + "\"<p>\")))");
    ASSERT_NE(first, std::string::npos) << tree;
    EXPECT_NE(tree.find(print + "\"<b>hi</b>\")))", first), std::string::npos) << tree;
    // The names it adds stand for the whole call in the source.
    std::vector<const qeAbstractNode*> all;
    collect(p.unit.get(), all);
    std::vector<std::string> spans;
    for (const qeAbstractNode* node : all) {
        if (node->text.view() != "response" || node->textEnd > p.source.size()) continue;
        std::string span = p.source.substr(node->textStart, node->textEnd - node->textStart);
        if (span.find("___print_html_source__") != std::string::npos) spans.push_back(span);
    }
    EXPECT_EQ(spans, (std::vector<std::string>{"___print_html_source__(0)", "___print_html_source__(1)"}));
    // Outside a page the call stays as written.
    Parsed outside = parse("___print_html_source__(0);");
    ASSERT_TRUE(outside.ok);
    EXPECT_EQ(outside.unit->operands[0]->text.view(), "___print_html_source__");
}

TEST(Builders, DocCommentsAttachToTheFirstToken) {
    Parsed p = parse("/* one */\n// two\n\nstatic class A { };");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.unit->docComment().view(), "/* one */// two\n");
    // A comment between declarations goes to the next one alone.
    Parsed later = parse("class A { };\nclass B { };\n/** c */ class C { }; class D { };");
    ASSERT_TRUE(later.ok);
    ASSERT_EQ(later.unit->children.size(), 3u);
    EXPECT_EQ(later.unit->docComment().view(), "");
    EXPECT_EQ(later.unit->children[0]->docComment().view(), "");
    EXPECT_EQ(later.unit->children[1]->docComment().view(), "/** c */");
    EXPECT_EQ(later.unit->children[2]->docComment().view(), "");
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

TEST(Builders, StatementsOfOneRecordKeepTheirConstructsNode) {
    Parsed p = parse("void f() { if (a) b(); else { c(); } while (d) e = 1; { int g; } }");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(
        flat(ast_print::toText(p.unit.get())),
        "(Method \"f\" _ (Name \"void\") _ _ (If (Name \"a\") (Call (Name \"b\") _) (Block (Call (Name \"c\") _)) | "
        "(While (Name \"d\") (Expression \"=\" (Name \"e\") (IntegerLiteral \"1\"))) | (Block (VariableDeclaration "
        "(Name \"int\") (VariableDeclaration (VariableDeclaration \"g\"))))) (Empty))");
}

TEST(Builders, EveryNodeIsReleasedWithTheTree) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
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
