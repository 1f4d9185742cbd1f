// A set of indexes below a size fixed at making, asked for the least index
// from a place on and the greatest before one, each in a few word reads: a
// bit per index, then a bit per non-empty word of the level below, up to
// one word. A chain of a million classes written subclass first runs a class
// pass per class, each asking both of sets that hold most of the items; a
// balanced tree's walk missed the cache at every level (bench/hostile_shapes.py
// inheritance_chain_reversed).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qestl {

class IndexSet {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    explicit IndexSet(size_t size = 0) {
        size_t words = (size + 63) / 64;
        do {
            words = words == 0 ? 1 : words;
            levels_[levelCount_++] = Level{static_cast<uint32_t>(words_.size()), static_cast<uint32_t>(words)};
            words_.resize(words_.size() + words);
            words = (words + 63) / 64;
        } while (levels_[levelCount_ - 1].count > 1);
    }

    bool empty() const { return words_.back() == 0; }
    bool contains(uint32_t index) const { return (wordOf(0, index / 64) >> (index % 64) & 1) != 0; }

    void insert(uint32_t index) {
        for (uint32_t level = 0; level < levelCount_; ++level, index /= 64) {
            uint64_t& word = wordOf(level, index / 64);
            const bool wasEmpty = word == 0;
            word |= uint64_t{1} << (index % 64);
            if (!wasEmpty) return;
        }
    }

    void erase(uint32_t index) {
        for (uint32_t level = 0; level < levelCount_; ++level, index /= 64) {
            uint64_t& word = wordOf(level, index / 64);
            word &= ~(uint64_t{1} << (index % 64));
            if (word != 0) return;
        }
    }

    // The least index at or after `from`.
    uint32_t next(uint64_t from) const {
        uint32_t level = 0;
        for (;; ++level) {
            if (level == levelCount_) return kNone;
            const uint64_t at = from / 64;
            if (at >= levels_[level].count) return kNone;
            const uint64_t bits = wordOf(level, at) & (~uint64_t{0} << (from % 64));
            if (bits != 0) {
                from = at * 64 + static_cast<uint64_t>(std::countr_zero(bits));
                break;
            }
            from = at + 1;
        }
        for (; level > 0; --level) from = from * 64 + static_cast<uint64_t>(std::countr_zero(wordOf(level - 1, from)));
        return static_cast<uint32_t>(from);
    }

    // The greatest index before `before`.
    uint32_t previous(uint64_t before) const {
        if (before == 0) return kNone;
        uint64_t last = before - 1;
        uint32_t level = 0;
        for (;; ++level) {
            const uint64_t at = last / 64;
            const uint64_t bits = wordOf(level, at) & (~uint64_t{0} >> (63 - last % 64));
            if (bits != 0) {
                last = at * 64 + 63 - static_cast<uint64_t>(std::countl_zero(bits));
                break;
            }
            if (at == 0 || level + 1 == levelCount_) return kNone;
            last = at - 1;
        }
        for (; level > 0; --level)
            last = last * 64 + 63 - static_cast<uint64_t>(std::countl_zero(wordOf(level - 1, last)));
        return static_cast<uint32_t>(last);
    }

private:
    struct Level {
        uint32_t offset;
        uint32_t count;
    };
    uint64_t& wordOf(uint32_t level, uint64_t at) { return words_[levels_[level].offset + at]; }
    uint64_t wordOf(uint32_t level, uint64_t at) const { return words_[levels_[level].offset + at]; }

    std::vector<uint64_t> words_;
    Level levels_[6];
    uint32_t levelCount_ = 0;
};

}  // namespace qestl
