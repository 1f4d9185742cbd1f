// The name strings of an image: each text once, NUL-terminated, found again
// by its bytes. The image writer empties and fills it; references to a text
// are relative to the pool's place in the image.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"
#include "foundation/vector.h"

namespace model {

class NameStringPool {
public:
    void clear() {
        bytes_.clear();
        slots_.clear();
        zeroLengths_.clear();
        used_ = 0;
        offsetMask_ = 0;
        next_ = 0;
        foundInPlace_ = 0;
        zeroInside_ = false;
        expected_ = 0;
    }
    // Where the pool lies in the image.
    void setBase(uint64_t base) { base_ = base; }
    uint64_t base() const { return base_; }
    // The offset of text in the pool (appended once, with its terminator).
    uint64_t offsetOf(std::string_view text);
    const qestl::ByteVector& bytes() const { return bytes_; }

    // A large image's table and bytes lie far outside the caches: what an
    // offsetOf a few texts later will read is loaded ahead, in two steps
    // some texts apart, each on what the one before loaded. First the
    // place where text's search begins, then the bytes of a text there
    // that may be this one. A search of a table near three quarters full
    // runs on past the line of the place it begins at more often than not
    // (a new text, in a pool of millions, probed five or six slots on
    // average): the line behind it is loaded too. (bench/hostile_shapes.py
    // static_fields: a container of a million members named in the pool.)
    void prefetchPlace(std::string_view text) const {
        if (slots_.empty()) return;
        const size_t mask = slots_.size() - 1;
        const size_t at = hashOf(text) & mask;
        qestl::touch(&slots_[at]);
        qestl::touch(&slots_[(at + kLineSlots) & mask]);
    }
    void prefetchText(std::string_view text) const;
    // How many texts since clear() were found behind the one named before,
    // without a search: while all are, looking ahead in the table is wasted.
    size_t foundInPlace() const { return foundInPlace_; }
    // At most how many texts may still be new before the writer says again:
    // a table that must grow grows at once to hold them all. A container of
    // a million members otherwise moved every slot at each of a dozen
    // doublings, each move a wait for memory.
    void expectNew(size_t count) { expected_ = count; }
    // Below this the table sits in the caches, where looking ahead only
    // hashes every text twice more.
    bool outgrowsCaches() const { return slots_.size() >= kCachedSlots; }

private:
    // An image names hundreds of thousands of texts: the table is open
    // addressing over the pool's own bytes, a flat array that a lookup
    // touches in one place, rather than a node and a copy of each text.
    // A slot is one 32-bit word, with the image's other tables at its peak
    // of memory (a program of a million one-method classes names five
    // million texts): the low bits hold the text's offset, as many as the
    // pool may reach before the table is made again, and the bits above
    // them the hash's high bits, which filter the compares. A text ends at
    // its terminator: its length is kept aside only for the rare text that
    // holds a 0 byte itself.
    // A free slot holds the offset bits' all ones, which no text's offset
    // reaches, and no filter bits (a pattern of bytes no memset fills: a
    // fill of a table counts a step a byte then).
    using Slot = uint32_t;
    static constexpr uint32_t kWholeWord = UINT32_MAX;
    static constexpr size_t kLineSlots = 64 / sizeof(Slot);
    static constexpr size_t kCachedSlots = size_t{1} << 17;  // half a MiB of slots
    // Room for the some three thousand texts of a program of ten thousand
    // lines, the built-ins' names among them: a table made again as it
    // grows hashes every text once more.
    static constexpr size_t kFirstSlots = 8192;
    // The low half finds the slot, the high half gives the filter bits.
    static uint64_t hashOf(std::string_view text);
    // Half used at most while the table sits in the caches, three quarters
    // once it outgrew them: there a probe a few slots longer costs less
    // than a table, and a move of every slot, twice as large.
    static size_t roomIn(size_t size) { return size >= kCachedSlots ? size / 4 * 3 : size / 2; }
    Slot filterOf(uint64_t hash) const { return static_cast<Slot>(hash >> 32) & ~offsetMask_; }
    // The table is made again, from the pool's texts in order, when it must
    // grow or the next offset would not fit its offset bits.
    void grow();
    // Whether the text at a slot with the text's hash is the text.
    bool holds(Slot slot, std::string_view text) const {
        const uint32_t offset = slot & offsetMask_;
        const uint64_t end = uint64_t{offset} + text.size();
        if (end >= bytes_.size() ||
            (!text.empty() && std::memcmp(bytes_.data() + offset, text.data(), text.size()) != 0) || bytes_[end] != 0)
            return false;
        return !zeroInside_ || storedLength(offset) == text.size();
    }
    // The length of the text at an offset, which may hold a 0 byte.
    size_t storedLength(uint32_t offset) const;

    uint64_t base_ = 0;
    qestl::ByteVector bytes_;
    qestl::TableVector<Slot> slots_;  // a power of two, at most half or three quarters used
    uint32_t offsetMask_ = 0;         // the offset bits of a slot
    size_t used_ = 0;
    uint64_t next_ = 0;  // where the text behind the one named last begins
    size_t foundInPlace_ = 0;
    bool zeroInside_ = false;                             // some text holds a 0 byte
    std::unordered_map<uint32_t, uint32_t> zeroLengths_;  // offset -> length of each such text
    size_t expected_ = 0;                                 // expectNew
};

}  // namespace model
