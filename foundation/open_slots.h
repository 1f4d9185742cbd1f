// Linear probing over an array of slots whose length is a power of two: the
// search and the regrowth every open-addressed table of the compiler shares.
// What a slot holds, how a free one looks and where a key's search starts
// differ from table to table; the caller says them.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace qestl {

// The first place from `home` on whose slot `isFree` calls free.
template <typename Slots, typename IsFree>
inline size_t firstFreePlace(const Slots& slots, size_t mask, size_t home, IsFree isFree) {
    size_t at = home & mask;
    while (!isFree(slots[at])) at = (at + 1) & mask;
    return at;
}

// `slots` becomes `size` free slots (a power of two), and every used slot of
// the old array is moved to the first free place from its `homeOf`.
template <typename Slot, typename IsFree, typename HomeOf>
void placeSlotsAgain(std::vector<Slot>& slots, size_t size, IsFree isFree, HomeOf homeOf) {
    std::vector<Slot> old(size);
    old.swap(slots);
    const size_t mask = size - 1;
    for (Slot& slot : old)
        if (!isFree(slot)) slots[firstFreePlace(slots, mask, homeOf(slot), isFree)] = std::move(slot);
}

}  // namespace qestl
