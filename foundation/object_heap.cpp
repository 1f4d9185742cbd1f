#include "foundation/object_heap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/memory.h"
#include "foundation/sanitizer.h"

#if !defined(KORVO_ADDRESS_SANITIZER)
#include <sys/mman.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#endif

namespace qestl {

#if defined(KORVO_ADDRESS_SANITIZER)

void* allocateObjectMemory(size_t bytes) { return allocateOrDie(bytes); }

void freeObjectMemory(void* memory, size_t) { std::free(memory); }

void* reallocateObjectMemory(void* memory, size_t, size_t newBytes) { return reallocateOrDie(memory, newBytes); }

void freeObjectMemoryInRun(void* memory, size_t) { std::free(memory); }

void endFreedRuns() {}

#else

namespace {

// Blocks are multiples of 8 bytes, the widest alignment of any counted
// object's member (an instruction takes 56 bytes: 16 would round it to 64);
// the caller's size names the class.
constexpr size_t kGranule = 8;
constexpr size_t kLargestClass = 8192 / kGranule;  // larger ones: the C heap
constexpr size_t kBlockAlignment = size_t{2} << 20;
constexpr size_t kBlockBytes = 16 * kBlockAlignment;
// The start-up's objects (some thousands of declarations) and a small
// program's: their pages are asked for a few at a time on the carving's own
// thread, just ahead of it. Each page that faulted in alone was a trap of
// its own, what costs most on a virtual machine; a step no longer than this
// leaves few pages asked for and never used.
constexpr size_t kStartupBytes = 2 * kBlockAlignment;
constexpr size_t kStartupStepBytes = size_t{16} << 10;
// Beyond them the pages are asked for this much at a time, just ahead of
// the objects carved: one call instead of a fault for each 4 KiB page.
constexpr size_t kPopulateBytes = size_t{1} << 20;
// The carving tells how far it came at this step: each telling wakes the
// asker on another core, a system call on both sides (some ninety for 100k
// varied lines). The pages asked for past the last object are touched for
// nothing: two-megabyte steps left a megabyte more of them (100k varied
// lines: 260 page faults more, a megabyte more at the peak).
constexpr size_t kCarvingStepBytes = kPopulateBytes;

struct FreeBlock {
    FreeBlock* next;
};

// A stretch of freed blocks that lay side by side, carved again like fresh
// memory; its head lies in its own first bytes.
struct FreedRun {
    FreedRun* next;
    uint8_t* end;
};
// Shorter runs go back to the free list of their blocks: carved again, they
// would mostly leave a tail no class of the code takes (1M varied lines:
// 128 bytes gave a higher peak than 64-byte blocks; 192 to 512 about the same).
constexpr size_t kShortestRunBytes = 256;
// Freed memory too short for a run: blocks of a node's size.
constexpr size_t kRunBlockClass = 64 / kGranule;

// The kernel clears every page it hands out: a tenth of a large compile's
// time. A thread of its own asks for the pages a few megabytes ahead of the
// carving, on another core, for the first heap that outgrows its start-up
// pages; no further ahead, so that the peak stays what the objects take.
// Pages it has not reached yet fault in as the carving touches them.
class PageAsker {
public:
    // The one asker of the process, started by the first caller; null for
    // every later caller, and when no thread could start.
    static PageAsker* claim() {
        static std::atomic<bool> claimed{false};
        if (claimed.exchange(true)) return nullptr;
        // Never destroyed: the thread waits on it until the process ends.
        auto* asker = new PageAsker;
        try {
            std::thread([asker] { asker->run(); }).detach();
        } catch (const std::system_error&) {
            delete asker;
            return nullptr;
        }
        return asker;
    }

    // The carving reached `next`, in the block that ends at `end`.
    void carvedTo(uint8_t* next, uint8_t* end) {
        uint8_t* const reached = alignDown(next);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // A new block, or a carving that overtook the asking: the pages
            // below `reached` are taken already.
            if (end != end_ || asked_ < reached) asked_ = reached;
            end_ = end;
            wanted_ = static_cast<size_t>(end - reached) > kAheadBytes ? reached + kAheadBytes : end;
        }
        wake_.notify_one();
    }

private:
    // As far as one carving step goes before it tells again: the asking,
    // a few milliseconds a step, stays ahead of the carving. The pages asked
    // for beyond the last object are held at the end, the peak of a large
    // compile (100k varied lines: two steps ahead held 2.3 MB more at the
    // peak and took no less time).
    static constexpr size_t kAheadBytes = kCarvingStepBytes;

    static uint8_t* alignDown(uint8_t* at) {
        return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(at) & ~(uintptr_t{kPopulateBytes} - 1));
    }

    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return asked_ < wanted_; });
            uint8_t* const from = asked_;
            asked_ += kPopulateBytes;
            lock.unlock();
            // Refused (an older kernel), the pages fault in one by one.
            madvise(from, kPopulateBytes, MADV_POPULATE_WRITE);
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    uint8_t* asked_ = nullptr;
    uint8_t* wanted_ = nullptr;
    uint8_t* end_ = nullptr;
};

// Per thread: the parallel writers never share objects, and a block freed by
// another thread than the one that made it simply joins that thread's list.
struct ObjectHeap {
    // Two lists more than there are classes: the classes above the largest
    // are looked at without a bound check, and stay empty.
    FreeBlock* freeLists[kLargestClass + 3] = {};
    uint8_t* next = nullptr;
    // Carving below it needs nothing else: the lower of the block's end and
    // the pages asked for, or the end of the freed run being carved.
    uint8_t* limit = nullptr;
    uint8_t* end = nullptr;
    uint8_t* populated = nullptr;  // pages below are asked for already
    uint8_t* startupEnd = nullptr;
    bool startupAsked = false;
    bool askerClaimed = false;
    PageAsker* asker = nullptr;
    // Past the first block, releases of whole trees are gathered: the
    // stretch of adjacent blocks freed last.
    bool gathering = false;
    uint8_t* gatheredLow = nullptr;
    uint8_t* gatheredHigh = nullptr;
    FreedRun* runs = nullptr;
    // Carving in a run: where carving in the mapped block goes on after it.
    bool inRun = false;
    uint8_t* blockNext = nullptr;

    void pushFree(uint8_t* at, size_t sizeClass) {
        auto* freed = reinterpret_cast<FreeBlock*>(at);
        freed->next = freeLists[sizeClass];
        freeLists[sizeClass] = freed;
    }

    // Freed memory side by side: long, a run to carve; shorter, blocks of
    // a node's size where it can (the size most objects take, and the
    // instructions' from two classes above) and one block of what is left.
    void keepFreed(uint8_t* low, uint8_t* high) {
        size_t rest = static_cast<size_t>(high - low);
        if (rest >= kShortestRunBytes) {
            auto* run = reinterpret_cast<FreedRun*>(low);
            run->next = runs;
            run->end = high;
            runs = run;
            return;
        }
        const size_t blockBytes = kRunBlockClass * kGranule;
        for (; rest >= blockBytes; rest -= blockBytes, low += blockBytes) pushFree(low, kRunBlockClass);
        if (rest != 0) pushFree(low, rest / kGranule);
    }

    void keepGathered() {
        keepFreed(gatheredLow, gatheredHigh);
        gatheredLow = gatheredHigh = nullptr;
    }

    void gather(uint8_t* at, size_t bytes) {
        if (at + bytes == gatheredLow) {
            gatheredLow = at;
            return;
        }
        if (at == gatheredHigh) {
            gatheredHigh += bytes;
            return;
        }
        if (gatheredLow != nullptr) keepGathered();
        gatheredLow = at;
        gatheredHigh = at + bytes;
    }

    // Carving leaves the run it was in, keeping what is left of it.
    void leaveRun() {
        keepFreed(next, limit);
        next = blockNext;
        inRun = false;
        limit = populated < end ? populated : end;
    }

    // Carving goes on in the run freed last, the block's place kept.
    void enterRun() {
        FreedRun* run = runs;
        runs = run->next;
        blockNext = next;
        inRun = true;
        next = reinterpret_cast<uint8_t*>(run);
        limit = run->end;
    }

    uint8_t* carve(size_t bytes) {
        if (static_cast<size_t>(limit - next) >= bytes) {
            uint8_t* block = next;
            next += bytes;
            return block;
        }
        return carveBeyondLimit(bytes);
    }

    // Kept out of carve, so that the common path saves no registers.
    [[gnu::noinline]] uint8_t* carveBeyondLimit(size_t bytes) {
        if (inRun) leaveRun();
        // An object longer than the next run goes on in the block, and
        // leaves the run for the next smaller one.
        if (runs != nullptr && static_cast<size_t>(runs->end - reinterpret_cast<uint8_t*>(runs)) >= bytes) {
            enterRun();
            uint8_t* block = next;
            next += bytes;
            return block;
        }
        if (static_cast<size_t>(end - next) < bytes) {
            // The rest of the block is left unused; a few KiB per 32 MiB.
            void* mapped = mmap(nullptr, kBlockBytes + kBlockAlignment, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mapped == MAP_FAILED) outOfMemory(kBlockBytes);
            const auto start = reinterpret_cast<uintptr_t>(mapped);
            const uintptr_t aligned = (start + kBlockAlignment - 1) & ~(uintptr_t{kBlockAlignment} - 1);
            next = reinterpret_cast<uint8_t*>(aligned);
            end = next + kBlockBytes;
            // The first megabytes are asked for in start-up steps: a small
            // program never asks for more, nor starts the asker. They keep
            // small pages: a huge page is cleared whole at its first touch,
            // and on a virtual machine that handed its free memory back,
            // that first touch of two fresh megabytes cost more than the
            // thousand faults it saved (100k varied lines: 25-35 ms less
            // system time in most interleaved runs; small programs
            // unchanged).
            populated = next;
            gathering = startupAsked;
            startupEnd = startupAsked ? next : next + kStartupBytes;
            startupAsked = true;
        }
        uint8_t* block = next;
        next += bytes;
        if (next > populated && populated < startupEnd) {
            // Refused (an older kernel), the pages fault in one by one.
            madvise(populated, kStartupStepBytes, MADV_POPULATE_WRITE);
            populated += kStartupStepBytes;
        } else if (next > populated && populated < end) {
            if (!askerClaimed) {
                askerClaimed = true;
                asker = PageAsker::claim();
            }
            // Refused (an older kernel), the pages fault in one by one as before.
            if (asker != nullptr) asker->carvedTo(next, end);
            else madvise(populated, kCarvingStepBytes, MADV_POPULATE_WRITE);
            populated += kCarvingStepBytes;
        }
        limit = populated < end ? populated : end;
        return block;
    }
};

thread_local ObjectHeap tHeap;

size_t sizeClassOf(size_t bytes) { return bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule; }

}  // namespace

void* allocateObjectMemory(size_t bytes) {
    const size_t sizeClass = sizeClassOf(bytes);
    if (sizeClass > kLargestClass) [[unlikely]]
        return allocateOrDie(bytes);
    ObjectHeap& heap = tHeap;
    // A run of freed nodes being carved serves next, then a free block of
    // the two classes above, before fresh memory is carved: the syntax nodes
    // (64 bytes) of a compiled body are taken by the instructions and
    // their operand pairs (48 bytes each) made after them.
    FreeBlock** lists = heap.freeLists + sizeClass;
    if (FreeBlock* reused = lists[0]) {
        lists[0] = reused->next;
        return reused;
    }
    const size_t blockBytes = sizeClass * kGranule;
    if (heap.inRun && static_cast<size_t>(heap.limit - heap.next) >= blockBytes) {
        uint8_t* block = heap.next;
        heap.next += blockBytes;
        return block;
    }
    if (FreeBlock* reused = lists[1]) {
        lists[1] = reused->next;
        return reused;
    }
    if (FreeBlock* reused = lists[2]) {
        lists[2] = reused->next;
        return reused;
    }
    return heap.carve(blockBytes);
}

void freeObjectMemory(void* memory, size_t bytes) {
    if (memory == nullptr) return;
    const size_t sizeClass = sizeClassOf(bytes);
    if (sizeClass > kLargestClass) {
        std::free(memory);
        return;
    }
    tHeap.pushFree(static_cast<uint8_t*>(memory), sizeClass);
}

void freeObjectMemoryInRun(void* memory, size_t bytes) {
    // Blocks this small have a class: none comes from the C heap. A program
    // whose objects fit the first block gathers nothing: its trees are small
    // and the free lists serve as well.
    ObjectHeap& heap = tHeap;
    const size_t sizeClass = sizeClassOf(bytes);
    if (heap.gathering) heap.gather(static_cast<uint8_t*>(memory), sizeClass * kGranule);
    else heap.pushFree(static_cast<uint8_t*>(memory), sizeClass);
}

void endFreedRuns() {
    ObjectHeap& heap = tHeap;
    if (heap.gatheredLow != nullptr) heap.keepGathered();
    // The runs serve before the block: carved there, the block would go on
    // growing while they wait.
    if (!heap.inRun && heap.runs != nullptr) heap.enterRun();
}

void* reallocateObjectMemory(void* memory, size_t oldBytes, size_t newBytes) {
    // Both on the C heap: a list of millions of entries doubling there was
    // copied to fresh pages at each step, where realloc moves a mapped
    // block's pages over.
    if (memory != nullptr && sizeClassOf(oldBytes) > kLargestClass && sizeClassOf(newBytes) > kLargestClass)
        return reallocateOrDie(memory, newBytes);
    void* fresh = allocateObjectMemory(newBytes);
    if (memory != nullptr) std::memcpy(fresh, memory, oldBytes < newBytes ? oldBytes : newBytes);
    freeObjectMemory(memory, oldBytes);
    return fresh;
}

#endif

}  // namespace qestl
