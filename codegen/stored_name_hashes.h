// The hash and failed-name number of each name a node spells, kept by where
// the name's bytes lie.
//
// Every name of a body is looked up, and each lookup hashed the name and
// numbered it (model/failed_names.h) in the first table it failed in, where
// most fail: the varied program of bench/compare_compilers.py
// (bench/varied_program.py) names the same locals, parameters and fields
// some thirty thousand times in 10k lines, and that was a tenth of each
// lookup; its member names and operators, looked up in the tables of the
// classes they are reached through, some ten thousand times more. A node's
// text lies in the node-text store, where it never moves nor changes
// (source/node_text.h): the place and length of its bytes name it, and a
// name met again there is taken as it was hashed and numbered the last
// time. The slot a name takes depends on where it lies, which decides
// nothing but the time taken.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "foundation/text_map.h"

class StoredNameHashes {
public:
    // The name, hashed (and numbered, when it was) as when it was last kept;
    // `text` lies in the node-text store.
    qestl::HashedText hashed(std::string_view text) const {
        const Slot& slot = slots_[slotOf(text)];
        if (slot.data == nullptr || slot.data != text.data() || slot.size != text.size())
            return qestl::HashedText(text);
        qestl::HashedText name(text, slot.hash);
        name.number = slot.number;
        name.numberGeneration = slot.numberGeneration;
        return name;
    }
    // Keeps the name as a lookup left it.
    void keep(const qestl::HashedText& name) {
        slots_[slotOf(name.text)] = Slot{name.text.data(), name.text.size(), name.hash, name.number,
                                         name.numberGeneration};
    }

    // A name hashed as it was last kept, kept again as the lookups that
    // asked for it leave it.
    class Use {
    public:
        Use(StoredNameHashes& hashes, std::string_view text) : hashes_(hashes), name_(hashes.hashed(text)) {}
        ~Use() { hashes_.keep(name_); }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        const qestl::HashedText& operator*() const { return name_; }

    private:
        StoredNameHashes& hashes_;
        qestl::HashedText name_;
    };

private:
    static constexpr size_t kSlots = 1024;
    struct Slot {
        const char* data = nullptr;
        size_t size = 0;
        size_t hash = 0;
        uint32_t number = 0;
        uint32_t numberGeneration = 0;
    };
    static size_t slotOf(std::string_view text) {
        return ((reinterpret_cast<uintptr_t>(text.data()) >> 2) ^ text.size()) & (kSlots - 1);
    }
    std::array<Slot, kSlots> slots_{};
};
