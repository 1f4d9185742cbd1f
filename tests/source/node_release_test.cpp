#include <gtest/gtest.h>

#include <string>

#include "source/ast_nodes.h"
#include "source/node.h"

namespace {

using NodeRef = _KNode<qeAbstractNode>;

std::string gReleased;

struct Marker : qestl::CountedObject {
    explicit Marker(int n) : number(n) {}
    int number;
};

void noteRelease(qestl::CountedObject* object) {
    auto* marker = static_cast<Marker*>(object);
    gReleased += std::to_string(marker->number) + ' ';
    delete marker;
}

// A chain as deep as a hostile static library can describe: each node holds
// the next through its annotation list, a child or an operand in turn. Letting
// go of its top must neither exhaust the stack nor lose a node, and the owners
// go in the order a recursive release would take them.
TEST(NodeRelease, AChainOfMillionsOfNodesGoesWithoutRecursion) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    constexpr int kDepth = 2000000;
    constexpr int kMarkEvery = 250000;
    const size_t base = LiveNodeRegistry::count();
    gReleased.clear();
    NodeRef top;
    std::string expected;
    for (int i = 0; i < kDepth; ++i) {
        NodeRef node = makeAstNode(NodeKind::Block);
        switch (i % 3) {
            case 0: node->children.pushBack(top); break;
            case 1: node->operands.pushBack(top); break;
            default: node->setAnnotations(top); break;
        }
        if (i % kMarkEvery == 0) {
            node->setOwner(new Marker(i), noteRelease);
            // A node lets its annotation list go before its owner, its
            // children and operands after.
            const std::string mark = std::to_string(i) + ' ';
            expected = i % 3 == 2 ? expected + mark : mark + expected;
        }
        top = node;
    }
    ASSERT_EQ(LiveNodeRegistry::count(), base + kDepth);
    top.reset();
    EXPECT_EQ(LiveNodeRegistry::count(), base);
    EXPECT_EQ(gReleased, expected);
}

// Many siblings under one node, each with a chain of its own: every list is
// walked to its end before the next one starts.
TEST(NodeRelease, WideAndDeepTreesComeBackWhole) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    const size_t base = LiveNodeRegistry::count();
    {
        NodeRef root = makeAstNode(NodeKind::SourceUnit);
        for (int sibling = 0; sibling < 64; ++sibling) {
            NodeRef chain;
            for (int depth = 0; depth < 2000; ++depth) {
                NodeRef node = makeAstNode(NodeKind::Expression);
                node->operands.pushBack(chain);
                node->operands.pushBack(NodeRef());
                chain = node;
            }
            root->children.pushBack(chain);
        }
        NodeRef copy;
        cloneAstSubtree(root.get(), copy);
        EXPECT_EQ(LiveNodeRegistry::count(), base + 2 * (1 + 64 * 2000));
    }
    EXPECT_EQ(LiveNodeRegistry::count(), base);
}

// A body's tree let go of after its compile: the nodes nothing else holds go
// (with their owners), one held from outside keeps its position alone, and a
// declaration below stays whole.
TEST(NodeRelease, AReleasedSubtreeKeepsWhatOthersHold) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    const size_t base = LiveNodeRegistry::count();
    gReleased.clear();
    NodeRef body = makeAstNode(NodeKind::Block);
    NodeRef kept = makeAstNode(NodeKind::Name, "x");
    NodeRef method = makeAstNode(NodeKind::Method);
    NodeRef call = makeAstNode(NodeKind::Call);
    call->setOwner(new Marker(1), noteRelease);
    call->operands.pushBack(kept);
    call->operands.pushBack(NodeRef());
    call->children.pushBack(makeAstNode(NodeKind::Name, "y"));
    kept->operands.pushBack(makeAstNode(NodeKind::Name, "z"));
    method->children.pushBack(makeAstNode(NodeKind::Block));
    body->children.pushBack(call);
    body->children.pushBack(method);
    body->children.pushBack(kept);
    call.reset();
    qestl::qevector<qeAbstractNode*> room;
    releaseSubtree(body, room);
    EXPECT_EQ(gReleased, "1 ");
    EXPECT_TRUE(body->children.empty());
    EXPECT_EQ(kept->refCount, 1u);
    EXPECT_TRUE(kept->operands.empty());
    EXPECT_EQ(method->children.size(), 1u);
    EXPECT_EQ(LiveNodeRegistry::count(), base + 4);
}

}  // namespace
