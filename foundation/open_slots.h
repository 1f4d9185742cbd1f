// Linear probing over an array of slots whose length is a power of two: the
// search and the regrowth every open-addressed table of the compiler shares.
// What a slot holds, how a free one looks and where a key's search starts
// differ from table to table; the caller says them.
#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace qestl {

// An array whose start lies on a cache line. A large block from malloc
// starts 16 bytes into a page: a table that keeps the slots a search reads
// together in one line of 64 bytes found each such group across two lines,
// and far outside the caches a search waited for both.
template <typename T>
struct LineAlignedAllocator {
    using value_type = T;
    static constexpr std::align_val_t kLine{64};
    LineAlignedAllocator() = default;
    template <typename U>
    LineAlignedAllocator(const LineAlignedAllocator<U>&) {}
    T* allocate(size_t count) { return static_cast<T*>(::operator new(count * sizeof(T), kLine)); }
    void deallocate(T* at, size_t) { ::operator delete(at, kLine); }
    template <typename U>
    bool operator==(const LineAlignedAllocator<U>&) const {
        return true;
    }
};
template <typename T>
using LineAlignedVector = std::vector<T, LineAlignedAllocator<T>>;

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
