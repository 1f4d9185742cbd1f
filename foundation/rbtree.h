// The house red-black tree.
//
// Every tree shares one header {count, root, allocNode, freeNode}, one node
// prefix {colour, parent, left, right} and the rebalancing routines; the
// keyed instances differ only in key, value and comparator. Nodes come from
// the functions in the header, so a tree may live on the C heap or in a pool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>

namespace qestl {

enum RbColour : uint8_t { kRbRed = 0, kRbBlack = 1 };

struct RbNodeBase {
    uint8_t colour;
    RbNodeBase* parent;
    RbNodeBase* left;
    RbNodeBase* right;
};

// Raw memory for a node of the given size; the key being inserted is passed
// so that a placement policy may look at it. Null means out of memory.
using RbAllocNodeFn = void* (*)(size_t bytes, const void* key);
using RbFreeNodeFn = void (*)(void* node);

void* heapAllocNode(size_t bytes, const void* key);
void heapFreeNode(void* node);

struct RbTree {
    uint64_t count = 0;
    RbNodeBase* root = nullptr;
    RbAllocNodeFn allocNode = heapAllocNode;
    RbFreeNodeFn freeNode = heapFreeNode;

    // Restores the red-black rules after a red leaf was linked in.
    static void rebalanceAfterInsert(RbTree* tree, RbNodeBase* node);

    // Takes the node out of the tree and restores the rules; the count drops
    // by one. The node itself is neither destroyed nor freed. A node with two
    // children first trades places (links and colour) with its in-order
    // successor, so nodes never change their keys and stay where callers
    // hold them.
    static void unlinkNode(RbTree* tree, RbNodeBase* node);

    // The deletion fix-up: child took the place of a removed black node under
    // parent (child may be null).
    static void rebalanceAfterErase(RbTree* tree, RbNodeBase* child, RbNodeBase* parent);

    static RbNodeBase* leftmost(RbNodeBase* node);
    static RbNodeBase* successor(RbNodeBase* node);
    static void rotateLeft(RbTree* tree, RbNodeBase* node);
    static void rotateRight(RbTree* tree, RbNodeBase* node);
};

// The value of a set.
struct NoValue {};

template <typename Key, typename Value>
struct RbNode : RbNodeBase {
    explicit RbNode(const Key& k) : RbNodeBase{kRbRed, nullptr, nullptr, nullptr}, key(k), value() {}
    RbNode(const Key& k, const Value& v) : RbNodeBase{kRbRed, nullptr, nullptr, nullptr}, key(k), value(v) {}

    Key key;
    [[no_unique_address]] Value value;
};

// Three-way comparison by length first, then bytewise: a shorter key always
// sorts first.
int compareLengthThenBytes(const void* a, size_t aBytes, const void* b, size_t bBytes);

// The order of the using index and of ZIP member names; works on any string
// with length() in units and data(), and on two kinds of string of the same
// unit (a std::map with it finds a std::string key by a string_view).
struct LengthThenBytesLess {
    using is_transparent = void;
    template <typename TextA, typename TextB>
    bool operator()(const TextA& a, const TextB& b) const {
        constexpr size_t unit = sizeof(*a.data());
        static_assert(unit == sizeof(*b.data()), "texts of one unit size");
        return compareLengthThenBytes(a.data(), a.length() * unit, b.data(), b.length() * unit) < 0;
    }
};

template <typename Key, typename Value, typename Less = std::less<Key>>
class RbMap : public RbTree {
public:
    using Node = RbNode<Key, Value>;

    RbMap() = default;
    RbMap(RbAllocNodeFn alloc, RbFreeNodeFn release) {
        allocNode = alloc;
        freeNode = release;
    }
    RbMap(const RbMap&) = delete;
    RbMap& operator=(const RbMap&) = delete;
    ~RbMap() { clear(); }

    uint64_t size() const { return count; }
    bool empty() const { return count == 0; }
    Node* rootNode() const { return static_cast<Node*>(root); }

    Node* find(const Key& key) const {
        RbNodeBase* cur = root;
        while (cur != nullptr) {
            Node* node = static_cast<Node*>(cur);
            if (less_(key, node->key)) {
                cur = cur->left;
            } else if (less_(node->key, key)) {
                cur = cur->right;
            } else {
                return node;
            }
        }
        return nullptr;
    }

    // The node holding key; a new red node with a default value, linked and
    // rebalanced, when the key is absent. Null only when allocNode fails.
    Node* findOrInsert(const Key& key, bool* inserted = nullptr) {
        if (inserted != nullptr) *inserted = false;
        RbNodeBase* parent = nullptr;
        bool goLeft = false;
        for (RbNodeBase* cur = root; cur != nullptr;) {
            Node* node = static_cast<Node*>(cur);
            if (less_(key, node->key)) {
                parent = cur;
                goLeft = true;
                cur = cur->left;
            } else if (less_(node->key, key)) {
                parent = cur;
                goLeft = false;
                cur = cur->right;
            } else {
                return node;
            }
        }
        void* memory = allocNode(sizeof(Node), &key);
        if (memory == nullptr) return nullptr;
        Node* node = new (memory) Node(key);
        link(node, parent, goLeft);
        if (inserted != nullptr) *inserted = true;
        return node;
    }

    bool erase(const Key& key) {
        Node* node = find(key);
        if (node == nullptr) return false;
        eraseNode(node);
        return true;
    }

    void eraseNode(Node* node) {
        unlinkNode(this, node);
        destroyNode(node);
    }

    void clear() {
        destroySubtree(rootNode());
        root = nullptr;
        count = 0;
    }

    // Releases the node's key and value and hands it to freeNode.
    void destroyNode(Node* node) {
        node->~Node();
        freeNode(node);
    }

    // Children first (right, then left), then the node itself.
    void destroySubtree(Node* node) {
        if (node == nullptr) return;
        destroySubtree(static_cast<Node*>(node->right));
        destroySubtree(static_cast<Node*>(node->left));
        destroyNode(node);
    }

    // A structural copy of the whole of other (colours, keys, values) into
    // nodes from this tree's allocNode. False when an allocation fails; the
    // tree is then left empty.
    bool copyFrom(const RbMap& other) {
        clear();
        if (other.root == nullptr) return true;
        bool ok = true;
        root = copySubtree(other.rootNode(), nullptr, &ok);
        if (!ok) {
            clear();
            return false;
        }
        count = other.count;
        return true;
    }

    Node* first() const { return root == nullptr ? nullptr : static_cast<Node*>(leftmost(root)); }
    static Node* next(Node* node) { return static_cast<Node*>(successor(node)); }

    template <typename Visit>
    void forEach(Visit visit) const {
        for (Node* node = first(); node != nullptr; node = next(node)) visit(*node);
    }

protected:
    void link(Node* node, RbNodeBase* parent, bool asLeft) {
        node->parent = parent;
        if (parent == nullptr) {
            root = node;
        } else if (asLeft) {
            parent->left = node;
        } else {
            parent->right = node;
        }
        ++count;
        rebalanceAfterInsert(this, node);
    }

    Node* copySubtree(const Node* source, RbNodeBase* parent, bool* ok) {
        void* memory = allocNode(sizeof(Node), &source->key);
        if (memory == nullptr) {
            *ok = false;
            return nullptr;
        }
        Node* node = new (memory) Node(source->key, source->value);
        node->colour = source->colour;
        node->parent = parent;
        if (source->left != nullptr) node->left = copySubtree(static_cast<const Node*>(source->left), node, ok);
        if (source->right != nullptr) node->right = copySubtree(static_cast<const Node*>(source->right), node, ok);
        return node;
    }

    [[no_unique_address]] Less less_;
};

}  // namespace qestl
