// The errors reported once (CompileDiagnostics::reportErrorOnce), each a
// node and a text. A refused program of a million classes reports an error
// once for each (bench/hostile_shapes.py unknown_bases and
// template_instances): an ordered set kept a tree node and a copy of the
// text apart for each, and a table by hash waited for a slot far outside
// the caches for each error. The passes meet the nodes about in the order
// of their places in memory, so a node's search starts in a group of slots
// that the nodes of its page of memory share: one error after the other
// searches the same few lines of the table. The address decides where a
// search starts only, never an order of output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/node_set.h"
#include "foundation/open_slots.h"

namespace codegen {

class ReportedOnce {
public:
    // False when the same node was given the same text before.
    bool add(const void* node, std::string_view text) {
        if (slots_.size() < 2 * (entries_.size() + 1)) grow();
        const auto tag = static_cast<uint32_t>(std::hash<std::string_view>()(text));
        const size_t mask = slots_.size() - 1;
        size_t at = home(node, mask);
        for (; slots_[at].entry != 0; at = (at + 1) & mask) {
            if (slots_[at].tag != tag) continue;
            const Entry& entry = entries_[slots_[at].entry - 1];
            if (entry.node == node && std::string_view(texts_).substr(entry.at, entry.length) == text) return false;
        }
        entries_.push_back(Entry{node, texts_.size(), text.size(), tag});
        texts_.append(text);
        slots_[at] = Slot{tag, static_cast<uint32_t>(entries_.size())};
        return true;
    }
    void clear() {
        slots_.clear();
        entries_.clear();
        texts_.clear();
    }

private:
    struct Entry {
        const void* node;
        size_t at;  // of the text in texts_
        size_t length;
        uint32_t tag;  // the text's hash, cut to 32 bits
    };
    struct Slot {
        uint32_t tag;
        uint32_t entry;  // the entry's index + 1; 0 is a free slot
    };

    // A node's texts are searched for where a set of nodes searches for it.
    static size_t home(const void* node, size_t mask) { return NodeSet::home(node) & mask; }
    // Placed again in the order they came, which keeps the groups' order.
    void grow() {
        slots_.assign(slots_.empty() ? 1024 : slots_.size() * 2, Slot{0, 0});
        const size_t mask = slots_.size() - 1;
        for (size_t i = 0; i < entries_.size(); ++i) {
            size_t at = home(entries_[i].node, mask);
            while (slots_[at].entry != 0) at = (at + 1) & mask;
            slots_[at] = Slot{entries_[i].tag, static_cast<uint32_t>(i + 1)};
        }
    }

    qestl::TableVector<Slot> slots_;  // a power of two, at most half used
    std::vector<Entry> entries_;
    std::string texts_;
};

}  // namespace codegen
