// The live-node registry against a plain ordered set: inserts, erases and
// look-ups of addresses spread over many regions, in shuffled orders. The
// registry never reads through the addresses it holds, so made-up ones far
// from any real node stand in for nodes here.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "syntax/node_handle.h"

namespace {

const refableAstBase* at(uintptr_t address) { return reinterpret_cast<const refableAstBase*>(address); }

// Far above the heap and below the usual mapping area of the test process.
constexpr uintptr_t kBase = uintptr_t{0x3A0} << 36;

TEST(LiveNodeRegistry, AgreesWithAnOrderedSetUnderRandomTraffic) {
    const size_t base = LiveNodeRegistry::count();
    std::mt19937_64 random(20240611);
    // Blocks 296 bytes apart in a few chunks, plus addresses scattered over
    // hundreds of regions, some a region-table size apart.
    std::vector<uintptr_t> candidates;
    for (uintptr_t chunk = 0; chunk < 3; ++chunk)
        for (uintptr_t block = 0; block < 4000; ++block) candidates.push_back(kBase + (chunk << 20) + 40 + block * 296);
    for (int i = 0; i < 3000; ++i) candidates.push_back(kBase + ((random() % (uint64_t{1} << 30)) & ~uintptr_t{7}));
    for (uintptr_t k = 0; k < 64; ++k) candidates.push_back(kBase + (k << 26) + 8);

    std::set<uintptr_t> model;
    for (int round = 0; round < 60000; ++round) {
        const uintptr_t key = candidates[random() % candidates.size()];
        switch (random() % 3) {
            case 0:
                ASSERT_EQ(LiveNodeRegistry::insert(at(key)), model.insert(key).second) << std::hex << key;
                break;
            case 1:
                ASSERT_EQ(LiveNodeRegistry::erase(at(key)), model.erase(key) == 1) << std::hex << key;
                break;
            default:
                ASSERT_EQ(LiveNodeRegistry::contains(at(key)), model.count(key) == 1) << std::hex << key;
                break;
        }
        ASSERT_EQ(LiveNodeRegistry::count(), base + model.size());
    }
    for (uintptr_t key : candidates) ASSERT_EQ(LiveNodeRegistry::contains(at(key)), model.count(key) == 1);
    for (uintptr_t key : model) EXPECT_TRUE(LiveNodeRegistry::erase(at(key)));
    EXPECT_EQ(LiveNodeRegistry::count(), base);
    for (uintptr_t key : candidates) EXPECT_FALSE(LiveNodeRegistry::contains(at(key)));
}

TEST(LiveNodeRegistry, RefusesAddressesNoNodeCanHave) {
    const size_t base = LiveNodeRegistry::count();
    EXPECT_FALSE(LiveNodeRegistry::insert(nullptr));
    EXPECT_FALSE(LiveNodeRegistry::insert(at(kBase + 4)));  // not 8-aligned
    EXPECT_FALSE(LiveNodeRegistry::erase(at(kBase + 4)));
    EXPECT_FALSE(LiveNodeRegistry::contains(nullptr));
    EXPECT_FALSE(LiveNodeRegistry::erase(at(kBase + (uintptr_t{5} << 40))));  // a region never seen
    EXPECT_EQ(LiveNodeRegistry::count(), base);
}

}  // namespace
