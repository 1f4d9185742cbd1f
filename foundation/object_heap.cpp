#include "foundation/object_heap.h"

#include <cstdint>
#include <cstdlib>

#include "foundation/memory.h"
#include "foundation/sanitizer.h"

#if !defined(KORVO_ADDRESS_SANITIZER)
#include <sys/mman.h>
#endif

namespace qestl {

#if defined(KORVO_ADDRESS_SANITIZER)

void* allocateObjectMemory(size_t bytes) { return allocateOrDie(bytes); }

void freeObjectMemory(void* memory, size_t) { std::free(memory); }

#else

namespace {

// Blocks are multiples of 8 bytes, the widest alignment of any counted
// object's member (an instruction takes 72 bytes: 16 would round it to 80);
// the caller's size names the class.
constexpr size_t kGranule = 8;
constexpr size_t kLargestClass = 8192 / kGranule;  // larger ones: the C heap
constexpr size_t kBlockAlignment = size_t{2} << 20;
constexpr size_t kBlockBytes = 16 * kBlockAlignment;
constexpr size_t kStartupHugeBytes = 2 * kBlockAlignment;

struct FreeBlock {
    FreeBlock* next;
};

// Per thread: the parallel writers never share objects, and a block freed by
// another thread than the one that made it simply joins that thread's list.
struct ObjectHeap {
    FreeBlock* freeLists[kLargestClass + 1] = {};
    uint8_t* next = nullptr;
    uint8_t* end = nullptr;
    bool startupAsked = false;

    uint8_t* carve(size_t bytes) {
        if (static_cast<size_t>(end - next) < bytes) {
            // The rest of the block is left unused; a few KiB per 32 MiB.
            void* mapped = mmap(nullptr, kBlockBytes + kBlockAlignment, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mapped == MAP_FAILED) outOfMemory(kBlockBytes);
            const auto start = reinterpret_cast<uintptr_t>(mapped);
            const uintptr_t aligned = (start + kBlockAlignment - 1) & ~(uintptr_t{kBlockAlignment} - 1);
            next = reinterpret_cast<uint8_t*>(aligned);
            end = next + kBlockBytes;
            // The first megabytes backed by huge pages where the system
            // allows: a start-up declares some thousands of objects into
            // them, and a fault per 4 KiB page costs more than making them.
            // Beyond them a large compile's memory keeps small pages: asked
            // for huge ones, the kernel spent more time compacting and
            // clearing them than the faults saved (100k lines: +0.25 s of
            // system time). Refused or unsupported, the block keeps small pages.
            if (!startupAsked) madvise(next, kStartupHugeBytes, MADV_HUGEPAGE);
            startupAsked = true;
        }
        uint8_t* block = next;
        next += bytes;
        return block;
    }
};

thread_local ObjectHeap tHeap;

size_t sizeClassOf(size_t bytes) { return bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule; }

}  // namespace

void* allocateObjectMemory(size_t bytes) {
    const size_t sizeClass = sizeClassOf(bytes);
    if (sizeClass > kLargestClass) return allocateOrDie(bytes);
    ObjectHeap& heap = tHeap;
    // A free block of the class above serves before fresh memory is carved:
    // the syntax nodes (80 bytes) of a compiled body are taken by the
    // instructions (72) made after them.
    for (size_t taken = sizeClass; taken <= sizeClass + 1 && taken <= kLargestClass; ++taken) {
        if (FreeBlock* reused = heap.freeLists[taken]) {
            heap.freeLists[taken] = reused->next;
            return reused;
        }
    }
    return heap.carve(sizeClass * kGranule);
}

void freeObjectMemory(void* memory, size_t bytes) {
    if (memory == nullptr) return;
    const size_t sizeClass = sizeClassOf(bytes);
    if (sizeClass > kLargestClass) {
        std::free(memory);
        return;
    }
    ObjectHeap& heap = tHeap;
    auto* freed = static_cast<FreeBlock*>(memory);
    freed->next = heap.freeLists[sizeClass];
    heap.freeLists[sizeClass] = freed;
}

#endif

}  // namespace qestl
