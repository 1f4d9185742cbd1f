// The counted base of syntax-tree nodes and the handle that counts them.
// The handle lives here rather than with the node because every token record
// of the parsing engine holds one; the node itself is defined in source/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "foundation/live_registry.h"
#include "foundation/node_pool.h"

// It has no virtual functions: a table pointer in each of millions of nodes
// is memory every node pays for. There is one node type in a program, and
// it supplies the two functions below.
class refableAstBase {
public:
    refableAstBase() = default;
    refableAstBase(const refableAstBase& other) : refCount(other.refCount) {}
    refableAstBase& operator=(const refableAstBase&) = delete;
    ~refableAstBase() { refCount = 0; }

    uint32_t refCount = 0;

protected:
    // One reference less; the node when that was its last.
    static refableAstBase* dropReference(refableAstBase* node) {
        return node != nullptr && --node->refCount == 0 ? node : nullptr;
    }
};

// Defined once per program by the node type (source/node.cpp; the engine's
// tests bring their own).
//
// The teardown of a released node, one released node at a time, so that the
// release of a very deep tree needs no deep stack. Drops the references the
// node holds to other nodes, in the order its destructor would drop them, up
// to the first that was the last reference of its node, and returns that node
// (it is then destroyed before the next call); null when none was. `cursor`
// starts at 0 and belongs to the node; `finished` is set once nothing counted
// is left, and the destructor then only frees plain storage.
refableAstBase* dropNextNodeReference(refableAstBase* node, uint64_t& cursor, bool& finished);
// Runs the node type's destructor (the block stays).
void destroyNodeObject(refableAstBase* node);

// Nodes live in blocks of the object heap (of the global node pool in a
// sanitized build, see syntax/node_store.cpp) and, where kListsLiveNodes,
// are listed in the live-node registry while they live. These are the only ways blocks come
// and go; a block that cannot be had aborts the process. Every block has the
// same size.
inline constexpr size_t kNodeBlockBytes = qestl::kGlobalPoolBlockBytes;
void* allocateNodeBlock(size_t size);
void freeNodeBlock(void* block);
// The same for the nodes of a tree released whole, up to endNodeBlockRun:
// blocks made one after the other, their memory is gathered for reuse.
void freeNodeBlockInRun(void* block);
void endNodeBlockRun();

// Whether made nodes are listed in the registry: as for counted objects,
// only leak checks and tests read it, and an optimised build without
// sanitizers spared a bit set and cleared per node for nobody.
inline constexpr bool kListsLiveNodes = qestl::kRegistersLiveObjects;

// The set of nodes made through the pool that are still alive.
class LiveNodeRegistry {
public:
    static bool insert(const refableAstBase* node);  // false when already present
    static bool erase(const refableAstBase* node);   // false when absent
    static bool contains(const refableAstBase* node);
    static size_t count();
};

// Erases the node from the registry, destroys it and gives its block back,
// whatever its count. Nodes whose last reference it drops on the way go the
// same way, deepest first, without recursion.
void destroyPooledNode(refableAstBase* node);

inline void retainNode(refableAstBase* node) {
    if (node) ++node->refCount;
}

inline void releaseNode(refableAstBase* node) {
    if (node && --node->refCount == 0) destroyPooledNode(node);
}

// The handle's base. It has no virtual destructor: a handle is one pointer
// wide, so the node's handle lists stay compact and a node fits its pool
// block; handles are never deleted through this base.
class AstNode {};

// The node is held as its counted base so that code which only passes
// handles around (the parsing engine) needs no definition of T.
template <typename T>
class _KNode : public AstNode {
public:
    _KNode() = default;
    explicit _KNode(T* node) : node_(node) { retainNode(node_); }
    _KNode(const _KNode& other) : node_(other.node_) { retainNode(node_); }
    _KNode(_KNode&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
    ~_KNode() { releaseNode(node_); }

    // The new node is counted first and the old one released last: assigning
    // a handle to itself, or to a handle that only the old node keeps alive,
    // stays safe.
    _KNode& operator=(const _KNode& other) {
        refableAstBase* taken = other.node_;
        retainNode(taken);
        releaseNode(std::exchange(node_, taken));
        return *this;
    }
    _KNode& operator=(_KNode&& other) noexcept {
        if (this != &other) {
            refableAstBase* old = std::exchange(node_, std::exchange(other.node_, nullptr));
            releaseNode(old);
        }
        return *this;
    }

    void reset() { releaseNode(std::exchange(node_, nullptr)); }

    // Empties the handle without touching the count: the caller now owns
    // the reference it held.
    refableAstBase* detach() { return std::exchange(node_, nullptr); }

    T* get() const { return static_cast<T*>(node_); }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return node_ != nullptr; }
    bool empty() const { return node_ == nullptr; }
    refableAstBase* base() const { return node_; }

private:
    refableAstBase* node_ = nullptr;
};
