// The counted base of syntax-tree nodes and the handle that counts them.
// The handle lives here rather than with the node because every token record
// of the parsing engine holds one; the node itself is defined in source/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

class refableAstBase {
public:
    refableAstBase() = default;
    refableAstBase(const refableAstBase& other) : refCount(other.refCount) {}
    refableAstBase& operator=(const refableAstBase&) = delete;
    virtual ~refableAstBase() { refCount = 0; }

    uint32_t refCount = 0;
};

// Nodes live in blocks of one global pool and are listed in the live-node
// registry while they live. These are the only ways blocks come and go.
// Every block has the same size; a request above it gets null.
inline constexpr size_t kNodeBlockBytes = 296;
void* allocateNodeBlock(size_t size);
void freeNodeBlock(void* block);

// The set of nodes made through the pool that are still alive.
class LiveNodeRegistry {
public:
    static bool insert(const refableAstBase* node);  // false when already present
    static bool erase(const refableAstBase* node);   // false when absent
    static bool contains(const refableAstBase* node);
    static size_t count();
};

// Erases the node from the registry, destroys it and gives its block back,
// whatever its count.
void destroyPooledNode(refableAstBase* node);

inline void retainNode(refableAstBase* node) {
    if (node) ++node->refCount;
}

inline void releaseNode(refableAstBase* node) {
    if (node && --node->refCount == 0) destroyPooledNode(node);
}

// The handle's base. It has no virtual destructor: a handle is one pointer
// wide, so the node's many handle lists stay compact and a node fits its
// pool block; handles are never deleted through this base.
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

    _KNode& operator=(const _KNode& other) {
        retainNode(other.node_);  // first: assigning a handle to itself stays safe
        releaseNode(node_);
        node_ = other.node_;
        return *this;
    }
    _KNode& operator=(_KNode&& other) noexcept {
        if (this != &other) {
            releaseNode(node_);
            node_ = std::exchange(other.node_, nullptr);
        }
        return *this;
    }

    void reset() {
        releaseNode(node_);
        node_ = nullptr;
    }

    T* get() const { return static_cast<T*>(node_); }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return node_ != nullptr; }
    bool empty() const { return node_ == nullptr; }
    refableAstBase* base() const { return node_; }

private:
    refableAstBase* node_ = nullptr;
};
