// Maps keyed by a text that are searched by a string_view, allocating
// nothing to look a name up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"

namespace qestl {

// A name with its hash: one name lookup asks a dozen tables, and hashing it
// for each cost more than the tables' searches.
struct HashedText {
    HashedText(std::string_view text) : text(text), hash(std::hash<std::string_view>()(text)) {}
    HashedText(const std::string& text) : HashedText(std::string_view(text)) {}
    HashedText(const char* text) : HashedText(std::string_view(text)) {}
    // The text with the hash it was given before.
    HashedText(std::string_view text, size_t hash) : text(text), hash(hash) {}
    friend bool operator==(const HashedText& a, std::string_view b) { return a.text == b; }

    std::string_view text;
    size_t hash;
    // What a table that numbers names once gave this text, with the table's
    // generation: each later table the lookup asks reads it here. 0: none.
    mutable uint32_t number = 0;
    mutable uint32_t numberGeneration = 0;
};

// Whether two views are of the very same bytes (one place, one length), not
// only of equal ones: a name hashed or numbered ahead belongs to the node
// text it was made from, and a text equal to it elsewhere is another name.
inline bool sameStorage(std::string_view a, std::string_view b) { return a.data() == b.data() && a.size() == b.size(); }

// Whether two texts hold the same bytes. Names are short, and a name found
// by its hash is checked against the one asked for at nearly every lookup:
// compared in two loads apiece (which may overlap) rather than by a call of
// memcmp, which the comparison of views makes for any length.
inline bool sameText(std::string_view a, std::string_view b) {
    const size_t n = a.size();
    if (n != b.size()) return false;
    const char* x = a.data();
    const char* y = b.data();
    const auto sameWords = [](const char* p, const char* q, auto word) {
        decltype(word) u, v;
        std::memcpy(&u, p, sizeof u);
        std::memcpy(&v, q, sizeof v);
        return u == v;
    };
    if (n >= 8 && n <= 16) return sameWords(x, y, uint64_t{}) && sameWords(x + n - 8, y + n - 8, uint64_t{});
    if (n >= 4 && n < 8) return sameWords(x, y, uint32_t{}) && sameWords(x + n - 4, y + n - 4, uint32_t{});
    if (n < 4) {
        for (size_t i = 0; i < n; ++i)
            if (x[i] != y[i]) return false;
        return true;
    }
    return std::memcmp(x, y, n) == 0;
}

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    size_t operator()(const std::string& text) const { return (*this)(std::string_view(text)); }
    size_t operator()(const char* text) const { return (*this)(std::string_view(text)); }
    size_t operator()(const HashedText& text) const { return text.hash; }
};

// Values that stay where they are while the map grows.
template <typename Value>
using TextHashMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

// Open addressing in one flat array: a lookup reads one place rather than a
// bucket, a node and the key behind it, which counts once a map holds a
// name for each of hundreds of thousands of declarations. Adding may move
// every value: hold no reference to one across an add. Nothing is erased
// but by clear().
template <typename Value>
class TextMap {
public:
    Value* find(std::string_view key) {
        if (slots_.empty()) return nullptr;
        Slot& slot = slots_[place(key, hashOf(key))];
        return slot.hash != 0 ? &slot.value : nullptr;
    }
    // The value of key, which takes `made` when key is new.
    Value& findOrAdd(std::string_view key, Value made = Value()) {
        if ((used_ + 1) * 2 > slots_.size()) grow();
        const uint64_t hash = hashOf(key);
        Slot& slot = slots_[place(key, hash)];
        if (slot.hash == 0) {
            slot.hash = hash;
            slot.key.assign(key);
            slot.value = std::move(made);
            ++used_;
        }
        return slot.value;
    }
    // The place a search for the key of that hash (TextHash) begins at,
    // loaded ahead.
    void prefetch(size_t hash) const {
        if (!slots_.empty()) touchHashed(&slots_[(hash | 1) & (slots_.size() - 1)]);
    }
    void clear() {
        slots_.clear();
        used_ = 0;
    }
    size_t size() const { return used_; }

private:
    struct Slot {
        uint64_t hash = 0;  // 0: empty
        std::string key;
        Value value{};
    };

    static uint64_t hashOf(std::string_view key) { return TextHash()(key) | 1; }

    // Where key is, or the empty slot it would take.
    size_t place(std::string_view key, uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        size_t at = hash & mask;
        while (slots_[at].hash != 0 && (slots_[at].hash != hash || slots_[at].key != key)) at = (at + 1) & mask;
        return at;
    }

    void grow() {
        placeSlotsAgain(
            slots_, slots_.empty() ? 16 : slots_.size() * 2, [](const Slot& slot) { return slot.hash == 0; },
            [](const Slot& slot) { return slot.hash; });
    }

    TableVector<Slot> slots_;  // a power of two, at most half used
    size_t used_ = 0;
};

}  // namespace qestl
