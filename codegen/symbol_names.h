// The names of the classes a program declares, asked whether a name is one
// of them (a variable named like a type is warned of).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "source/node_text.h"

namespace codegen {

// Open addressing over 8-byte slots, a name's hash beside its node text: an
// addition or a question reads one place. A tree of strings walked a cache
// miss a level, twenty of them once it held a name for each of a million
// classes, and took a heap node for each.
class SymbolNames {
public:
    // A node's text is kept as it is; other names are stored first.
    void add(const NodeText& name);
    void add(std::string_view name);
    bool contains(std::string_view name) const;
    void clear() {
        slots_.clear();
        used_ = 0;
    }

private:
    struct Slot {
        uint32_t hash = 0;  // 0: free
        NodeText text;
    };
    static uint32_t hashOf(std::string_view name);
    // Where the name is, or the free slot it would take.
    size_t place(std::string_view name, uint32_t hash) const;
    void insert(const NodeText& name, uint32_t hash);

    std::vector<Slot> slots_;  // a power of two, at most half used
    size_t used_ = 0;
};

}  // namespace codegen
