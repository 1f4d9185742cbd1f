#include "foundation/index_set.h"

#include <gtest/gtest.h>

#include <set>

using qestl::IndexSet;

// Against std::set over sizes that need one, two and three levels, with the
// words between set bits empty so the searches climb and descend.
TEST(IndexSet, NextAndPreviousMatchAnOrderedSet) {
    for (uint32_t size : {1u, 64u, 65u, 4097u, 300000u}) {
        IndexSet set(size);
        std::set<uint32_t> model;
        EXPECT_TRUE(set.empty());
        uint32_t step = 1;
        for (uint32_t i = 0; i < size; i += step, step = step * 3 + 1) {
            set.insert(i);
            model.insert(i);
        }
        if (size > 1) {
            set.insert(size - 1);
            model.insert(size - 1);
        }
        // Erased again: the upper levels must forget a word emptied.
        for (uint32_t i : {0u, 5u, 4096u}) {
            if (i >= size) continue;
            set.erase(i);
            model.erase(i);
        }
        for (uint64_t from = 0; from <= size; from += 1 + from / 7) {
            auto up = model.lower_bound(static_cast<uint32_t>(from));
            EXPECT_EQ(set.next(from), up == model.end() ? IndexSet::kNone : *up) << size << " next " << from;
            auto down = model.lower_bound(static_cast<uint32_t>(from));
            EXPECT_EQ(set.previous(from), down == model.begin() ? IndexSet::kNone : *std::prev(down))
                << size << " previous " << from;
        }
        EXPECT_EQ(set.empty(), model.empty());
    }
}

TEST(IndexSet, EmptiesWhenEveryIndexIsErased) {
    IndexSet set(5000);
    for (uint32_t i = 0; i < 5000; i += 63) set.insert(i);
    for (uint32_t i = 0; i < 5000; i += 63) set.erase(i);
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(set.next(0), IndexSet::kNone);
    EXPECT_EQ(set.previous(5000), IndexSet::kNone);
}
