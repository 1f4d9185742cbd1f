#include "source/node_text.h"

#include <cstdlib>

#include "foundation/memory.h"

namespace nodetext {

namespace {

// The empty text: a zero length and its terminator.
alignas(4) char gEmptyChunk[8] = {};


// Bytes an entry takes: the length, the text, its 0, rounded to 4.
size_t entryBytes(size_t length) { return (sizeof(uint32_t) + length + 1 + 3) & ~size_t{3}; }

bool sameText(uint32_t reference, std::string_view text) {
    const char* at = entry(reference);
    uint32_t n;
    std::memcpy(&n, at, sizeof n);
    return n == text.size() && std::memcmp(at + sizeof n, text.data(), n) == 0;
}

uint64_t hashOf(std::string_view text) {
    // Up to 16 bytes as two words, multiplied apart and folded.
    uint64_t low = 0, high = 0;
    const size_t first = text.size() < 8 ? text.size() : 8;
    std::memcpy(&low, text.data(), first);
    if (text.size() > 8) std::memcpy(&high, text.data() + 8, text.size() - 8);
    uint64_t h = (low * 0x9E3779B97F4A7C15ull) ^ (high * 0xC2B2AE3D27D4EB4Full) ^ text.size();
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

// Appends texts to the current chunk; a text too large for a chunk gets a
// chunk of its own. Short texts are looked up first in an open-addressing
// table of references (0 marks a free slot: the empty text is never put in).
class Store {
public:
    uint32_t put(std::string_view text) {
        if (text.empty()) return 0;
        if (text.size() > kSharedLength) return append(text);
        if ((count_ + 1) * 2 > capacity_) grow();
        size_t slot = hashOf(text) & (capacity_ - 1);
        while (table_[slot] != 0) {
            if (sameText(table_[slot], text)) return table_[slot];
            slot = (slot + 1) & (capacity_ - 1);
        }
        const uint32_t reference = append(text);
        table_[slot] = reference;
        ++count_;
        return reference;
    }

private:
    uint32_t append(std::string_view text) {
        // The length is kept in 32 bits: a longer text is more than the
        // compiler could hold anyway.
        if (text.size() > UINT32_MAX - 8) qestl::outOfMemory(text.size());
        const size_t bytes = entryBytes(text.size());
        uint32_t chunk;
        size_t offset;
        if (bytes > kChunkBytes) {
            chunk = newChunk(bytes);
            offset = 0;
        } else {
            if (current_ == 0 || used_ + bytes > kChunkBytes) {
                current_ = newChunk(kChunkBytes);
                used_ = 0;
            }
            chunk = current_;
            offset = used_;
            used_ += bytes;
        }
        char* at = gChunks[chunk] + offset;
        // A fresh entry: the text may be a stored one, which stays where it is.
        const uint32_t length = static_cast<uint32_t>(text.size());
        std::memcpy(at + sizeof length, text.data(), text.size());
        std::memcpy(at, &length, sizeof length);
        at[sizeof length + text.size()] = 0;
        return chunk << kOffsetBits | static_cast<uint32_t>(offset >> 2);
    }

    uint32_t newChunk(size_t bytes) {
        if (chunks_ == kMaxChunks) qestl::outOfMemory(bytes);
        gChunks[chunks_] = static_cast<char*>(qestl::allocateOrDie(bytes));
        return static_cast<uint32_t>(chunks_++);
    }

    void grow() {
        const size_t capacity = capacity_ == 0 ? 1024 : capacity_ * 2;
        auto* table = static_cast<uint32_t*>(qestl::zeroAllocateOrDie(capacity, sizeof(uint32_t)));
        for (size_t i = 0; i < capacity_; ++i) {
            if (table_[i] == 0) continue;
            const char* at = entry(table_[i]);
            uint32_t n;
            std::memcpy(&n, at, sizeof n);
            size_t slot = hashOf(std::string_view(at + sizeof n, n)) & (capacity - 1);
            while (table[slot] != 0) slot = (slot + 1) & (capacity - 1);
            table[slot] = table_[i];
        }
        std::free(table_);
        table_ = table;
        capacity_ = capacity;
    }

    size_t chunks_ = 1;  // chunk 0 is the empty text's
    uint32_t current_ = 0;
    size_t used_ = 0;
    uint32_t* table_ = nullptr;
    size_t capacity_ = 0;
    size_t count_ = 0;
};

constinit Store gStore;

}  // namespace

constinit char* gChunks[kMaxChunks] = {gEmptyChunk};

uint32_t store(std::string_view text) { return gStore.put(text); }

}  // namespace nodetext
