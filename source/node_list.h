// A syntax node's list of sub-node handles (its operands, its children).
//
// A node holds two lists and a program millions of nodes, most with short
// lists or none, so a list is one word. It holds either
//   - 1: the list is empty;
//   - a handle (the word of a _KNode, even, possibly null): a list of one;
//   - the address of a block with the low bit set: a longer list. The block
//     starts with the count and the capacity and then holds the handles.
// Blocks come from the node-list arena (source/node_list.cpp), not from
// malloc one by one. A list of up to 7 handles takes a block of just its
// size (most lists are built once, one handle at a time, and stay short); a
// longer one grows by the house vector's rule (one at a time to count * 2 + 1,
// n at a time to count * 2 + n), rounded up to a block size. Handles are
// moved bitwise: no count changes on the way, so no node is released by a
// growth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "syntax/node_handle.h"

class qeAbstractNode;

namespace nodelist {

struct Header {
    uint32_t count;
    uint32_t capacity;
};

// A block for at least `capacity` handles; its capacity field is set, the
// count is 0. Ends the process when no memory is left.
Header* takeBlock(size_t capacity);
// Gives a block back (its handles already released).
void giveBlock(Header* block);

}  // namespace nodelist

class NodeList {
public:
    using Handle = _KNode<qeAbstractNode>;

    NodeList() = default;
    NodeList(const NodeList& other) { appendRange(other.begin(), other.size()); }
    NodeList(NodeList&& other) noexcept { slot_.word = std::exchange(other.slot_.word, kEmpty); }
    NodeList& operator=(const NodeList& other) {
        if (this != &other) {
            NodeList copy(other);
            swap(copy);
        }
        return *this;
    }
    NodeList& operator=(NodeList&& other) noexcept {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    ~NodeList() { clear(); }

    void swap(NodeList& other) noexcept { std::swap(slot_.word, other.slot_.word); }

    size_t size() const {
        if ((slot_.word & 1) == 0) return 1;
        return slot_.word == kEmpty ? 0 : block()->count;
    }
    size_t count() const { return size(); }
    bool empty() const { return slot_.word == kEmpty; }
    Handle* data() { return items(); }
    const Handle* data() const { return items(); }
    Handle* begin() { return items(); }
    Handle* end() { return items() + size(); }
    const Handle* begin() const { return items(); }
    const Handle* end() const { return items() + size(); }
    Handle& operator[](size_t i) { return items()[i]; }
    const Handle& operator[](size_t i) const { return items()[i]; }
    Handle& back() { return items()[size() - 1]; }
    const Handle& back() const { return items()[size() - 1]; }

    void pushBack(const Handle& item) {
        if (slot_.word == kEmpty) {
            new (&slot_.single) Handle(item);
            return;
        }
        if ((slot_.word & 1) != 0 && block()->count < block()->capacity) {
            nodelist::Header* held = block();
            new (reinterpret_cast<Handle*>(held + 1) + held->count) Handle(item);
            ++held->count;
            return;
        }
        insertRange(size(), &item, 1);
    }
    void append(const Handle* items, size_t n) { insertRange(size(), items, n); }
    void appendRange(const Handle* items, size_t n) { insertRange(size(), items, n); }

    // Inserts copies of n handles at index; the tail moves up. The handles
    // may be this list's own.
    void insertRange(size_t index, const Handle* from, size_t n);

    // Releases the handles in order and gives the block back.
    void clear();

private:
    static constexpr uintptr_t kEmpty = 1;

    nodelist::Header* block() const { return reinterpret_cast<nodelist::Header*>(slot_.word & ~uintptr_t{1}); }
    Handle* items() const {
        if ((slot_.word & 1) == 0) return const_cast<Handle*>(&slot_.single);
        return slot_.word == kEmpty ? nullptr : reinterpret_cast<Handle*>(block() + 1);
    }

    // The word read as a number to tell the three apart (the compiler reads
    // a union's other member as the same bytes).
    union Slot {
        Slot() : word(kEmpty) {}
        ~Slot() {}
        uintptr_t word;
        Handle single;
    } slot_;
};

static_assert(sizeof(NodeList) == sizeof(void*), "a node list is one word");
static_assert(sizeof(NodeList::Handle) == sizeof(uintptr_t), "a list of one is its handle");
static_assert(sizeof(NodeList::Handle) == sizeof(nodelist::Header), "handles follow the header aligned");
