#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "foundation/maps.h"
#include "foundation/qestring.h"
#include "foundation/rbtree.h"

namespace {

using qestl::IntMap;
using qestl::PointerSet;
using qestl::RbNodeBase;
using qestl::RbTree;

// Returns the black height of the subtree, or -1 after reporting a broken rule.
int checkSubtree(const RbNodeBase* node, const RbNodeBase* parent, uint64_t* nodes) {
    if (node == nullptr) return 1;
    ++*nodes;
    if (node->parent != parent) {
        ADD_FAILURE() << "parent link broken";
        return -1;
    }
    if (node->colour != qestl::kRbRed && node->colour != qestl::kRbBlack) {
        ADD_FAILURE() << "bad colour value";
        return -1;
    }
    if (node->colour == qestl::kRbRed) {
        for (const RbNodeBase* child : {node->left, node->right}) {
            if (child != nullptr && child->colour == qestl::kRbRed) {
                ADD_FAILURE() << "red node with a red child";
                return -1;
            }
        }
    }
    int left = checkSubtree(node->left, node, nodes);
    int right = checkSubtree(node->right, node, nodes);
    if (left < 0 || right < 0) return -1;
    if (left != right) {
        ADD_FAILURE() << "black heights differ: " << left << " vs " << right;
        return -1;
    }
    return left + (node->colour == qestl::kRbBlack ? 1 : 0);
}

void checkRedBlack(const RbTree& tree) {
    if (tree.root != nullptr) {
        EXPECT_EQ(tree.root->colour, qestl::kRbBlack) << "root must be black";
    }
    uint64_t nodes = 0;
    checkSubtree(tree.root, nullptr, &nodes);
    EXPECT_EQ(nodes, tree.count);
}

template <typename Map>
auto keysInOrder(const Map& map) {
    std::vector<std::remove_cv_t<decltype(Map::Node::key)>> keys;
    map.forEach([&](const auto& node) { keys.push_back(node.key); });
    return keys;
}

TEST(RbTree, PointerSetOrdersUnsignedAndIntMapSigned) {
    PointerSet set;
    for (uint64_t key : {UINT64_MAX, uint64_t{0}, uint64_t{1} << 63, uint64_t{5}}) set.insert(key);
    EXPECT_EQ(keysInOrder(set), (std::vector<uint64_t>{0, 5, uint64_t{1} << 63, UINT64_MAX}));

    IntMap map;
    for (int32_t key : {7, -1, INT32_MIN, 0, INT32_MAX}) *map[key] = static_cast<uint64_t>(key) * 3;
    EXPECT_EQ(keysInOrder(map), (std::vector<int32_t>{INT32_MIN, -1, 0, 7, INT32_MAX}));
}

TEST(RbTree, IntMapIndexReturnsOneStableSlotPerKey) {
    IntMap map;
    uint64_t* slot = map[-9];
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(*slot, 0u);
    *slot = 77;
    for (int32_t key = 0; key < 200; ++key) *map[key] = 1;  // many rotations later...
    EXPECT_EQ(map[-9], slot);  // ...the node has not moved
    EXPECT_EQ(*map[-9], 77u);
    EXPECT_EQ(map.count, 201u);
}

// Insert and erase at random against std::set, checking every rule after
// every step, and that surviving nodes never move (callers keep node
// addresses, e.g. the registry and the node-keyed maps).
TEST(RbTree, RandomInsertEraseMatchesStdSetAndKeepsInvariants) {
    for (uint32_t seed : {1u, 2u, 3u, 99u}) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int32_t> keyOf(-60, 60);
        IntMap map;
        std::map<int32_t, IntMap::Node*> reference;
        for (int step = 0; step < 1500; ++step) {
            int32_t key = keyOf(random);
            if (random() % 3 != 0) {
                bool inserted = false;
                auto* node = map.findOrInsert(key, &inserted);
                EXPECT_EQ(inserted, reference.count(key) == 0);
                if (inserted) {
                    node->value = static_cast<uint64_t>(key);
                    reference[key] = node;
                } else {
                    EXPECT_EQ(node, reference[key]);
                }
            } else {
                EXPECT_EQ(map.erase(key), reference.erase(key) == 1);
            }
            checkRedBlack(map);
            ASSERT_EQ(map.count, reference.size()) << "seed " << seed << " step " << step;
            if (HasFailure()) return;
        }
        std::vector<int32_t> expected;
        for (auto& [key, node] : reference) {
            expected.push_back(key);
            EXPECT_EQ(map.find(key), node);
            EXPECT_EQ(node->value, static_cast<uint64_t>(key));
        }
        EXPECT_EQ(keysInOrder(map), expected);
    }
}

// Every erase order of a small full set: catches mistakes in the rarer
// sibling cases that random runs can miss.
TEST(RbTree, EveryEraseOrderOfSevenKeysKeepsInvariants) {
    std::vector<uint64_t> order{1, 2, 3, 4, 5, 6, 7};
    do {
        PointerSet set;
        for (uint64_t key = 1; key <= 7; ++key) set.insert(key);
        std::set<uint64_t> left(order.begin(), order.end());
        for (uint64_t key : order) {
            ASSERT_TRUE(set.erase(key));
            left.erase(key);
            checkRedBlack(set);
            for (uint64_t other : left) ASSERT_NE(set.find(other), nullptr);
            if (HasFailure()) return;
        }
        EXPECT_EQ(set.root, nullptr);
        EXPECT_EQ(set.count, 0u);
    } while (std::next_permutation(order.begin(), order.end()));
}

// Counts nodes through the header's functions, as a pool-backed tree would.
int gLiveNodes = 0;
size_t gLastNodeSize = 0;
void* countingAlloc(size_t bytes, const void* /*key*/) {
    ++gLiveNodes;
    gLastNodeSize = bytes;
    return std::malloc(bytes);
}
void countingFree(void* node) {
    --gLiveNodes;
    std::free(node);
}

TEST(RbTree, NodesComeFromAndReturnToTheHeaderFunctions) {
    gLiveNodes = 0;
    {
        IntMap map(countingAlloc, countingFree);
        for (int32_t key = 0; key < 50; ++key) *map[key] = 0;
        EXPECT_EQ(gLiveNodes, 50);
        EXPECT_EQ(gLastNodeSize, sizeof(IntMap::Node));
        map.erase(10);
        EXPECT_EQ(gLiveNodes, 49);
        map.clear();
        EXPECT_EQ(gLiveNodes, 0);
        EXPECT_EQ(map.root, nullptr);
        *map[1] = 1;
    }
    EXPECT_EQ(gLiveNodes, 0) << "destructor must free remaining nodes";
}

TEST(RbTree, StructuralCopyReproducesShapeColoursAndValues) {
    IntMap source;
    for (int32_t key = 0; key < 40; key += 3) *source[key] = static_cast<uint64_t>(key) + 1000;
    source.erase(9);
    gLiveNodes = 0;
    IntMap copy(countingAlloc, countingFree);
    *copy[500] = 1;  // replaced by the copy
    ASSERT_TRUE(copy.copyFrom(source));
    EXPECT_EQ(gLiveNodes, static_cast<int>(source.count));
    EXPECT_EQ(copy.count, source.count);
    checkRedBlack(copy);
    for (auto *a = source.first(), *b = copy.first(); a != nullptr || b != nullptr;
         a = IntMap::next(a), b = IntMap::next(b)) {
        ASSERT_TRUE(a != nullptr && b != nullptr);
        EXPECT_NE(a, b);
        EXPECT_EQ(a->key, b->key);
        EXPECT_EQ(a->value, b->value);
        EXPECT_EQ(a->colour, b->colour);
        EXPECT_EQ(a->parent == nullptr, b->parent == nullptr);
    }
    copy.clear();
    EXPECT_EQ(gLiveNodes, 0);
}

TEST(RbTree, LengthThenBytesOrdersShorterKeysFirst) {
    qestl::RbMap<std::string, qestl::NoValue, qestl::LengthThenBytesLess> names;
    for (const char* name : {"zzz", "b", "aaaa", "ab", "zz", "a", "aab"}) names.findOrInsert(name);
    EXPECT_EQ(keysInOrder(names), (std::vector<std::string>{"a", "b", "ab", "zz", "aab", "zzz", "aaaa"}));
    // Bytes compare unsigned: 0xFF sorts after 'a'.
    EXPECT_LT(qestl::compareLengthThenBytes("a", 1, "\xff", 1), 0);

    qestl::RbMap<std::u16string, int, qestl::LengthThenBytesLess> wide;
    wide.findOrInsert(u"xyz")->value = 1;
    wide.findOrInsert(u"\u4e2d\u6587")->value = 2;
    EXPECT_EQ(wide.first()->key, u"\u4e2d\u6587");
    EXPECT_EQ(wide.find(u"xyz")->value, 1);

    // The house strings, as the using index keys them.
    qestl::RbMap<qestl::qestringA, int, qestl::LengthThenBytesLess> usingIndex;
    for (const char* name : {"abc", "zz", "b"}) usingIndex.findOrInsert(qestl::qestringA(name));
    std::string order;
    usingIndex.forEach([&](const auto& node) { order += std::string(node.key.c_str()) + ","; });
    EXPECT_EQ(order, "b,zz,abc,");
}

// A value type that counts its live copies, to see that erase and clear
// destroy each node's value exactly once.
struct Tracked {
    static inline int live = 0;
    Tracked() { ++live; }
    Tracked(const Tracked&) { ++live; }
    Tracked& operator=(const Tracked&) = default;
    ~Tracked() { --live; }
};

TEST(RbTree, EraseAndClearDestroyValuesOnce) {
    Tracked::live = 0;
    {
        qestl::RbMap<int, Tracked> map;
        for (int key = 0; key < 20; ++key) map.findOrInsert(key);
        EXPECT_EQ(Tracked::live, 20);
        map.erase(5);
        map.erase(0);
        EXPECT_EQ(Tracked::live, 18);
    }
    EXPECT_EQ(Tracked::live, 0);
}

}  // namespace
