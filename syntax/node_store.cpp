// Where syntax nodes live: blocks of the global node pool, the live-node
// registry, and the release of a node whose last handle went.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "foundation/node_pool.h"
#include "foundation/vector.h"
#include "syntax/node_handle.h"

namespace {

[[noreturn]] void outOfNodeBlocks(size_t size);

// The live nodes as one bit per 8-byte granule of the address space, kept
// in a bitmap per 1 MiB region. Every node made or released passes through
// here, and nodes come from the pool's chunks one block after the other, so
// consecutive inserts and erases touch the same few words instead of a tree
// node or a hash slot each. Nothing reads the set in address order; only
// membership and the count are seen. A region's bitmap stays once made (a
// pool chunk reused at the same place finds it again).
class AddressSet {
public:
    bool insert(uintptr_t key) {
        if ((key & kGranuleMask) != 0) return false;  // no node lies there
        Region* region = regionOf(key, true);
        uint64_t& word = region->bits[wordIndex(key)];
        const uint64_t bit = bitOf(key);
        if ((word & bit) != 0) return false;
        word |= bit;
        ++count_;
        return true;
    }

    bool erase(uintptr_t key) {
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

    bool contains(uintptr_t key) {
        if ((key & kGranuleMask) != 0) return false;
        const Region* region = regionOf(key, false);
        return region != nullptr && (region->bits[wordIndex(key)] & bitOf(key)) != 0;
    }

    size_t size() const { return count_; }

private:
    static constexpr unsigned kGranuleShift = 3;  // a node is 8-aligned
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
    size_t home(uintptr_t number) const { return static_cast<size_t>(number * 0x9E3779B97F4A7C15ull >> 40) & mask_; }

    // The region of key, made when `make` is set; null when absent.
    Region* regionOf(uintptr_t key, bool make) {
        const uintptr_t number = key >> kRegionShift;
        if (last_ != nullptr && last_->number == number) return last_;
        if (table_ != nullptr) {
            for (size_t at = home(number); table_[at].bits != nullptr; at = (at + 1) & mask_) {
                if (table_[at].number == number) return last_ = &table_[at];
            }
        }
        if (!make) return nullptr;
        if ((regions_ + 1) * 2 > (table_ == nullptr ? 0 : mask_ + 1)) grow();
        auto* bits = static_cast<uint64_t*>(std::calloc(kRegionWords, sizeof(uint64_t)));
        if (bits == nullptr) outOfNodeBlocks(kRegionWords * sizeof(uint64_t));
        size_t at = home(number);
        while (table_[at].bits != nullptr) at = (at + 1) & mask_;
        table_[at] = Region{number, bits};
        ++regions_;
        return last_ = &table_[at];
    }

    void grow() {
        const size_t oldSize = table_ == nullptr ? 0 : mask_ + 1;
        const size_t newSize = oldSize == 0 ? kFirstTable : oldSize * 2;
        Region* old = table_;
        table_ = static_cast<Region*>(std::calloc(newSize, sizeof(Region)));
        if (table_ == nullptr) outOfNodeBlocks(newSize * sizeof(Region));
        mask_ = newSize - 1;
        for (size_t i = 0; i < oldSize; ++i) {
            if (old[i].bits == nullptr) continue;
            size_t at = home(old[i].number);
            while (table_[at].bits != nullptr) at = (at + 1) & mask_;
            table_[at] = old[i];
        }
        std::free(old);
        last_ = nullptr;
    }

    Region* table_ = nullptr;
    size_t mask_ = 0;
    size_t regions_ = 0;
    Region* last_ = nullptr;
    size_t count_ = 0;
};

// Plain data, zero at load time and never destroyed: nodes released by
// static destructors still find it.
constinit AddressSet gLiveNodes;

uintptr_t keyOf(const refableAstBase* node) { return reinterpret_cast<uintptr_t>(node); }

void outOfNodeBlocks(size_t size) {
    std::fprintf(stderr, "out of syntax node blocks (%zu bytes asked)\n", size);
    std::abort();
}

// A node being taken apart: how far its teardown has come.
struct Teardown {
    refableAstBase* node;
    uint64_t cursor;
};

}  // namespace

void* allocateNodeBlock(size_t size) {
    qestl::NodePool* pool = qestl::globalNodePool();
    if (size > kNodeBlockBytes || size > pool->stride()) outOfNodeBlocks(size);
    void* block = pool->alloc();
    if (block == nullptr) outOfNodeBlocks(size);
    return block;
}

void freeNodeBlock(void* block) { qestl::globalNodePool()->free(block); }

bool LiveNodeRegistry::insert(const refableAstBase* node) { return node != nullptr && gLiveNodes.insert(keyOf(node)); }

bool LiveNodeRegistry::erase(const refableAstBase* node) { return node != nullptr && gLiveNodes.erase(keyOf(node)); }

bool LiveNodeRegistry::contains(const refableAstBase* node) { return gLiveNodes.contains(keyOf(node)); }

size_t LiveNodeRegistry::count() { return gLiveNodes.size(); }

refableAstBase* refableAstBase::dropNextReference(uint64_t&, bool& finished) {
    finished = true;
    return nullptr;
}

// Nodes being taken apart, innermost last. One stack serves every release: a
// release started from inside another (an owner letting go of nodes of its
// own) works above the entries of the outer one and is done before it resumes.
namespace {

qestl::qevector<Teardown>& teardowns() {
    static qestl::qevector<Teardown>* stack = new qestl::qevector<Teardown>();  // never torn down
    return *stack;
}

}  // namespace

// The recursive release (a node's destructor releasing its sub-nodes, each
// destroyed as its count reaches zero) replayed with an explicit stack: the
// registry erasures, the owners' releases and the blocks' return happen in
// the same order, but a chain of millions of nodes costs heap, not stack.
void destroyPooledNode(refableAstBase* node) {
    qestl::qevector<Teardown>& stack = teardowns();
    const size_t base = stack.size();
    LiveNodeRegistry::erase(node);
    stack.pushBack(Teardown{node, 0});
    while (stack.size() > base) {
        // By index and through a copy of the cursor: a nested release may
        // grow the stack while the node drops a reference.
        const size_t at = stack.size() - 1;
        refableAstBase* current = stack[at].node;
        uint64_t cursor = stack[at].cursor;
        bool finished = false;
        refableAstBase* released = current->dropNextReference(cursor, finished);
        stack[at].cursor = cursor;
        if (released != nullptr) {
            LiveNodeRegistry::erase(released);
            stack.pushBack(Teardown{released, 0});
        } else if (finished) {
            stack.popBack();
            current->~refableAstBase();
            freeNodeBlock(current);
        }
    }
}
