// Fixed-size block allocator.
//
// Blocks are carved from large chunks so that the many equally sized syntax
// nodes cost no heap allocation each. Freeing needs only the address: a
// block finds the index of its chunk from where it lies. Free blocks form one
// list for the whole pool in which the blocks of one chunk always lie in one
// contiguous run; a chunk whose blocks are all free again is detached in
// constant time and returned.
//
// Mode 0 carves chunks of 2 MiB from the heap, aligned on their size: the
// chunk's bookkeeping and index sit at its start, so a block costs no more
// than its own bytes. (They are not advised as huge pages: fewer faults won
// 8% of a 100k-line -lik, but on a busy machine the kernel's compaction for
// them doubled the system time of a 1M-line one.) Mode 1 carves views of
// unlinked temporary files, which keeps very large populations out of the
// committed heap; there every block carries its chunk's index in a u32 just
// before the caller's area. Under AddressSanitizer free and not yet carved blocks are
// poisoned, so a use of a released block is reported.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/vector.h"

namespace qestl {

// The bookkeeping of one chunk. Free-block pointers are caller-area addresses.
struct PoolChunkHeader {
    uint8_t* firstFree;
    uint8_t* lastFree;
    uint8_t* precedingFree;  // the free block before this chunk's run, null at the head
    uint64_t freeCount;
};

// A mode-1 chunk: its header, the view and the mapping's size.
struct MappedChunkDescriptor {
    PoolChunkHeader header;
    uint8_t* view;
    uint64_t mappingSize;
};

class NodePool {
public:
    static constexpr uint32_t kHeapChunks = 0;
    static constexpr uint32_t kMappedChunks = 1;
    static constexpr uint64_t kHeapChunkBytes = 0x200000;
    // A heap chunk starts with its header and its u32 index in the table.
    static constexpr uint64_t kHeapChunkHeadBytes = sizeof(PoolChunkHeader) + sizeof(uint32_t);
    static constexpr uint64_t kHeapChunkDataBytes = kHeapChunkBytes - kHeapChunkHeadBytes;
    static constexpr uint64_t kMaxChunks = 0x100000;

    NodePool() = default;
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;
    ~NodePool() { destroy(); }

    // Releases whatever the pool held, then stores mode and geometry.
    // alignment 0 means none; otherwise a power of two up to 4096.
    NodePool* init(uint32_t mode, uint64_t blockSize, uint64_t requestedBlocksPerChunk, uint64_t alignment);
    void setGeometry(uint32_t mode, uint64_t blockSize, uint64_t requestedBlocksPerChunk, uint64_t alignment);

    // Starts the pool: prepares the tables and opens the first chunk. False
    // when that chunk cannot be opened.
    bool growChunkTable();

    // A block's caller area, or null when no chunk can be opened.
    void* alloc();
    // Returns a block handed out by this pool.
    void free(void* block);

    // Returns every chunk and forgets every block; the pool can start again.
    void releaseChunks();
    // releaseChunks, then frees the tables.
    void destroy();

    uint32_t mode() const { return mode_; }
    uint64_t stride() const { return stride_; }
    uint64_t alignmentOffset() const { return alignmentOffset_; }
    uint64_t blocksPerChunk() const { return blocksPerChunk_; }
    uint64_t chunkDataSize() const { return chunkDataSize_; }
    uint64_t bumpOffset() const { return bumpOffset_; }
    uint64_t bumpLimit() const { return bumpLimit_; }
    uint64_t liveCount() const { return liveCount_; }
    uint64_t currentChunk() const { return currentChunk_; }
    const void* freeListHead() const { return freeHead_; }
    // Chunks now open.
    uint64_t openChunkCount() const;
    // The start of chunk index's memory (the heap chunk or the view), null
    // when the slot is empty.
    const uint8_t* chunkBase(uint64_t index) const;
    // The index of the chunk a handed-out block lies in.
    uint32_t chunkIndexOf(const void* block) const;

private:
    bool newChunk();
    void releaseToChunk(uint32_t index, uint8_t* block);
    void releaseChunk(uint32_t index);
    PoolChunkHeader* header(uint32_t index) const;
    uint8_t* dataStart(uint32_t index) const;
    bool placeChunk(void* chunk, uint32_t* index);

    uint32_t mode_ = 0;
    uint64_t indexBytes_ = 0;  // the u32 in front of each block: mode 1 only
    uint64_t requestedBlocksPerChunk_ = 0;
    uint64_t stride_ = 0;
    uint64_t bumpLimit_ = 0;
    uint64_t liveCount_ = 0;
    bool started_ = false;
    uint64_t alignmentOffset_ = 0;
    uint8_t* freeHead_ = nullptr;
    uint64_t bumpOffset_ = 0;
    uint64_t currentChunk_ = 0;
    uint64_t chunkDataSize_ = 0;
    uint64_t blocksPerChunk_ = 0;
    U32Vector freeChunkIndexes_;
    qevector<uint8_t*> heapChunks_;
    qevector<MappedChunkDescriptor*> mappedChunks_;
};

// Block size of the global pool: one syntax node (the node checks that it
// fits, and that it wastes no more than its alignment).
inline constexpr uint64_t kGlobalPoolBlockBytes = 64;

// The process-wide pool of syntax nodes (mode 0, kGlobalPoolBlockBytes
// blocks, alignment 8), made and started on first use and never torn down.
NodePool* globalNodePool();

}  // namespace qestl
