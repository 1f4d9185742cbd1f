// A syntax node's list of sub-node handles (its operands, its children).
//
// A node holds two lists and a program millions of nodes, most with short
// lists or none: a list is one pointer, null while empty, to a block that
// starts with the count and the capacity and then holds the handles. Blocks
// come in power-of-two sizes from the node-list arena (source/node_list.cpp),
// not from malloc one by one. The growth rule is the house vector's (one at a
// time to count * 2 + 1, n at a time to count * 2 + n), rounded up to a block
// size. Handles are moved between blocks bitwise: no count changes on the
// way, so no node is released by a growth.
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
    NodeList(NodeList&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
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

    void swap(NodeList& other) noexcept { std::swap(block_, other.block_); }

    size_t size() const { return block_ != nullptr ? block_->count : 0; }
    size_t count() const { return size(); }
    bool empty() const { return size() == 0; }
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
        if (block_ == nullptr || block_->count == block_->capacity) {
            insertRange(size(), &item, 1);
            return;
        }
        new (items() + block_->count) Handle(item);
        ++block_->count;
    }
    void append(const Handle* items, size_t n) { insertRange(size(), items, n); }
    void appendRange(const Handle* items, size_t n) { insertRange(size(), items, n); }

    // Inserts copies of n handles at index; the tail moves up. The handles
    // may be this list's own.
    void insertRange(size_t index, const Handle* from, size_t n);

    // Releases the handles in order and gives the block back.
    void clear();

private:
    Handle* items() const {
        return block_ != nullptr ? reinterpret_cast<Handle*>(block_ + 1) : nullptr;
    }

    nodelist::Header* block_ = nullptr;
};

static_assert(sizeof(NodeList) == sizeof(void*), "a node list is one pointer");
static_assert(sizeof(_KNode<qeAbstractNode>) == sizeof(nodelist::Header), "handles follow the header aligned");
