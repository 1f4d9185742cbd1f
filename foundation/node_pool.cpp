#include "foundation/node_pool.h"

#include <sanitizer/asan_interface.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

#include "platform/mapped_temp.h"

namespace qestl {

namespace {

constexpr uint64_t kIndexBytes = sizeof(uint32_t);

// A free block keeps the next free block in the first 8 bytes of its area;
// the area is poisoned, so the pool opens exactly those bytes around its own
// accesses.
uint8_t* readNext(uint8_t* block) {
    ASAN_UNPOISON_MEMORY_REGION(block, sizeof(uint8_t*));
    uint8_t* next;
    std::memcpy(&next, block, sizeof next);
    ASAN_POISON_MEMORY_REGION(block, sizeof(uint8_t*));
    return next;
}

void writeNext(uint8_t* block, uint8_t* next) {
    ASAN_UNPOISON_MEMORY_REGION(block, sizeof(uint8_t*));
    std::memcpy(block, &next, sizeof next);
    ASAN_POISON_MEMORY_REGION(block, sizeof(uint8_t*));
}

uint64_t roundUp(uint64_t value, uint64_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

// Padding that puts the caller area (behind the index bytes, if any) of the
// first block on the alignment, given where the blocks begin in the chunk.
uint64_t paddingFor(uint64_t blocksBegin, uint64_t indexBytes, uint64_t alignment) {
    if (alignment == 0) return 0;
    uint64_t remainder = (blocksBegin + indexBytes) % alignment;
    return remainder == 0 ? 0 : alignment - remainder;
}

}  // namespace

NodePool* NodePool::init(uint32_t mode, uint64_t blockSize, uint64_t requestedBlocksPerChunk, uint64_t alignment) {
    destroy();
    setGeometry(mode, blockSize, requestedBlocksPerChunk, alignment);
    return this;
}

void NodePool::setGeometry(uint32_t mode, uint64_t blockSize, uint64_t requestedBlocksPerChunk, uint64_t alignment) {
    mode_ = mode;
    indexBytes_ = mode == kHeapChunks ? 0 : kIndexBytes;
    requestedBlocksPerChunk_ = requestedBlocksPerChunk;
    stride_ = roundUp((blockSize < 8 ? 8 : blockSize) + indexBytes_, alignment);
    if (mode == kHeapChunks) {
        alignmentOffset_ = paddingFor(kHeapChunkHeadBytes, 0, alignment);
        chunkDataSize_ = kHeapChunkDataBytes;
        blocksPerChunk_ = (chunkDataSize_ - alignmentOffset_) / stride_;
    } else {
        // Views start page-aligned, so a view needs the same padding as a
        // heap chunk's data for its areas to be aligned; the file grows by it.
        alignmentOffset_ = paddingFor(0, indexBytes_, alignment);
        blocksPerChunk_ = requestedBlocksPerChunk;
        chunkDataSize_ = alignmentOffset_ + stride_ * requestedBlocksPerChunk;
    }
    bumpLimit_ = blocksPerChunk_ == 0 ? 0 : alignmentOffset_ + (blocksPerChunk_ - 1) * stride_;
}

bool NodePool::growChunkTable() {
    if (blocksPerChunk_ == 0) return false;
    bumpOffset_ = alignmentOffset_;
    currentChunk_ = 0;
    started_ = newChunk();
    return started_;
}

PoolChunkHeader* NodePool::header(uint32_t index) const {
    if (mode_ == kHeapChunks) return reinterpret_cast<PoolChunkHeader*>(heapChunks_[index]);
    return &mappedChunks_[index]->header;
}

uint8_t* NodePool::dataStart(uint32_t index) const {
    if (mode_ == kHeapChunks) return heapChunks_[index] + kHeapChunkHeadBytes;
    return mappedChunks_[index]->view;
}

const uint8_t* NodePool::chunkBase(uint64_t index) const {
    if (mode_ == kHeapChunks) return index < heapChunks_.size() ? heapChunks_[index] : nullptr;
    if (index >= mappedChunks_.size() || mappedChunks_[index] == nullptr) return nullptr;
    return mappedChunks_[index]->view;
}

uint64_t NodePool::openChunkCount() const {
    uint64_t open = 0;
    for (uint64_t i = 0; i < heapChunks_.size(); ++i) open += heapChunks_[i] != nullptr;
    for (uint64_t i = 0; i < mappedChunks_.size(); ++i) open += mappedChunks_[i] != nullptr;
    return open;
}

uint32_t NodePool::chunkIndexOf(const void* block) const {
    uint32_t index;
    if (mode_ == kHeapChunks) {
        const auto at = reinterpret_cast<uintptr_t>(block) & ~uintptr_t{kHeapChunkBytes - 1};
        std::memcpy(&index, reinterpret_cast<const uint8_t*>(at) + sizeof(PoolChunkHeader), sizeof index);
    } else {
        std::memcpy(&index, static_cast<const uint8_t*>(block) - kIndexBytes, sizeof index);
    }
    return index;
}

// Reuses the most recently emptied table slot before growing the table.
template <typename Entry>
static uint32_t placeInTable(qevector<Entry>& table, U32Vector& freeIndexes, Entry chunk) {
    if (!freeIndexes.empty()) {
        uint32_t index = freeIndexes.back();
        freeIndexes.popBack();
        table[index] = chunk;
        return index;
    }
    table.pushBack(chunk);
    return static_cast<uint32_t>(table.size() - 1);
}

bool NodePool::newChunk() {
    if (blocksPerChunk_ == 0) return false;
    uint32_t index;
    if (mode_ == kHeapChunks) {
        if (heapChunks_.size() > kMaxChunks) return false;
        auto* chunk = static_cast<uint8_t*>(std::aligned_alloc(kHeapChunkBytes, kHeapChunkBytes));
        if (chunk == nullptr) return false;
        // Nodes fill a chunk from its start: past the first chunk (all a
        // small program takes), its pages are asked for in one call rather
        // than faulted in one by one (refused, they still fault).
        if (!heapChunks_.empty()) madvise(chunk, kHeapChunkBytes, MADV_POPULATE_WRITE);
        std::memset(chunk, 0, kHeapChunkHeadBytes);
        ASAN_POISON_MEMORY_REGION(chunk + kHeapChunkHeadBytes, kHeapChunkDataBytes);
        index = placeInTable(heapChunks_, freeChunkIndexes_, chunk);
        std::memcpy(chunk + sizeof(PoolChunkHeader), &index, sizeof index);
    } else {
        if (mappedChunks_.size() > kMaxChunks) return false;
        auto* descriptor = static_cast<MappedChunkDescriptor*>(std::calloc(1, sizeof(MappedChunkDescriptor)));
        if (descriptor == nullptr) return false;
        void* view = platform::createMappedTemp(chunkDataSize_);
        if (view == nullptr) {
            std::free(descriptor);
            return false;
        }
        descriptor->view = static_cast<uint8_t*>(view);
        descriptor->mappingSize = chunkDataSize_;
        ASAN_POISON_MEMORY_REGION(view, chunkDataSize_);
        index = placeInTable(mappedChunks_, freeChunkIndexes_, descriptor);
    }
    currentChunk_ = index;
    bumpOffset_ = alignmentOffset_;
    return true;
}

void* NodePool::alloc() {
    if (!started_ && !growChunkTable()) return nullptr;
    if (freeHead_ != nullptr) {
        uint8_t* block = freeHead_;
        PoolChunkHeader* chunk = header(chunkIndexOf(block));
        --chunk->freeCount;
        uint8_t* next = readNext(block);
        freeHead_ = next;
        if (next != nullptr) {
            if (chunk->freeCount == 0) {
                // This chunk's run is used up: the next run is now at the head.
                header(chunkIndexOf(next))->precedingFree = nullptr;
            } else {
                chunk->firstFree = next;
            }
        }
        ++liveCount_;
        ASAN_UNPOISON_MEMORY_REGION(block, stride_ - indexBytes_);
        return block;
    }
    if (bumpOffset_ > bumpLimit_ && !newChunk()) return nullptr;
    uint8_t* start = dataStart(static_cast<uint32_t>(currentChunk_)) + bumpOffset_;
    ASAN_UNPOISON_MEMORY_REGION(start, stride_);
    if (indexBytes_ != 0) {
        uint32_t index = static_cast<uint32_t>(currentChunk_);
        std::memcpy(start, &index, sizeof index);
    }
    bumpOffset_ += stride_;
    ++liveCount_;
    return start + indexBytes_;
}

void NodePool::free(void* address) {
    if (address == nullptr) return;
    auto* block = static_cast<uint8_t*>(address);
    --liveCount_;
    uint32_t index = chunkIndexOf(block);
    if (index == currentChunk_ && bumpOffset_ >= stride_) {
        auto start = reinterpret_cast<uintptr_t>(block - indexBytes_);
        if (start == reinterpret_cast<uintptr_t>(dataStart(index)) + bumpOffset_ - stride_) {
            // The block carved last: roll the bump back over it.
            bumpOffset_ -= stride_;
            ASAN_POISON_MEMORY_REGION(block - indexBytes_, stride_);
            return;
        }
    }
    ASAN_POISON_MEMORY_REGION(block, stride_ - indexBytes_);
    releaseToChunk(index, block);
}

void NodePool::releaseToChunk(uint32_t index, uint8_t* block) {
    PoolChunkHeader* chunk = header(index);
    if (chunk->freeCount == 0) {
        // A new run at the head of the list.
        writeNext(block, freeHead_);
        if (freeHead_ != nullptr) header(chunkIndexOf(freeHead_))->precedingFree = block;
        freeHead_ = block;
        chunk->firstFree = block;
        chunk->lastFree = block;
        chunk->precedingFree = nullptr;
        chunk->freeCount = 1;
    } else {
        // Behind the run's last block; what followed the run now follows block.
        uint8_t* last = chunk->lastFree;
        uint8_t* next = readNext(last);
        writeNext(block, next);
        writeNext(last, block);
        if (next != nullptr && chunkIndexOf(next) != index) header(chunkIndexOf(next))->precedingFree = block;
        chunk->lastFree = block;
        ++chunk->freeCount;
    }
    if (chunk->freeCount < blocksPerChunk_) return;

    // Every block is free again: take the run out of the list and return the chunk.
    uint8_t* preceding = chunk->precedingFree;
    uint8_t* following = readNext(chunk->lastFree);
    if (preceding != nullptr) {
        writeNext(preceding, following);
    } else {
        freeHead_ = following;
    }
    if (following != nullptr) header(chunkIndexOf(following))->precedingFree = preceding;
    releaseChunk(index);
}

void NodePool::releaseChunk(uint32_t index) {
    if (mode_ == kHeapChunks) {
        uint8_t* chunk = heapChunks_[index];
        ASAN_UNPOISON_MEMORY_REGION(chunk, kHeapChunkBytes);
        std::free(chunk);
        heapChunks_[index] = nullptr;
    } else {
        MappedChunkDescriptor* descriptor = mappedChunks_[index];
        // The shadow outlives the mapping; a later mapping at the same
        // address must not inherit the poison.
        ASAN_UNPOISON_MEMORY_REGION(descriptor->view, descriptor->mappingSize);
        platform::releaseMappedTemp(descriptor->view, descriptor->mappingSize);
        std::free(descriptor);
        mappedChunks_[index] = nullptr;
    }
    freeChunkIndexes_.pushBack(index);
}

void NodePool::releaseChunks() {
    for (uint64_t i = 0; i < heapChunks_.size(); ++i) {
        if (heapChunks_[i] == nullptr) continue;
        ASAN_UNPOISON_MEMORY_REGION(heapChunks_[i], kHeapChunkBytes);
        std::free(heapChunks_[i]);
    }
    for (uint64_t i = 0; i < mappedChunks_.size(); ++i) {
        MappedChunkDescriptor* descriptor = mappedChunks_[i];
        if (descriptor == nullptr) continue;
        ASAN_UNPOISON_MEMORY_REGION(descriptor->view, descriptor->mappingSize);
        platform::releaseMappedTemp(descriptor->view, descriptor->mappingSize);
        std::free(descriptor);
    }
    heapChunks_.clear();
    mappedChunks_.clear();
    freeChunkIndexes_.clear();
    liveCount_ = 0;
    bumpOffset_ = 0;
    currentChunk_ = 0;
    freeHead_ = nullptr;
    // The next alloc opens a fresh chunk instead of carving from a freed one.
    started_ = false;
}

void NodePool::destroy() { releaseChunks(); }

NodePool* globalNodePool() {
    // Built once and never torn down: nodes may be released until the end.
    alignas(NodePool) static unsigned char storage[sizeof(NodePool)];
    static NodePool* pool = [] {
        auto* made = new (storage) NodePool();
        made->init(NodePool::kHeapChunks, kGlobalPoolBlockBytes, 32, 8);
        made->growChunkTable();
        return made;
    }();
    return pool;
}

}  // namespace qestl
