#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/ast_nodes.h"
#include "source/node.h"

namespace {

using NodeRef = _KNode<qeAbstractNode>;

NodeRef make(const char* text) { return makeAstNode(NodeKind::Name, text); }

std::string texts(const NodeList& list) {
    std::string out;
    for (const NodeRef& item : list) out += item ? std::string(item->text.view()) : std::string("-");
    return out;
}

// A list of one keeps its handle in the list's own word; growing out of it,
// through every block size and past the largest, keeps order and counts.
TEST(NodeList, GrowsFromOneHandleThroughEveryBlockSize) {
    NodeList list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
    std::vector<NodeRef> made;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        made.push_back(make(std::to_string(i % 10).c_str()));
        list.pushBack(made.back());
        expected += std::to_string(i % 10);
        ASSERT_EQ(list.size(), static_cast<size_t>(i + 1));
        ASSERT_EQ(made.front()->refCount, 2u);
        if (i == 0) {
            EXPECT_EQ(static_cast<const void*>(list.data()), static_cast<const void*>(&list));
        }
    }
    EXPECT_EQ(texts(list), expected);
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(made.front()->refCount, 1u);
}

// An empty handle is an element like any other: a list of one empty handle
// has one element, and emptying an element never shortens the list.
TEST(NodeList, EmptyHandlesCountAsElements) {
    NodeList list;
    list.pushBack(NodeRef());
    EXPECT_FALSE(list.empty());
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(texts(list), "-");
    list[0] = make("a");
    EXPECT_EQ(texts(list), "a");
    list[0].reset();
    EXPECT_EQ(list.size(), 1u);
    list.pushBack(make("b"));
    EXPECT_EQ(texts(list), "-b");
}

// Inserting a list's own handles, in front and in the middle, from a list of
// one and from a block; copies and moves leave the source as it was.
TEST(NodeList, InsertsItsOwnHandlesAndCopiesCount) {
    NodeList list;
    list.pushBack(make("a"));
    list.insertRange(0, list.data(), 1);
    EXPECT_EQ(texts(list), "aa");
    EXPECT_EQ(list[0]->refCount, 2u);
    list.pushBack(make("b"));
    list.insertRange(1, list.data() + 1, 2);
    EXPECT_EQ(texts(list), "aabab");

    NodeList copy(list);
    EXPECT_EQ(texts(copy), "aabab");
    EXPECT_EQ(list[0]->refCount, 6u);
    NodeList moved(std::move(copy));
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(texts(moved), "aabab");
    NodeList single;
    single.pushBack(make("c"));
    moved = single;
    EXPECT_EQ(texts(moved), "c");
    EXPECT_EQ(single[0]->refCount, 2u);
    moved.swap(list);
    EXPECT_EQ(texts(moved), "aabab");
    EXPECT_EQ(texts(list), "c");

    // From seven handles (no header) to eight (a block), then inside the
    // block's room, its own last handle in front.
    NodeList longer;
    for (const char* text : {"0", "1", "2", "3", "4", "5", "6"}) longer.pushBack(make(text));
    longer.insertRange(3, moved.data(), 2);
    EXPECT_EQ(texts(longer), "012aa3456");
    longer.insertRange(0, longer.data() + 8, 1);
    EXPECT_EQ(texts(longer), "6012aa3456");
    EXPECT_EQ(longer[0].get(), longer[9].get());
    EXPECT_EQ(longer[0]->refCount, 2u);
}

}  // namespace
