// Linear probing over an array of slots whose length is a power of two: the
// search and the regrowth every open-addressed table of the compiler shares.
// What a slot holds, how a free one looks and where a key's search starts
// differ from table to table; the caller says them.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "foundation/memory.h"

namespace qestl {

// The array of a table that may grow to tens of megabytes: a large one lies
// on huge pages (foundation/memory.cpp allocateTable).
template <typename T>
struct TableAllocator {
    using value_type = T;
    TableAllocator() = default;
    template <typename U>
    TableAllocator(const TableAllocator<U>&) {}
    T* allocate(size_t count) { return static_cast<T*>(allocateTable(count * sizeof(T))); }
    void deallocate(T* at, size_t count) { freeTable(at, count * sizeof(T)); }
    template <typename U>
    bool operator==(const TableAllocator<U>&) const {
        return true;
    }
};
template <typename T>
using TableVector = std::vector<T, TableAllocator<T>>;

// The first place from `home` on whose slot `isFree` calls free.
template <typename Slots, typename IsFree>
inline size_t firstFreePlace(const Slots& slots, size_t mask, size_t home, IsFree isFree) {
    size_t at = home & mask;
    while (!isFree(slots[at])) at = (at + 1) & mask;
    return at;
}

// `slots` becomes `size` free slots (a power of two), and every used slot of
// the old array is moved to the first free place from its `homeOf`.
template <typename Slot, typename Allocator, typename IsFree, typename HomeOf>
void placeSlotsAgain(std::vector<Slot, Allocator>& slots, size_t size, IsFree isFree, HomeOf homeOf) {
    std::vector<Slot, Allocator> old(size);
    old.swap(slots);
    const size_t mask = size - 1;
    for (Slot& slot : old)
        if (!isFree(slot)) slots[firstFreePlace(slots, mask, homeOf(slot), isFree)] = std::move(slot);
}

}  // namespace qestl
