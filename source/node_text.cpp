#include "source/node_text.h"

#include <cstdlib>

#include "foundation/look_ahead.h"
#include "foundation/memory.h"
#include "syntax/scanner.h"

namespace nodetext {

namespace {

// Chunk 0: the empty text, then every text of one byte, 8 bytes an entry
// (length, byte, terminators). Operators and one-letter names are a large
// share of a program's texts; these need no lookup.
struct FixedTexts {
    static constexpr size_t kEntryBytes = 8;
    alignas(4) char bytes[kEntryBytes * 257];
    constexpr FixedTexts() : bytes() {
        for (int c = 0; c < 256; ++c) {
            bytes[kEntryBytes * (c + 1)] = 1;  // the u32 length, little-endian
            bytes[kEntryBytes * (c + 1) + sizeof(uint32_t)] = static_cast<char>(c);
        }
    }
};

constinit FixedTexts gFixedTexts;

uint32_t oneByteText(char c) {
    return static_cast<uint32_t>(FixedTexts::kEntryBytes * (static_cast<uint8_t>(c) + 1) >> 2);
}

// Bytes an entry takes: the length, the text, its two 0s, rounded to 4.
size_t entryBytes(size_t length) { return (sizeof(uint32_t) + length + 2 + 3) & ~size_t{3}; }

uint64_t load64(const char* at) {
    uint64_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

uint64_t load32(const char* at) {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// A short text (at most 16 bytes) as two words that, with its length, tell
// it from every other: overlapping loads from both ends cover every byte.
struct Key {
    uint64_t first = 0, last = 0;
    uint32_t length = 0;
    bool operator==(const Key&) const = default;
};

Key keyOf(const char* at, size_t length) {
    Key key;
    key.length = static_cast<uint32_t>(length);
    if (length >= 8) {
        key.first = load64(at);
        key.last = load64(at + length - 8);
    } else if (length >= 4) {
        key.first = load32(at);
        key.last = load32(at + length - 4);
    } else if (length > 0) {
        key.first = uint64_t{static_cast<uint8_t>(at[0])} | uint64_t{static_cast<uint8_t>(at[length / 2])} << 8 |
                    uint64_t{static_cast<uint8_t>(at[length - 1])} << 16;
    }
    return key;
}

Key keyOfStored(uint32_t reference) {
    const char* at = entry(reference);
    uint32_t n;
    std::memcpy(&n, at, sizeof n);
    return keyOf(at + sizeof n, n);
}

uint32_t hashOf(const Key& key) {
    uint64_t h = (key.first * 0x9E3779B97F4A7C15ull) ^ (key.last * 0xC2B2AE3D27D4EB4Full) ^ key.length;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<uint32_t>(h >> 32);
}

// How far past a name the scanner met its names are loaded: some lines of
// code, time enough for the loads to arrive before a node takes them.
constexpr size_t kAheadBytes = 256;

// Appends texts to the current chunk; a text too large for a chunk gets a
// chunk of its own. Short texts are looked up first in an open-addressing
// table whose slots hold a text's hash above its reference (0 marks a free
// slot: the empty text is never put in).
class Store {
public:
    uint32_t put(std::string_view text) {
        if (text.empty()) return 0;
        if (text.size() == 1) return oneByteText(text[0]);
        // A number's spelling seldom repeats past one digit, which needs no
        // lookup: its entry takes less than its place in the table would,
        // and a program of many numbers misses the caches on every lookup.
        if (!isShared(text)) return append(text);
        if ((count_ + 1) * 2 > capacity_) grow();
        const Key key = keyOf(text.data(), text.size());
        const uint32_t hash = hashOf(key);
        size_t slot = hash & (capacity_ - 1);
        while (table_[slot] != 0) {
            const uint32_t reference = static_cast<uint32_t>(table_[slot]);
            if (table_[slot] >> 32 == hash && keyOfStored(reference) == key) return reference;
            slot = (slot + 1) & (capacity_ - 1);
        }
        const uint32_t reference = append(text);
        table_[slot] = uint64_t{hash} << 32 | reference;
        ++count_;
        return reference;
    }

    const bool* pastCaches() const { return &pastCaches_; }

    // The words up to kAheadBytes past the name are loaded, each once: the
    // next call goes on from where this one stopped, while that lies
    // within the same text ahead of its name.
    void prefetchAhead(const char* text, size_t length, const char* end) {
        const char* from = text + length;
        const uintptr_t resume = reinterpret_cast<uintptr_t>(ahead_);
        if (resume > reinterpret_cast<uintptr_t>(from) && resume <= reinterpret_cast<uintptr_t>(end)) {
            from = ahead_;
        } else {
            prefetch(text, length);
        }
        const char* limit = static_cast<size_t>(end - text) > kAheadBytes ? text + kAheadBytes : end;
        while (from < limit) {
            if (!scanner::kWordBytes.word[static_cast<uint8_t>(*from)]) {
                ++from;
                continue;
            }
            const char* word = from;
            while (from < end && scanner::kWordBytes.word[static_cast<uint8_t>(*from)]) ++from;
            if (!(*word >= '0' && *word <= '9')) prefetch(word, static_cast<size_t>(from - word));
        }
        ahead_ = from;
    }

    void prefetch(const char* text, size_t length) const {
        if (length < 2 || length > kSharedLength) return;
        const size_t slot = hashOf(keyOf(text, length)) & (capacity_ - 1);
        qestl::touchHashed(&table_[slot]);
    }

    uint32_t extend(uint32_t reference, std::string_view suffix) {
        if (suffix.empty()) return reference;
        char* at = gChunks[reference >> kOffsetBits] + (size_t{reference & ((1u << kOffsetBits) - 1)} << 2);
        uint32_t length;
        std::memcpy(&length, at, sizeof length);
        const size_t total = length + suffix.size();
        if (reference != 0 && reference == growable_ && total <= growableRoom_) {
            std::memcpy(at + sizeof length + length, suffix.data(), suffix.size());
            at[sizeof length + total] = 0;
            at[sizeof length + total + 1] = 0;
            const uint32_t stored = static_cast<uint32_t>(total);
            std::memcpy(at, &stored, sizeof stored);
            return reference;
        }
        const std::string_view text(at + sizeof length, length);
        if (total <= kSharedLength) {
            char joined[kSharedLength];
            std::memcpy(joined, text.data(), text.size());
            std::memcpy(joined + text.size(), suffix.data(), suffix.size());
            return put(std::string_view(joined, total));
        }
        // Room for as much again: a text extended over and over is copied
        // a logarithmic number of times, not once per extension.
        const size_t room = total > (UINT32_MAX - 8) / 2 ? total : 2 * total;
        growable_ = write(text, suffix, room);
        growableRoom_ = room;
        return growable_;
    }

private:
    uint32_t append(std::string_view text) { return write(text, {}, text.size()); }

    // A fresh entry of the two texts joined, with room for `room` bytes of
    // text; the texts may be stored ones, which stay where they are.
    uint32_t write(std::string_view text, std::string_view suffix, size_t room) {
        const size_t total = text.size() + suffix.size();
        // The length is kept in 32 bits: a longer text is more than the
        // compiler could hold anyway.
        if (total > UINT32_MAX - 8) qestl::outOfMemory(total);
        const size_t bytes = entryBytes(room);
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
        const uint32_t length = static_cast<uint32_t>(total);
        std::memcpy(at + sizeof length, text.data(), text.size());
        if (!suffix.empty()) std::memcpy(at + sizeof length + text.size(), suffix.data(), suffix.size());
        std::memcpy(at, &length, sizeof length);
        at[sizeof length + total] = 0;
        at[sizeof length + total + 1] = 0;
        return chunk << kOffsetBits | static_cast<uint32_t>(offset >> 2);
    }

    uint32_t newChunk(size_t bytes) {
        if (chunks_ == kMaxChunks) qestl::outOfMemory(bytes);
        gChunks[chunks_] = static_cast<char*>(qestl::allocateOrDie(bytes));
        return static_cast<uint32_t>(chunks_++);
    }

    void grow() {
        if (packed_ != nullptr) return unpack();
        const size_t capacity = capacity_ == 0 ? 1024 : capacity_ * 2;
        auto* table = static_cast<uint64_t*>(qestl::zeroAllocateOrDie(capacity, sizeof(uint64_t)));
        for (size_t i = 0; i < capacity_; ++i) {
            if (table_[i] != 0) place(table, capacity, table_[i]);
        }
        std::free(table_);
        table_ = table;
        capacity_ = capacity;
        constexpr size_t kCachedSlots = size_t{1} << 16;
        pastCaches_ = capacity >= kCachedSlots;
    }

    static void place(uint64_t* table, size_t capacity, uint64_t entry) {
        size_t slot = (entry >> 32) & (capacity - 1);
        while (table[slot] != 0) slot = (slot + 1) & (capacity - 1);
        table[slot] = entry;
    }

public:
    // The table keeps its shared texts' references alone, a quarter of
    // its bytes or less; the next put that looks one up makes it again.
    void pack() {
        if (capacity_ == 0 || packed_ != nullptr) return;
        auto* references = static_cast<uint32_t*>(qestl::allocateOrDie((count_ + 1) * sizeof(uint32_t)));
        size_t n = 0;
        for (size_t i = 0; i < capacity_; ++i) {
            if (table_[i] != 0) references[n++] = static_cast<uint32_t>(table_[i]);
        }
        std::free(table_);
        table_ = nullptr;
        capacity_ = 0;
        pastCaches_ = false;
        packed_ = references;
    }

private:
    void unpack() {
        size_t capacity = 1024;
        while ((count_ + 1) * 2 > capacity) capacity *= 2;
        auto* table = static_cast<uint64_t*>(qestl::zeroAllocateOrDie(capacity, sizeof(uint64_t)));
        for (size_t i = 0; i < count_; ++i)
            place(table, capacity, uint64_t{hashOf(keyOfStored(packed_[i]))} << 32 | packed_[i]);
        std::free(packed_);
        packed_ = nullptr;
        table_ = table;
        capacity_ = capacity;
        constexpr size_t kCachedSlots = size_t{1} << 16;
        pastCaches_ = capacity >= kCachedSlots;
    }

    size_t chunks_ = 1;  // chunk 0 is the empty text's
    uint32_t growable_ = 0;  // the entry extend made last, and its room
    size_t growableRoom_ = 0;
    uint32_t current_ = 0;
    size_t used_ = 0;
    uint64_t* table_ = nullptr;
    size_t capacity_ = 0;
    uint32_t* packed_ = nullptr;  // the shared texts while the table is packed
    size_t count_ = 0;
    bool pastCaches_ = false;      // the table is larger than the caches keep
    const char* ahead_ = nullptr;  // where the last prefetchAhead stopped
};

constinit Store gStore;

}  // namespace

constinit char* gChunks[kMaxChunks] = {gFixedTexts.bytes};

uint32_t store(std::string_view text) { return gStore.put(text); }

uint32_t extend(uint32_t reference, std::string_view suffix) { return gStore.extend(reference, suffix); }

void prefetch(const char* text, size_t length, const char* end) { gStore.prefetchAhead(text, length, end); }

void packSharedTexts() { gStore.pack(); }

const bool* prefetchWanted() { return gStore.pastCaches(); }

}  // namespace nodetext
