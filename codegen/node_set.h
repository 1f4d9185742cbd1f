// A set of nodes in one flat table whose search for a node starts in a
// group of slots that the nodes of its page of memory share: the passes
// meet nodes about in the order they lie in memory, so one search after the
// other reads the same few lines of the table. A refused program of a
// million template instances keeps each refused type node (bench/
// hostile_shapes.py template_instances), and a set of a node each, far from
// its bucket, waited on memory for each. The address decides where a search
// starts only, never an order of output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "foundation/open_slots.h"

namespace codegen {

class NodeSet {
public:
    // True when the node was not held before.
    bool insert(const void* node) {
        if (node == nullptr) return !std::exchange(holdsNull_, true);
        if (slots_.size() < 2 * (used_ + 1)) grow();
        const size_t at = place(node);
        if (slots_[at] != nullptr) return false;
        slots_[at] = node;
        ++used_;
        return true;
    }
    bool contains(const void* node) const {
        if (node == nullptr) return holdsNull_;
        return !slots_.empty() && slots_[place(node)] != nullptr;
    }
    void clear() {
        slots_.clear();
        used_ = 0;
        holdsNull_ = false;
    }

    // Where a node's search starts, before the table's mask: its page's
    // group of 64 places, spread by a hash, and its line in the page.
    static size_t home(const void* node) {
        const auto address = reinterpret_cast<uintptr_t>(node);
        const uint64_t page = ((address >> 12) * 0x9E3779B97F4A7C15ull) >> 20;
        return static_cast<size_t>(page << 6 | (address >> 6 & 63));
    }

private:
    // The node's slot, or the free one it would take.
    size_t place(const void* node) const {
        const size_t mask = slots_.size() - 1;
        size_t at = home(node) & mask;
        while (slots_[at] != nullptr && slots_[at] != node) at = (at + 1) & mask;
        return at;
    }
    void grow() {
        qestl::placeSlotsAgain(
            slots_, slots_.empty() ? 1024 : 2 * slots_.size(), [](const void* slot) { return slot == nullptr; },
            [](const void* slot) { return home(slot); });
    }

    qestl::TableVector<const void*> slots_;  // a power of two, at most half used
    size_t used_ = 0;
    bool holdsNull_ = false;
};

}  // namespace codegen
