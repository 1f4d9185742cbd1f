#include "source/node_list.h"

#include <sanitizer/asan_interface.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "foundation/memory.h"

namespace nodelist {

namespace {

// The capacities of the arena's block sizes: every size for the short lists
// most nodes have, doubling above. Larger lists (hundreds of handles, rare)
// take a block from malloc.
constexpr uint32_t kCapacities[] = {2, 3, 4, 5, 6, 7, 15, 31, 63, 127, 255};
constexpr size_t kArenaClasses = std::size(kCapacities);
constexpr size_t kChunkBytes = 256 * 1024;

size_t capacityOf(size_t sizeClass) { return kCapacities[sizeClass]; }
size_t blockBytes(size_t sizeClass) { return (capacityOf(sizeClass) + 1) * sizeof(Header); }

// The arena: chunks carved front to back, one free list per block size. A
// released block waits on its list for the next list of its size; nothing is
// given back before the process ends (the tree's lists live about as long as
// the tree). Each chunk starts with the address of the one before, so every
// chunk stays reachable. Free and uncarved bytes are poisoned under
// AddressSanitizer, so a handle read through a released list is reported.
class Arena {
public:
    Header* take(size_t sizeClass) {
        const size_t bytes = blockBytes(sizeClass);
        Header* block = free_[sizeClass];
        if (block != nullptr) {
            ASAN_UNPOISON_MEMORY_REGION(block, bytes);
            std::memcpy(&free_[sizeClass], block, sizeof(Header*));
            return block;
        }
        if (bytes > left_) {
            // The rest of the chunk stays unused (at most one block size).
            auto* chunk = static_cast<char*>(qestl::allocateOrDie(kChunkBytes));
            std::memcpy(chunk, &chunk_, sizeof chunk_);
            chunk_ = chunk;
            next_ = chunk + sizeof(Header);
            left_ = kChunkBytes - sizeof(Header);
            ASAN_POISON_MEMORY_REGION(next_, left_);
        }
        block = reinterpret_cast<Header*>(next_);
        next_ += bytes;
        left_ -= bytes;
        ASAN_UNPOISON_MEMORY_REGION(block, bytes);
        return block;
    }

    void give(Header* block, size_t sizeClass) {
        std::memcpy(block, &free_[sizeClass], sizeof(Header*));
        free_[sizeClass] = block;
        ASAN_POISON_MEMORY_REGION(block, blockBytes(sizeClass));
    }

private:
    Header* free_[kArenaClasses] = {};
    char* chunk_ = nullptr;
    char* next_ = nullptr;
    size_t left_ = 0;
};

constinit Arena gArena;

// The smallest size class whose capacity is at least `capacity`;
// kArenaClasses means a malloc'ed block.
size_t classFor(size_t capacity) {
    size_t sizeClass = 0;
    while (sizeClass < kArenaClasses && capacityOf(sizeClass) < capacity) ++sizeClass;
    return sizeClass;
}

}  // namespace

Header* takeBlock(size_t capacity) {
    // All ones is no count (the house vector's borrowed mark, never a size).
    if (capacity >= UINT32_MAX) qestl::outOfMemory(capacity * sizeof(Header));
    const size_t sizeClass = classFor(capacity);
    Header* block;
    if (sizeClass == kArenaClasses) {
        block = static_cast<Header*>(qestl::allocateOrDie((capacity + 1) * sizeof(Header)));
    } else {
        block = gArena.take(sizeClass);
        capacity = capacityOf(sizeClass);
    }
    block->count = 0;
    block->capacity = static_cast<uint32_t>(capacity);
    return block;
}

void giveBlock(Header* block) {
    const size_t sizeClass = classFor(block->capacity);
    if (sizeClass == kArenaClasses) {
        std::free(block);
    } else {
        gArena.give(block, sizeClass);
    }
}

}  // namespace nodelist

namespace {

constexpr size_t kExactGrowth = 7;

void moveHandles(NodeList::Handle* to, const NodeList::Handle* from, size_t n) {
    if (n != 0) std::memmove(static_cast<void*>(to), static_cast<const void*>(from), n * sizeof(NodeList::Handle));
}

}  // namespace

void NodeList::insertRange(size_t index, const Handle* from, size_t n) {
    if (n == 0) return;
    // Counted copies first: the handles may lie in this list's own storage,
    // which may move or shift below.
    constexpr size_t kLocal = 8;
    alignas(Handle) unsigned char local[kLocal * sizeof(Handle)];
    Handle* copies = n <= kLocal ? reinterpret_cast<Handle*>(local)
                                 : static_cast<Handle*>(qestl::allocateOrDie(n * sizeof(Handle)));
    for (size_t i = 0; i < n; ++i) new (copies + i) Handle(from[i]);

    const size_t count = size();
    if (count == 0 && n == 1) {
        moveHandles(&slot_.single, copies, 1);
    } else if ((slot_.word & 1) != 0 && count != 0 && count + n <= block()->capacity) {
        Handle* held = items();
        moveHandles(held + index + n, held + index, count - index);
        moveHandles(held + index, copies, n);
        block()->count = static_cast<uint32_t>(count + n);
    } else {
        // Short lists grow to the size they need (most are built once, one
        // handle at a time); longer ones by the house rule.
        const size_t wanted = count + n <= kExactGrowth ? count + n : count * 2 + n;
        nodelist::Header* fresh = nodelist::takeBlock(wanted);
        auto* target = reinterpret_cast<Handle*>(fresh + 1);
        if (count != 0) {
            moveHandles(target, items(), index);
            moveHandles(target + index + n, items() + index, count - index);
            if ((slot_.word & 1) != 0) nodelist::giveBlock(block());
        }
        moveHandles(target + index, copies, n);
        fresh->count = static_cast<uint32_t>(count + n);
        slot_.word = reinterpret_cast<uintptr_t>(fresh) | 1;
    }
    if (n > kLocal) std::free(copies);
}

void NodeList::clear() {
    if (slot_.word == kEmpty) return;
    if ((slot_.word & 1) == 0) {
        // Emptied before the node goes: its release may take other nodes along.
        Handle single(std::move(slot_.single));
        slot_.word = kEmpty;
        return;
    }
    nodelist::Header* held = block();
    Handle* handles = items();
    for (size_t i = 0; i < held->count; ++i) handles[i].~Handle();
    slot_.word = kEmpty;
    nodelist::giveBlock(held);
}
