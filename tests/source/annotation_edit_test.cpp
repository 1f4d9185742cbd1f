#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/annotation_edit.h"
#include "source/ast_nodes.h"

namespace {

using NodeRef = _KNode<qeAbstractNode>;

NodeRef make(uint32_t kind, const char* text = nullptr) { return makeAstNode(kind, text); }

NodeRef parameter(const char* name, const char* value) {
    NodeRef node = make(NodeKind::Name, name);
    node->operands.pushBack(make(NodeKind::StringLiteral, value));
    return node;
}

// A declaration whose annotation list holds one annotation with parameters.
NodeRef declared(const char* annotation, std::vector<NodeRef> parameters) {
    NodeRef declaration = make(NodeKind::Name, "decl");
    declaration->setAnnotations(make(NodeKind::AnnotationList));
    NodeRef node = make(NodeKind::Annotation, annotation);
    for (const NodeRef& p : parameters) node->operands.pushBack(p);
    declaration->annotations()->operands.pushBack(node);
    return declaration;
}

class RecordingConflicts final : public AnnotationConflictSink {
public:
    void reportError(const Diagnostic& entry, const qeAbstractNode* at) override {
        reports.push_back(std::string(entry.text) + at->text.c_str());
    }
    std::vector<std::string> reports;
};

TEST(AnnotationMerge, SameParameterIsAddedAgainAndANewAnnotationAppended) {
    NodeRef mine = declared("Compiler", {parameter("a", "1")});
    NodeRef other = declared("Compiler", {parameter("a", "1")});
    other->annotations()->operands.pushBack(make(NodeKind::Annotation, "Deprecated"));
    RecordingConflicts sink;
    mergeAnnotations(*mine, sink, other);
    EXPECT_TRUE(sink.reports.empty());
    const qeAbstractNode& list = *mine->annotations();
    ASSERT_EQ(list.operands.size(), 2u);
    EXPECT_EQ(list.operands[0]->operands.size(), 2u);
    EXPECT_EQ(list.operands[1]->text.view(), "Deprecated");
}

TEST(AnnotationMerge, DifferingParameterIsReportedAtBothAndEndsThatAnnotation) {
    NodeRef mine = declared("Compiler", {parameter("a", "1")});
    NodeRef other = declared("Compiler", {parameter("b", "2"), parameter("a", "1")});
    RecordingConflicts sink;
    mergeAnnotations(*mine, sink, other);
    EXPECT_EQ(sink.reports, (std::vector<std::string>{"注解冲突:a", "注解冲突:b"}));
    EXPECT_EQ(mine->annotations()->operands[0]->operands.size(), 1u);
}

TEST(AnnotationMerge, ANodeWithoutAListSharesTheOther) {
    NodeRef mine = make(NodeKind::Name, "decl");
    NodeRef other = declared("Compiler", {});
    const qeAbstractNode* list = other->annotations().get();
    RecordingConflicts sink;
    mergeAnnotations(*mine, sink, other);
    EXPECT_EQ(mine->annotations().get(), list);
    // Merging a list into itself neither loops nor reports.
    mergeAnnotations(*mine, sink, mine);
    EXPECT_EQ(mine->annotations()->operands.size(), 1u);
    EXPECT_TRUE(sink.reports.empty());
}

TEST(NativeAnnotation, SettingTwiceKeepsOneParameterWithTheLastValue) {
    NodeRef declaration = make(NodeKind::Name, "f");
    EXPECT_TRUE(setNativeAnnotationParameter(*declaration, nullptr, nullptr));
    ASSERT_TRUE(declaration->annotations());
    ASSERT_EQ(declaration->annotations()->operands.size(), 1u);
    EXPECT_TRUE(declaration->annotations()->operands[0]->operands.empty());

    EXPECT_TRUE(setNativeAnnotationParameter(*declaration, "lib", "a.so"));
    EXPECT_TRUE(setNativeAnnotationParameter(*declaration, "lib", "b.so"));
    ASSERT_EQ(declaration->annotations()->operands.size(), 1u);
    const qeAbstractNode& native = *declaration->annotations()->operands[0];
    EXPECT_EQ(native.text.view(), "Native");
    ASSERT_EQ(native.operands.size(), 1u);
    EXPECT_EQ(native.operands[0]->operands[0]->text.view(), "b.so");
    EXPECT_STREQ(declaration->getAnnotationParameter("Native", "lib"), "b.so");
}

TEST(NodeClone, MarksClearedBelowTheTopAndAnnotationsCopied) {
    NodeRef source = make(NodeKind::Call, "top");
    source->flags = 0x0E000001u;
    source->setDocComment("/* doc */");
    NodeRef inner = make(NodeKind::Name, "inner");
    inner->flags = 0x0E000002u;
    inner->setAnnotations(make(NodeKind::AnnotationList));
    inner->annotations()->operands.pushBack(make(NodeKind::Annotation, "Deprecated"));
    source->children.pushBack(inner);

    NodeRef copy;
    cloneAstSubtree(source.get(), copy);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->flags, 0x1u);
    EXPECT_TRUE(copy->docComment().empty());
    ASSERT_EQ(copy->children.size(), 1u);
    const qeAbstractNode& innerCopy = *copy->children[0];
    EXPECT_EQ(innerCopy.flags, 0x2u);
    ASSERT_TRUE(innerCopy.annotations());
    EXPECT_NE(innerCopy.annotations().get(), inner->annotations().get());
    ASSERT_EQ(innerCopy.annotations()->operands.size(), 1u);
    EXPECT_EQ(innerCopy.annotations()->operands[0]->text.view(), "Deprecated");
    EXPECT_NE(innerCopy.annotations()->operands[0]->serial & kCloneSerialBit, 0u);
}

}  // namespace
