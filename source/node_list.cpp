#include "source/node_list.h"

#include <sanitizer/asan_interface.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "foundation/memory.h"

namespace nodelist {

namespace {

// The arena's storage sizes: the exact bytes of 2 to 7 handles, then blocks
// of a header and 15, 31, 63, 127 or 255 handles. Larger blocks (hundreds
// of handles, rare) come from malloc.
constexpr uint32_t kBlockCapacities[] = {15, 31, 63, 127, 255};
constexpr size_t kShortClasses = kShortLength - 1;
constexpr size_t kClasses = kShortClasses + std::size(kBlockCapacities);
constexpr size_t kChunkBytes = 256 * 1024;

size_t shortClass(size_t count) { return count - 2; }
size_t blockCapacityOf(size_t sizeClass) { return kBlockCapacities[sizeClass - kShortClasses]; }
size_t bytesOf(size_t sizeClass) {
    if (sizeClass < kShortClasses) return (sizeClass + 2) * sizeof(Header);
    return (blockCapacityOf(sizeClass) + 1) * sizeof(Header);
}

// The class of a block for at least `capacity` handles; kClasses means a
// malloc'ed block.
size_t blockClassFor(size_t capacity) {
    size_t sizeClass = kShortClasses;
    while (sizeClass < kClasses && blockCapacityOf(sizeClass) < capacity) ++sizeClass;
    return sizeClass;
}

// The arena: chunks carved front to back, one free list per size. Released
// storage waits on its list for the next list of its size; nothing is given
// back before the process ends (the tree's lists live about as long as the
// tree). Each chunk starts with the address of the one before, so every
// chunk stays reachable. Free and uncarved bytes are poisoned under
// AddressSanitizer, so a handle read through a released list is reported.
class Arena {
public:
    void* take(size_t sizeClass) {
        const size_t bytes = bytesOf(sizeClass);
        char* storage = free_[sizeClass];
        if (storage != nullptr) {
            ASAN_UNPOISON_MEMORY_REGION(storage, bytes);
            std::memcpy(&free_[sizeClass], storage, sizeof(char*));
            return storage;
        }
        if (bytes > left_) {
            // The rest of the chunk stays unused (less than one block).
            auto* chunk = static_cast<char*>(qestl::allocateOrDie(kChunkBytes));
            std::memcpy(chunk, &chunk_, sizeof chunk_);
            chunk_ = chunk;
            next_ = chunk + sizeof(Header);
            left_ = kChunkBytes - sizeof(Header);
            ASAN_POISON_MEMORY_REGION(next_, left_);
        }
        storage = next_;
        next_ += bytes;
        left_ -= bytes;
        ASAN_UNPOISON_MEMORY_REGION(storage, bytes);
        return storage;
    }

    void give(void* storage, size_t sizeClass) {
        std::memcpy(storage, &free_[sizeClass], sizeof(char*));
        free_[sizeClass] = static_cast<char*>(storage);
        ASAN_POISON_MEMORY_REGION(storage, bytesOf(sizeClass));
    }

private:
    char* free_[kClasses] = {};
    char* chunk_ = nullptr;
    char* next_ = nullptr;
    size_t left_ = 0;
};

constinit Arena gArena;

}  // namespace

void* takeShort(size_t count) { return gArena.take(shortClass(count)); }

void giveShort(void* handles, size_t count) { gArena.give(handles, shortClass(count)); }

Header* takeBlock(size_t capacity) {
    // All ones is no count (the house vector's borrowed mark, never a size).
    if (capacity >= UINT32_MAX) qestl::outOfMemory(capacity * sizeof(Header));
    const size_t sizeClass = blockClassFor(capacity);
    Header* block;
    if (sizeClass == kClasses) {
        block = static_cast<Header*>(qestl::allocateOrDie((capacity + 1) * sizeof(Header)));
    } else {
        block = static_cast<Header*>(gArena.take(sizeClass));
        capacity = blockCapacityOf(sizeClass);
    }
    block->count = 0;
    block->capacity = static_cast<uint32_t>(capacity);
    return block;
}

void giveBlock(Header* block) {
    const size_t sizeClass = blockClassFor(block->capacity);
    if (sizeClass == kClasses) {
        std::free(block);
    } else {
        gArena.give(block, sizeClass);
    }
}

}  // namespace nodelist

namespace {

void moveHandles(NodeList::Handle* to, const NodeList::Handle* from, size_t n) {
    if (n != 0) std::memmove(static_cast<void*>(to), static_cast<const void*>(from), n * sizeof(NodeList::Handle));
}

}  // namespace

void NodeList::releaseStorage() {
    const uintptr_t tag = slot_.word & kTagMask;
    if (tag == kBlock) {
        if (slot_.word != kEmpty) nodelist::giveBlock(block());
    } else if (tag != kOne) {
        nodelist::giveShort(reinterpret_cast<void*>(slot_.word & ~kTagMask), tag);
    }
    slot_.word = kEmpty;
}

void NodeList::insertRange(size_t index, const Handle* from, size_t n) {
    if (n == 0) return;
    const size_t held = size();
    if (n == 1 && index == held && held != 0 && held < nodelist::kShortLength) {
        // One more handle at the end of a short list, the way most lists are
        // built: the handles move to a short list one longer in one copy.
        // The new one is counted first, as it may lie in the old storage.
        auto* target = static_cast<Handle*>(nodelist::takeShort(held + 1));
        new (target + held) Handle(*from);
        std::memcpy(static_cast<void*>(target), static_cast<const void*>(items()), held * sizeof(Handle));
        releaseStorage();
        slot_.word = reinterpret_cast<uintptr_t>(target) | (held + 1);
        return;
    }
    // Counted copies first: the handles may lie in this list's own storage,
    // which may move or shift below.
    constexpr size_t kLocal = 8;
    alignas(Handle) unsigned char local[kLocal * sizeof(Handle)];
    Handle* copies = n <= kLocal ? reinterpret_cast<Handle*>(local)
                                 : static_cast<Handle*>(qestl::allocateOrDie(n * sizeof(Handle)));
    for (size_t i = 0; i < n; ++i) new (copies + i) Handle(from[i]);

    const size_t count = size();
    const size_t total = count + n;
    if (total == 1) {
        moveHandles(&slot_.single, copies, 1);
    } else if ((slot_.word & kTagMask) == kBlock && count != 0 && total <= block()->capacity) {
        Handle* held = items();
        moveHandles(held + index + n, held + index, count - index);
        moveHandles(held + index, copies, n);
        block()->count = static_cast<uint32_t>(total);
    } else {
        // A short list takes exactly its size; a longer one grows by the
        // house rule.
        Handle* target;
        uintptr_t word;
        if (total <= nodelist::kShortLength) {
            target = static_cast<Handle*>(nodelist::takeShort(total));
            word = reinterpret_cast<uintptr_t>(target) | total;
        } else {
            nodelist::Header* fresh = nodelist::takeBlock(count * 2 + n);
            fresh->count = static_cast<uint32_t>(total);
            target = reinterpret_cast<Handle*>(fresh + 1);
            word = reinterpret_cast<uintptr_t>(fresh) | kBlock;
        }
        if (count != 0) {
            moveHandles(target, items(), index);
            moveHandles(target + index + n, items() + index, count - index);
            releaseStorage();
        }
        moveHandles(target + index, copies, n);
        slot_.word = word;
    }
    if (n > kLocal) std::free(copies);
}

void NodeList::clearHandles() {
    if ((slot_.word & kTagMask) == kOne) {
        // Emptied before the node goes: its release may take other nodes along.
        Handle single(std::move(slot_.single));
        slot_.word = kEmpty;
        return;
    }
    Handle* handles = items();
    const size_t count = size();
    for (size_t i = 0; i < count; ++i) handles[i].~Handle();
    releaseStorage();
}
