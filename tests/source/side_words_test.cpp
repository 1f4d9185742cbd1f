// The side-word table, by node address: words of nodes 64 bytes apart and
// of nodes in regions far apart stay their own; a word let go of is gone
// and its number serves the next; a sift keeps exactly the words it is told.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "source/side_words.h"

namespace {

// Only the address is read: no node needs to lie there.
const void* at(uintptr_t address) { return reinterpret_cast<const void*>(address); }

// Nodes side by side in 300 regions of 1 MiB, enough to grow the region
// table several times, and a word for each.
std::vector<uintptr_t> spreadNodes() {
    std::vector<uintptr_t> nodes;
    for (uintptr_t region = 0; region < 300; ++region)
        for (uintptr_t k = 0; k < 5; ++k) nodes.push_back(0x7f0000000000 + region * (uintptr_t{1} << 20) * 7 + k * 64);
    return nodes;
}

TEST(SideWordTable, EachNodeKeepsItsOwnWord) {
    SideWordTable table;
    const std::vector<uintptr_t> nodes = spreadNodes();
    EXPECT_EQ(table.find(at(nodes[0])), 0u);
    for (size_t i = 0; i < nodes.size(); ++i) table.put(at(nodes[i]), 0x1000 + i * 8);
    for (size_t i = 0; i < nodes.size(); ++i) ASSERT_EQ(table.find(at(nodes[i])), 0x1000 + i * 8) << i;
    EXPECT_EQ(table.find(at(nodes[0] + 64 * 5)), 0u);

    table.put(at(nodes[3]), 0xABC0);  // replaced in place
    EXPECT_EQ(table.find(at(nodes[3])), 0xABC0u);
    for (size_t i = 0; i < nodes.size(); i += 2) table.erase(at(nodes[i]));
    for (size_t i = 0; i < nodes.size(); ++i)
        ASSERT_EQ(table.find(at(nodes[i])), i % 2 == 0 ? 0u : (i == 3 ? 0xABC0u : 0x1000 + i * 8)) << i;
    table.erase(at(nodes[0]));  // twice: nothing more happens
    // The numbers let go of serve new words without touching the kept ones.
    for (size_t i = 0; i < nodes.size(); i += 2) table.put(at(nodes[i] + 32 * 64), 0x9000 + i * 8);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const uintptr_t node = i % 2 == 0 ? nodes[i] + 32 * 64 : nodes[i];
        const uintptr_t word = i % 2 == 0 ? 0x9000 + i * 8 : (i == 3 ? 0xABC0 : 0x1000 + i * 8);
        ASSERT_EQ(table.find(at(node)), word) << i;
    }
}

TEST(SideWordTable, ASiftKeepsTheWordsTakenOnly) {
    SideWordTable table;
    const std::vector<uintptr_t> nodes = spreadNodes();
    for (size_t i = 0; i < nodes.size(); ++i) table.put(at(nodes[i]), (i + 1) * 8 + (i % 3 == 0 ? 1 : 0));
    size_t offered = 0;
    table.sift([&offered](uintptr_t word) {
        ++offered;
        return (word & 1) == 0;
    });
    EXPECT_EQ(offered, nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) ASSERT_EQ(table.find(at(nodes[i])), i % 3 == 0 ? 0u : (i + 1) * 8) << i;
    // The table works on after it: new words, in regions kept and gone.
    table.put(at(nodes[0]), 0x40);
    table.put(at(nodes[1] + 64 * 9), 0x48);
    EXPECT_EQ(table.find(at(nodes[0])), 0x40u);
    EXPECT_EQ(table.find(at(nodes[1] + 64 * 9)), 0x48u);
    EXPECT_EQ(table.find(at(nodes[1])), 16u);
    table.sift([](uintptr_t) { return false; });
    for (uintptr_t node : nodes) ASSERT_EQ(table.find(at(node)), 0u);
}

}  // namespace
