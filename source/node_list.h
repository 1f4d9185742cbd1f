// A syntax node's list of sub-node handles (its operands, its children).
//
// A node holds two lists and a program millions of nodes, most with short
// lists or none, so a list is one word whose low three bits tell what it is:
//   - 0: the word is a handle (a _KNode's word, possibly null): a list of one;
//   - 2 to 7: the address of exactly that many handles, nothing else;
//   - 1: empty when the rest is 0, else the address of a block that starts
//     with the count and the capacity and then holds the handles (8 or more).
// Storage comes from the node-list arena (source/node_list.cpp), not from
// malloc one by one. A list of up to 7 handles takes just their bytes (most
// lists are built once, one handle at a time, and stay short); a longer one
// grows by the house vector's rule (one at a time to count * 2 + 1, n at a
// time to count * 2 + n), rounded up to a block size. Handles are moved
// bitwise: no count changes on the way, so no node is released by a growth.
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

// The most handles kept without a header.
inline constexpr size_t kShortLength = 7;

// Room for exactly `count` handles (2 to kShortLength), and its return.
void* takeShort(size_t count);
void giveShort(void* handles, size_t count);
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
        const uintptr_t tag = slot_.word & kTagMask;
        if (tag == kOne) return 1;
        if (tag != kBlock) return tag;
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
        if ((slot_.word & kTagMask) == kBlock && block()->count < block()->capacity) {
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

    // Releases the handles in order and gives the storage back. Most lists
    // are empty, and a node's teardown clears both of its own.
    void clear() {
        if (slot_.word != kEmpty) clearHandles();
    }

    // Empties the list and passes each of its nodes, in order, to `take`
    // together with the reference the list held (null for an empty handle):
    // no count moves, so a caller that keeps the nodes anyway is spared an
    // increment and a decrement for each.
    template <typename Take>
    void handOver(Take&& take) {
        if (slot_.word == kEmpty) return;
        // Emptied first, as clear() does: what `take` releases may reach it.
        NodeList taken;
        taken.swap(*this);
        Handle* handles = taken.items();
        const size_t count = taken.size();
        for (size_t i = 0; i < count; ++i) take(handles[i].detach());
        taken.releaseStorage();
    }

private:
    static constexpr uintptr_t kTagMask = 7;
    static constexpr uintptr_t kOne = 0;
    static constexpr uintptr_t kBlock = 1;
    static constexpr uintptr_t kEmpty = kBlock;

    nodelist::Header* block() const { return reinterpret_cast<nodelist::Header*>(slot_.word & ~kTagMask); }
    Handle* items() const {
        const uintptr_t tag = slot_.word & kTagMask;
        if (tag == kOne) {
            // Indexes past the one handle are never reached on this path, but
            // at -O3 GCC follows it and warns of a bound it cannot rule out:
            // the empty asm keeps the address's origin from it.
            Handle* one = const_cast<Handle*>(&slot_.single);
            asm("" : "+r"(one));
            return one;
        }
        if (tag != kBlock) return reinterpret_cast<Handle*>(slot_.word & ~kTagMask);
        return slot_.word == kEmpty ? nullptr : reinterpret_cast<Handle*>(block() + 1);
    }
    // Gives back whatever storage the list holds (its handles already gone).
    void releaseStorage();
    void clearHandles();

    // The word read as a number to tell the kinds apart (the compiler reads
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
static_assert(nodelist::kShortLength <= 7, "a short list's length is its tag");
