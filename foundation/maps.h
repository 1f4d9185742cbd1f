// The keyed instances of the house red-black tree.
#pragma once

#include <cstdint>
#include <utility>

#include "foundation/rbtree.h"
#include "foundation/shared_handle.h"

namespace qestl {

// A set of addresses, ordered as unsigned numbers.
class PointerSet : public RbMap<uint64_t, NoValue> {
public:
    using RbMap::RbMap;

    // The node holding key; a new node when absent (null only when the node
    // cannot be allocated).
    Node* insert(uint64_t key) { return findOrInsert(key); }
    Node* insert(const void* address) { return insert(reinterpret_cast<uintptr_t>(address)); }
    bool contains(const void* address) const { return find(reinterpret_cast<uintptr_t>(address)) != nullptr; }
};

// Signed 32-bit keys to a 64-bit word the caller stores.
class IntMap : public RbMap<int32_t, uint64_t> {
public:
    using RbMap::RbMap;

    // The value slot of key, inserting a node (value 0) when absent; null
    // only when the node cannot be allocated.
    uint64_t* operator[](int32_t key) {
        Node* node = findOrInsert(key);
        return node == nullptr ? nullptr : &node->value;
    }
};

// Signed 64-bit keys to shared handles.
class SharedKeyMap : public RbMap<int64_t, SharedHandle> {
public:
    using RbMap::RbMap;

    // An existing key takes the handle (its old one released); a new node
    // holds a copy. The flag is set when no node came back (out of memory).
    std::pair<Node*, bool> insert(int64_t key, SharedHandle handle) {
        Node* node = findOrInsert(key);
        if (node != nullptr) node->value = handle;
        return {node, node == nullptr};
    }
};

}  // namespace qestl
