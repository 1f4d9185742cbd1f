// The name index of a container: each name with the indexes of the members
// listed under it, in the order they were entered. A compilation enters
// thousands of names before its first line (the catalogue's members, its
// constants' global names): entering one allocates nothing of its own, the
// names lie back to back in one text and the lists in one array of places.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"
#include "foundation/text_map.h"

namespace model {

// The member indexes listed under one name, in insertion order. Most names
// list one member, held in place; an overloaded name takes a buffer, whose
// first two words count its entries and its room. One word either way: a
// slot of the name index takes 24 bytes rather than 32.
class IndexList {
public:
    IndexList() = default;
    IndexList(const IndexList& other) { copyFrom(other); }
    IndexList(IndexList&& other) noexcept : word_(other.word_) { other.word_ = kNone; }
    IndexList& operator=(const IndexList& other) {
        if (this != &other) {
            release();
            copyFrom(other);
        }
        return *this;
    }
    IndexList& operator=(IndexList&& other) noexcept {
        if (this != &other) {
            release();
            word_ = other.word_;
            other.word_ = kNone;
        }
        return *this;
    }
    ~IndexList() { release(); }

    const uint32_t* begin() const { return inPlace() ? &half_[1] : many_ + kHead; }
    const uint32_t* end() const { return begin() + size(); }
    size_t size() const { return inPlace() ? half_[0] >> 1 : many_[0]; }
    bool empty() const { return size() == 0; }
    uint32_t front() const { return *begin(); }
    uint32_t operator[](size_t i) const { return begin()[i]; }

    void push_back(uint32_t index) {
        if (inPlace() && half_[0] == kNone) {
            half_[0] = kOne;
            half_[1] = index;
            return;
        }
        if (inPlace() || many_[0] == many_[1]) grow();
        many_[kHead + many_[0]++] = index;
    }
    // Takes out the entry at position `at`; the later ones move down.
    void erase(size_t at) {
        if (inPlace()) {
            half_[0] = kNone;
            return;
        }
        uint32_t* entries = many_ + kHead;
        for (size_t i = at + 1; i < many_[0]; ++i) entries[i - 1] = entries[i];
        --many_[0];
    }

private:
    // In place, the low half is the count shifted by one with the low bit
    // set (a buffer's address never has it), the high half the one entry.
    static constexpr uint32_t kNone = 1;
    static constexpr uint32_t kOne = 3;
    static constexpr uint32_t kHead = 2;
    bool inPlace() const { return (half_[0] & 1) != 0; }

    void grow() {
        const uint32_t count = static_cast<uint32_t>(size());
        const uint32_t room = count < 2 ? 2 : count * 2;
        auto* fresh = new uint32_t[kHead + room];
        fresh[0] = count;
        fresh[1] = room;
        const uint32_t* old = begin();
        for (uint32_t i = 0; i < count; ++i) fresh[kHead + i] = old[i];
        release();
        many_ = fresh;
    }
    void release() {
        if (!inPlace()) delete[] many_;
        word_ = kNone;
    }
    void copyFrom(const IndexList& other) {
        if (other.inPlace()) {
            word_ = other.word_;
            return;
        }
        const uint32_t count = other.many_[0];
        if (count <= 1) {
            half_[0] = count == 0 ? kNone : kOne;
            half_[1] = count == 0 ? 0 : other.front();
            return;
        }
        many_ = new uint32_t[kHead + count];
        many_[0] = count;
        many_[1] = count;
        for (uint32_t i = 0; i < count; ++i) many_[kHead + i] = other[i];
    }

    // The tag bit of half_[0] is the low bit of many_'s address only where
    // the low half of a word comes first.
    static_assert(std::endian::native == std::endian::little && sizeof(uint32_t*) == sizeof(uint64_t));
    union {
        uint64_t word_ = kNone;
        uint32_t half_[2];
        uint32_t* many_;
    };
};

// Open addressing over one array of places, at most half used; a name taken
// out leaves a mark that lookups pass over, cleared when the array is made
// again. Nothing is ordered by a hash: the names are visited in no promised
// order, and every user of the index is indifferent to it.
class MemberIndex {
public:
    // A name hashed once is looked up in many tables.
    const IndexList* find(const qestl::HashedText& name) const {
        if (slots_.empty()) return nullptr;
        const Slot& slot = slots_[place(name.text, slotHash(name.hash))];
        return slot.hash > kErased ? &slot.list : nullptr;
    }
    IndexList* find(const qestl::HashedText& name) {
        return const_cast<IndexList*>(static_cast<const MemberIndex*>(this)->find(name));
    }
    // Loads ahead the place where the name's search begins: in a large
    // program the array lies far outside the caches, and a caller with other
    // work to do first waits for it once, in parallel with that work.
    // The line after the place's is loaded too: at half full, a search
    // reads two or three places. A small array stays in the caches: nothing
    // is loaded ahead. (bench/hostile_shapes.py static_fields: a million
    // fields entered in one class's table and in the image heap.)
    void prefetch(const qestl::HashedText& name) const {
        if (slots_.size() < kCachedSlots) return;
        const auto at = reinterpret_cast<uintptr_t>(&slots_[slotHash(name.hash) & (slots_.size() - 1)]);
        qestl::touch(reinterpret_cast<const void*>(at));
        qestl::touch(reinterpret_cast<const void*>(at + 64));
    }
    // The list of the name, made empty when the name is new.
    IndexList& findOrAdd(std::string_view name) { return findOrAddHashed(qestl::HashedText(name)); }
    IndexList& findOrAddHashed(const qestl::HashedText& hashed) {
        const std::string_view name = hashed.text;
        if ((size_t{used_} + erased_ + 1) * 2 > slots_.size()) {
            // A name read from this index would not survive its rebuilding.
            if (name.data() >= text_.data() && name.data() < text_.data() + text_.size()) {
                const std::string own(name);
                rebuild(used_ + 1);
                return findOrAdd(std::string_view(own));
            }
            rebuild(used_ + 1);
        }
        const uint32_t hash = slotHash(hashed.hash);
        const size_t mask = slots_.size() - 1;
        size_t reuse = slots_.size();
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.hash == kErased) {
                if (reuse == slots_.size()) reuse = at;
                continue;
            }
            if (slot.hash == kFree) {
                if (reuse != slots_.size()) {
                    --erased_;
                    at = reuse;
                }
                Slot& made = slots_[at];
                made.hash = hash;
                made.at = static_cast<uint32_t>(text_.size());
                made.list = IndexList();
                appendText(text_, name);
                ++used_;
                return made.list;
            }
            if (slot.hash == hash && qestl::sameText(nameOf(slot), name)) return slot.list;
        }
    }
    void erase(std::string_view name) {
        if (slots_.empty()) return;
        Slot& slot = slots_[place(name, hashOf(name))];
        if (slot.hash <= kErased) return;
        slot.hash = kErased;
        slot.list = IndexList();
        ++deadNames_;
        --used_;
        ++erased_;
    }
    void clear() {
        slots_.clear();
        text_.clear();
        used_ = erased_ = deadNames_ = 0;
    }
    // Room for `count` names without growing.
    void reserve(size_t count) {
        if ((size_t{used_} + erased_ + count) * 2 > slots_.size()) rebuild(used_ + count);
    }
    size_t size() const { return used_; }

    // Every name with its list.
    template <typename Visit>
    void forEach(Visit visit) const {
        for (const Slot& slot : slots_)
            if (slot.hash > kErased) visit(nameOf(slot), slot.list);
    }

private:
    static constexpr uint32_t kFree = 0;
    static constexpr uint32_t kErased = 1;
    // Set in every live hash, above the bits that choose a place: set among
    // them, it left every other place no name's home and the searches longer.
    static constexpr uint32_t kLiveBit = 0x80000000u;
    static constexpr size_t kCachedSlots = 4096;  // 64 KiB

    // 16 bytes, four to a line: a class of a million members has its array
    // far outside the caches, and each search reads it there. Half of the
    // hash finds the place and filters the compares; the name's length
    // leads its text, which a search reads only on a match.
    struct Slot {
        uint32_t hash = kFree;  // kFree, kErased, or the name's hash (never below 2)
        uint32_t at = 0;        // the name in text_
        IndexList list;
    };
    static_assert(sizeof(Slot) == 16);

    // The hash HashedText makes, so a name hashed once finds its place here.
    static uint32_t slotHash(size_t hash) { return static_cast<uint32_t>(hash) | kLiveBit; }
    static uint32_t hashOf(std::string_view name) { return slotHash(qestl::TextHash()(name)); }
    // A name's text: its length in one byte, or 255 and four bytes, then
    // its bytes.
    static constexpr uint8_t kLongName = 255;
    // A long name, or one that lies in this text (which moves as it grows),
    // is copied first, out of line. (A short one copied into a buffer each
    // time was a copy instruction that waited for the loads in flight: a
    // million classes spent 0.05 s there.)
    static void appendText(std::string& text, std::string_view name) {
        if (name.size() >= kLongName || (name.data() >= text.data() && name.data() < text.data() + text.size()))
            [[unlikely]] {
            appendCopiedText(text, name);
            return;
        }
        text.push_back(static_cast<char>(name.size()));
        text.append(name);
    }
    [[gnu::cold, gnu::noinline]] static void appendCopiedText(std::string& text, std::string_view name) {
        const std::string own(name);
        if (own.size() < kLongName) {
            text.push_back(static_cast<char>(own.size()));
        } else {
            const auto length = static_cast<uint32_t>(own.size());
            text.push_back(static_cast<char>(kLongName));
            text.append(reinterpret_cast<const char*>(&length), sizeof length);
        }
        text.append(own);
    }
    // Inlined into every search, which a long name seldom reaches: its
    // length is read out of line.
    static std::string_view nameAt(const std::string& text, uint32_t at) {
        const char* head = text.data() + at;
        const auto length = static_cast<uint8_t>(head[0]);
        if (length < kLongName) [[likely]]
            return std::string_view(head + 1, length);
        return longNameAt(head);
    }
    [[gnu::cold, gnu::noinline]] static std::string_view longNameAt(const char* head) {
        uint32_t length;
        std::memcpy(&length, head + 1, sizeof length);
        return std::string_view(head + 1 + sizeof length, length);
    }
    std::string_view nameOf(const Slot& slot) const { return nameAt(text_, slot.at); }

    // Where the name is, or the free place that ends its search.
    size_t place(std::string_view name, uint32_t hash) const {
        const size_t mask = slots_.size() - 1;
        size_t at = hash & mask;
        while (slots_[at].hash != kFree && (slots_[at].hash != hash || !qestl::sameText(nameOf(slots_[at]), name)))
            at = (at + 1) & mask;
        return at;
    }

    // A new array for `count` names at most half full (one name, most
    // classes' method table, takes two places); the marks of names
    // taken out go. Their text goes too, when there is any: otherwise the
    // text stays as it is, in the order the names were entered, which is
    // the order a class's members are looked up in again. Copied in the
    // order of the places, a table of a million names read each name's
    // text from far away, and each compare of a name found after the copy.
    void rebuild(size_t count) {
        size_t size = 2;
        while (size < count * 2) size *= 2;
        decltype(slots_) old(size);
        old.swap(slots_);
        const bool compact = deadNames_ != 0;
        std::string oldText;
        if (compact) {
            oldText.swap(text_);
            text_.reserve(oldText.size());
        }
        const size_t mask = size - 1;
        for (Slot& slot : old) {
            if (slot.hash <= kErased) continue;
            Slot& moved =
                slots_[qestl::firstFreePlace(slots_, mask, slot.hash, [](const Slot& s) { return s.hash == kFree; })];
            moved.hash = slot.hash;
            moved.at = slot.at;
            moved.list = std::move(slot.list);
            if (!compact) continue;
            moved.at = static_cast<uint32_t>(text_.size());
            appendText(text_, nameAt(oldText, slot.at));
        }
        erased_ = 0;
        deadNames_ = 0;
    }

    std::string text_;                // the names entered, back to back
    qestl::TableVector<Slot> slots_;  // a power of two, or empty
    // Names are numbered in 32 bits (Slot::at) already.
    uint32_t used_ = 0;
    uint32_t erased_ = 0;
    uint32_t deadNames_ = 0;  // names taken out whose text is still in text_
};

}  // namespace model
