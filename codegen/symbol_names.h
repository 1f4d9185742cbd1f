// The names of the classes a program declares, asked whether a name is one
// of them (a variable named like a type is warned of).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "foundation/open_slots.h"
#include "source/node_text.h"

namespace codegen {

// A name the node-text store keeps once (NodeText::isShared) is marked by a
// bit at its reference: a class's name was stored when the scanner met it,
// mostly at the class itself, so the marks of a program's classes are set in
// the order of the store's own bytes. A table keyed by the text took one
// random write a class, each a cache miss once it held a million names.
// Other names (long ones) go to an open-addressing table of 8-byte slots, a
// name's hash beside its node text.
class SymbolNames {
public:
    // A node's text is kept as it is; other names are stored first.
    void add(const NodeText& name);
    void add(std::string_view name);
    bool contains(const NodeText& name) const;
    void clear() {
        marks_.clear();
        slots_.clear();
        used_ = 0;
    }

private:
    struct Slot {
        uint32_t hash = 0;  // 0: free
        NodeText text;
    };
    // A bit for each 4-byte unit of the store, in blocks of a page: a
    // small program's names lie in the first 128 KiB of the store, and a
    // block for the whole chunk cleared eight pages to mark them.
    static constexpr unsigned kMarkBlockBits = 15;
    static constexpr size_t kMarkWords = (size_t{1} << kMarkBlockBits) / 64;
    static_assert(kMarkBlockBits <= nodetext::kOffsetBits);

    // A reference's block, and its unit's word and bit there.
    struct MarkPlace {
        size_t block;
        uint32_t word;
        uint64_t bit;
    };
    static MarkPlace markPlace(uint32_t reference);
    void mark(uint32_t reference);
    static uint32_t hashOf(std::string_view name);
    // Where the name is, or the free slot it would take.
    size_t place(std::string_view name, uint32_t hash) const;
    void insert(const NodeText& name, uint32_t hash);

    // By block, each made when first marked.
    std::vector<std::unique_ptr<uint64_t[]>> marks_;
    qestl::TableVector<Slot> slots_;  // a power of two, at most half used
    size_t used_ = 0;
};

}  // namespace codegen
