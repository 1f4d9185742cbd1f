// The registries of live objects: every counted object on the C heap, and
// (through syntax/node_store.cpp) every syntax node made in the node pool.
// Both are one kind of address set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/sanitizer.h"
#include "foundation/smart_ptr.h"

namespace qestl {

// A set of live addresses as one bit per 8-byte granule of the address
// space, kept in a bitmap per 1 MiB region. Objects come from allocators one
// after the other, so consecutive inserts and erases touch the same few
// words instead of a tree node or a hash slot each. Nothing reads the set in
// address order; only membership and the count are seen. A region's bitmap
// stays once made (memory reused at the same place finds it again). Plain
// data, zero at load time: a constinit instance is never torn down, so
// objects released by static destructors still find it.
class LiveAddressSet {
public:
    // False for an address already present or one no object can have (not
    // 8-aligned, null).
    bool insert(const void* address) { return insert(reinterpret_cast<uintptr_t>(address)); }
    bool erase(const void* address) { return erase(reinterpret_cast<uintptr_t>(address)); }
    bool contains(const void* address) { return contains(reinterpret_cast<uintptr_t>(address)); }
    bool insert(uintptr_t key);
    bool erase(uintptr_t key);
    bool contains(uintptr_t key);
    size_t size() const { return count_; }

private:
    static constexpr unsigned kGranuleShift = 3;  // objects are 8-aligned
    static constexpr uintptr_t kGranuleMask = (uintptr_t{1} << kGranuleShift) - 1;
    static constexpr unsigned kRegionShift = 20;
    static constexpr size_t kRegionWords = (size_t{1} << (kRegionShift - kGranuleShift)) / 64;
    static constexpr size_t kFirstTable = 64;

    struct Region {
        uintptr_t number;  // the address shifted by kRegionShift
        uint64_t* bits;    // null: a free slot of the table
    };

    static size_t wordIndex(uintptr_t key) { return ((key >> kGranuleShift) / 64) & (kRegionWords - 1); }
    static uint64_t bitOf(uintptr_t key) { return uint64_t{1} << ((key >> kGranuleShift) & 63); }
    static bool isFreeRegion(const Region& region) { return region.bits == nullptr; }
    size_t home(uintptr_t number) const { return static_cast<size_t>(number * 0x9E3779B97F4A7C15ull >> 40) & mask_; }
    // The region of key, made when `make` is set; null when absent.
    Region* regionOf(uintptr_t key, bool make);
    void grow();

    Region* table_ = nullptr;
    size_t mask_ = 0;
    size_t regions_ = 0;
    Region* last_ = nullptr;
    size_t count_ = 0;
};

// Whether the makers of counted objects register them. Only leak checks and
// tests read the registry; an optimised build without sanitizers spared a
// bit set and cleared per instruction and model object for nobody.
#if defined(KORVO_ADDRESS_SANITIZER) || !defined(NDEBUG)
inline constexpr bool kRegistersLiveObjects = true;
#else
inline constexpr bool kRegistersLiveObjects = false;
#endif

// The process-wide registry of counted objects.
LiveAddressSet& liveObjectRegistry();

// Called by the makers of counted objects; returns object.
CountedObject* registerLiveObject(CountedObject* object);

// Removes object from the registry when present, destroys it and frees its
// memory to the C heap. An unregistered object is still destroyed and freed.
void destroyLiveObject(CountedObject* object);

// The disposal of counted objects placed in the global node pool: destroys
// object and returns its block to the pool.
void destroyPoolObject(CountedObject* object);

}  // namespace qestl
