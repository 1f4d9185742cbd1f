#include <gtest/gtest.h>

#include <dirent.h>
#include <sanitizer/asan_interface.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "foundation/live_registry.h"
#include "foundation/node_pool.h"
#include "foundation/sanitizer.h"
#include "foundation/smart_ptr.h"

namespace {

using qestl::NodePool;

uintptr_t addressOf(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// A heap chunk is aligned on its size and starts with its header and index
// (36 bytes, padded to the alignment); blocks follow back to back.
TEST(NodePool, AreasLieAtFortyPlusStrideAndAreAligned) {
    NodePool pool;
    pool.init(NodePool::kHeapChunks, 296, 32, 8);
    ASSERT_TRUE(pool.growChunkTable());
    const uint8_t* base = pool.chunkBase(0);
    EXPECT_EQ(addressOf(base) % NodePool::kHeapChunkBytes, 0u);
    for (uint64_t k = 0; k < 5; ++k) {
        void* area = pool.alloc();
        EXPECT_EQ(addressOf(area), addressOf(base) + 40 + 296 * k);
        EXPECT_EQ(addressOf(area) % 8, 0u);
        EXPECT_EQ(pool.chunkIndexOf(area), 0u);
    }
    EXPECT_EQ(pool.liveCount(), 5u);
}

TEST(NodePool, ReverseOrderFreesRollTheBumpBack) {
    NodePool pool;
    pool.init(NodePool::kHeapChunks, 40, 32, 8);
    ASSERT_TRUE(pool.growChunkTable());
    uint64_t start = pool.bumpOffset();
    void* a = pool.alloc();
    void* b = pool.alloc();
    pool.free(b);
    pool.free(a);
    EXPECT_EQ(pool.bumpOffset(), start);
    EXPECT_EQ(pool.freeListHead(), nullptr);
    EXPECT_EQ(pool.liveCount(), 0u);
    EXPECT_EQ(pool.alloc(), a);
}

TEST(NodePool, FreedInnerBlockIsHandedOutNext) {
    NodePool pool;
    pool.init(NodePool::kHeapChunks, 16, 32, 8);
    ASSERT_TRUE(pool.growChunkTable());
    void* a = pool.alloc();
    void* b = pool.alloc();
    pool.alloc();
    pool.free(a);
    EXPECT_EQ(pool.freeListHead(), a);
    uint64_t bump = pool.bumpOffset();
    EXPECT_EQ(pool.alloc(), a);
    EXPECT_EQ(pool.bumpOffset(), bump);
    EXPECT_EQ(pool.freeListHead(), nullptr);
    pool.free(b);
    EXPECT_EQ(pool.alloc(), b);
}

// Blocks this large leave three to a chunk, so chunks fill and empty quickly.
constexpr uint64_t kLargeBlock = 0x80000;

TEST(NodePool, EmptiedChunkIsReleasedAndItsIndexReused) {
    NodePool pool;
    pool.init(NodePool::kHeapChunks, kLargeBlock, 32, 8);
    ASSERT_EQ(pool.blocksPerChunk(), 3u);
    ASSERT_TRUE(pool.growChunkTable());
    std::vector<void*> first{pool.alloc(), pool.alloc(), pool.alloc()};
    void* second = pool.alloc();
    EXPECT_EQ(pool.chunkIndexOf(second), 1u);
    EXPECT_EQ(pool.openChunkCount(), 2u);
    for (void* block : first) pool.free(block);
    EXPECT_EQ(pool.openChunkCount(), 1u);
    EXPECT_EQ(pool.chunkBase(0), nullptr);
    EXPECT_EQ(pool.freeListHead(), nullptr) << "the released chunk's run must leave the list";
    pool.alloc();
    pool.alloc();
    void* third = pool.alloc();  // chunk 1 is full: a new chunk takes slot 0
    EXPECT_EQ(pool.chunkIndexOf(third), 0u);
    EXPECT_EQ(pool.currentChunk(), 0u);
    EXPECT_NE(pool.chunkBase(0), nullptr);
}

// Random allocs and frees against a model: no block is handed out twice,
// contents survive other traffic, and once everything is free again every
// chunk but the current one has been returned.
TEST(NodePool, RandomTrafficKeepsBlocksDistinctAndReturnsChunks) {
    for (uint64_t blockSize : {kLargeBlock, uint64_t{200000}}) {
        NodePool pool;
        pool.init(NodePool::kHeapChunks, blockSize, 32, 8);
        ASSERT_TRUE(pool.growChunkTable());
        std::mt19937 random(static_cast<uint32_t>(blockSize));
        std::map<uint8_t*, uint8_t> live;  // block -> fill byte
        for (int step = 0; step < 3000; ++step) {
            bool allocate = live.empty() || random() % 100 < (step < 1500 ? 60u : 35u);
            if (allocate) {
                auto* block = static_cast<uint8_t*>(pool.alloc());
                ASSERT_NE(block, nullptr);
                ASSERT_EQ(live.count(block), 0u) << "block handed out twice";
                uint8_t fill = static_cast<uint8_t>(random());
                std::memset(block, fill, 64);
                std::memset(block + blockSize - 64, fill, 64);
                live[block] = fill;
            } else {
                auto it = live.begin();
                std::advance(it, random() % live.size());
                for (size_t i : {size_t{0}, size_t{63}, static_cast<size_t>(blockSize - 1)}) {
                    ASSERT_EQ(it->first[i], it->second) << "block contents overwritten";
                }
                pool.free(it->first);
                live.erase(it);
            }
            ASSERT_EQ(pool.liveCount(), live.size());
        }
        for (auto& [block, fill] : live) pool.free(block);
        EXPECT_EQ(pool.liveCount(), 0u);
        EXPECT_LE(pool.openChunkCount(), 1u);
    }
}

TEST(NodePool, PoolStartsAgainAfterReleasingItsChunks) {
    NodePool pool;
    pool.init(NodePool::kHeapChunks, 64, 32, 16);
    ASSERT_TRUE(pool.growChunkTable());
    for (int i = 0; i < 10; ++i) pool.alloc();
    pool.releaseChunks();
    EXPECT_EQ(pool.openChunkCount(), 0u);
    EXPECT_EQ(pool.liveCount(), 0u);
    void* block = pool.alloc();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(addressOf(block) % 16, 0u);
    std::memset(block, 0xAB, 64);
}

TEST(NodePool, BlockTooLargeForAChunkIsRefused) {
    NodePool pool;
    pool.init(NodePool::kHeapChunks, NodePool::kHeapChunkBytes, 32, 8);
    EXPECT_EQ(pool.blocksPerChunk(), 0u);
    EXPECT_FALSE(pool.growChunkTable());
    EXPECT_EQ(pool.alloc(), nullptr);
}

#if defined(KORVO_ADDRESS_SANITIZER)
TEST(NodePool, ReleasedBlocksArePoisoned) {
    NodePool pool;
    pool.init(NodePool::kHeapChunks, 296, 32, 8);
    ASSERT_TRUE(pool.growChunkTable());
    auto* a = static_cast<char*>(pool.alloc());
    auto* b = static_cast<char*>(pool.alloc());
    auto* c = static_cast<char*>(pool.alloc());
    EXPECT_EQ(__asan_region_is_poisoned(a, 296), nullptr);
    pool.free(a);  // onto the free list
    EXPECT_TRUE(__asan_address_is_poisoned(a));
    EXPECT_TRUE(__asan_address_is_poisoned(a + 200));
    pool.free(c);  // bump roll-back
    EXPECT_TRUE(__asan_address_is_poisoned(c));
    EXPECT_EQ(__asan_region_is_poisoned(b, 296), nullptr) << "neighbours stay usable";
    EXPECT_DEATH(static_cast<volatile char*>(a)[16] = 1, "use-after-poison");
    EXPECT_EQ(pool.alloc(), a);
    EXPECT_EQ(__asan_region_is_poisoned(a, 296), nullptr);
    std::memset(a, 0, 296);
}
#endif

// Points TMPDIR at a fresh directory for the test's duration.
class ScratchTempDir {
public:
    ScratchTempDir() {
        const char* old = std::getenv("TMPDIR");
        if (old != nullptr) {
            saved_ = old;
            hadOld_ = true;
        }
        std::string pattern = std::string(old != nullptr ? old : "/tmp") + "/korvo-pool-XXXXXX";
        path_ = mkdtemp(pattern.data()) != nullptr ? pattern : "";
        setenv("TMPDIR", path_.c_str(), 1);
    }
    ~ScratchTempDir() {
        if (hadOld_) {
            setenv("TMPDIR", saved_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        rmdir(path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(path_.c_str())) {
            while (dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            closedir(dir);
        }
        return names;
    }

private:
    std::string path_;
    std::string saved_;
    bool hadOld_ = false;
};

// Mapped views of deleted files from dir whose names begin with the prefix.
int mappedTempFiles(const std::string& dir) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    int found = 0;
    while (std::getline(maps, line)) {
        if (line.find(dir + "/tmp~") != std::string::npos && line.find("(deleted)") != std::string::npos) ++found;
    }
    return found;
}

TEST(NodePool, MappedChunksLeaveNoFileBehind) {
    ScratchTempDir scratch;
    ASSERT_FALSE(scratch.path().empty());
    {
        NodePool pool;
        pool.init(NodePool::kMappedChunks, 296, 32, 8);
        EXPECT_EQ(pool.blocksPerChunk(), 32u);
        EXPECT_EQ(pool.chunkDataSize(), 4u + 304u * 32u);
        ASSERT_TRUE(pool.growChunkTable());
        std::vector<void*> blocks;
        for (int i = 0; i < 32 * 3; ++i) {
            void* block = pool.alloc();
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(addressOf(block) % 8, 0u);
            std::memset(block, i, 296);
            blocks.push_back(block);
        }
        EXPECT_EQ(pool.openChunkCount(), 3u);
        EXPECT_EQ(mappedTempFiles(scratch.path()), 3);
        EXPECT_TRUE(scratch.entries().empty()) << "files must be unlinked while mapped";

        // The first chunk is not current: freeing its blocks returns it.
        for (int i = 0; i < 32; ++i) pool.free(blocks[i]);
        EXPECT_EQ(pool.openChunkCount(), 2u);
        EXPECT_EQ(mappedTempFiles(scratch.path()), 2);
        EXPECT_EQ(static_cast<uint8_t*>(blocks[40])[5], 40);
    }
    EXPECT_EQ(mappedTempFiles(scratch.path()), 0);
    EXPECT_TRUE(scratch.entries().empty());
}

TEST(NodePool, MappedChunkRefusedWithoutATemporaryDirectory) {
    ScratchTempDir scratch;
    setenv("TMPDIR", (scratch.path() + "/missing").c_str(), 1);
    NodePool pool;
    pool.init(NodePool::kMappedChunks, 296, 32, 8);
    EXPECT_FALSE(pool.growChunkTable());
    EXPECT_EQ(pool.alloc(), nullptr);
}

struct PoolResident : qestl::CountedObject {
    explicit PoolResident(int* destroyed) : destroyed_(destroyed) {}
    ~PoolResident() override { ++*destroyed_; }
    int* destroyed_;
};

TEST(NodePool, PoolDisposalDestroysAndReturnsTheBlock) {
    NodePool* pool = qestl::globalNodePool();
    uint64_t before = pool->liveCount();
    int destroyed = 0;
    void* block = pool->alloc();
    ASSERT_NE(block, nullptr);
    auto* object = new (block) PoolResident(&destroyed);
    EXPECT_EQ(pool->liveCount(), before + 1);
    qestl::destroyPoolObject(object);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(pool->liveCount(), before);
}

}  // namespace
