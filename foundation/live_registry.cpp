#include "foundation/live_registry.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>

#include "foundation/memory.h"
#include "foundation/node_pool.h"
#include "foundation/object_heap.h"
#include "foundation/open_slots.h"

namespace qestl {

namespace {

[[noreturn]] void outOfRegistryMemory(size_t size) {
    std::fprintf(stderr, "out of memory for the live-object registry (%zu bytes asked)\n", size);
    outOfMemory(size);
}

constinit LiveAddressSet gLiveObjects;

}  // namespace

bool LiveAddressSet::insert(uintptr_t key) {
    if (key == 0 || (key & kGranuleMask) != 0) return false;  // no object lies there
    Region* region = regionOf(key, true);
    uint64_t& word = region->bits[wordIndex(key)];
    const uint64_t bit = bitOf(key);
    if ((word & bit) != 0) return false;
    word |= bit;
    ++count_;
    return true;
}

bool LiveAddressSet::erase(uintptr_t key) {
    if ((key & kGranuleMask) != 0) return false;
    Region* region = regionOf(key, false);
    if (region == nullptr) return false;
    uint64_t& word = region->bits[wordIndex(key)];
    const uint64_t bit = bitOf(key);
    if ((word & bit) == 0) return false;
    word &= ~bit;
    --count_;
    return true;
}

bool LiveAddressSet::contains(uintptr_t key) {
    if ((key & kGranuleMask) != 0) return false;
    const Region* region = regionOf(key, false);
    return region != nullptr && (region->bits[wordIndex(key)] & bitOf(key)) != 0;
}

LiveAddressSet::Region* LiveAddressSet::regionOf(uintptr_t key, bool make) {
    const uintptr_t number = key >> kRegionShift;
    if (last_ != nullptr && last_->number == number) return last_;
    if (table_ != nullptr) {
        for (size_t at = home(number); table_[at].bits != nullptr; at = (at + 1) & mask_) {
            if (table_[at].number == number) return last_ = &table_[at];
        }
    }
    if (!make) return nullptr;
    if ((regions_ + 1) * 2 > (table_ == nullptr ? 0 : mask_ + 1)) grow();
    // Mapped rather than taken from the C heap: never given back, and under
    // the sanitizers a bitmap made while some input runs (the heap moving on
    // to a new megabyte) would count as that input's leak and make the fuzz
    // engine search the whole heap for it.
    void* mapped = mmap(nullptr, kRegionWords * sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                        -1, 0);
    if (mapped == MAP_FAILED) outOfRegistryMemory(kRegionWords * sizeof(uint64_t));
    auto* bits = static_cast<uint64_t*>(mapped);
    const size_t at = firstFreePlace(table_, mask_, home(number), isFreeRegion);
    table_[at] = Region{number, bits};
    ++regions_;
    return last_ = &table_[at];
}

void LiveAddressSet::grow() {
    const size_t oldSize = table_ == nullptr ? 0 : mask_ + 1;
    const size_t newSize = oldSize == 0 ? kFirstTable : oldSize * 2;
    Region* old = table_;
    table_ = static_cast<Region*>(std::calloc(newSize, sizeof(Region)));
    if (table_ == nullptr) outOfRegistryMemory(newSize * sizeof(Region));
    mask_ = newSize - 1;
    for (size_t i = 0; i < oldSize; ++i) {
        if (!isFreeRegion(old[i])) table_[firstFreePlace(table_, mask_, home(old[i].number), isFreeRegion)] = old[i];
    }
    std::free(old);
    last_ = nullptr;
}

LiveAddressSet& liveObjectRegistry() { return gLiveObjects; }

CountedObject* registerLiveObject(CountedObject* object) {
    gLiveObjects.insert(object);
    return object;
}

void destroyLiveObject(CountedObject* object) {
    gLiveObjects.erase(object);
    delete object;
}

void destroyPoolObject(CountedObject* object) {
    object->~CountedObject();
    globalNodePool()->free(object);
}

}  // namespace qestl
