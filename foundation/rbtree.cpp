#include "foundation/rbtree.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace qestl {

void* heapAllocNode(size_t bytes, const void* /*key*/) { return std::malloc(bytes); }

void heapFreeNode(void* node) { std::free(node); }

int compareLengthThenBytes(const void* a, size_t aBytes, const void* b, size_t bBytes) {
    if (aBytes != bBytes) return aBytes < bBytes ? -1 : 1;
    if (aBytes == 0) return 0;
    return std::memcmp(a, b, aBytes);
}

namespace {

bool isRed(const RbNodeBase* node) { return node != nullptr && node->colour == kRbRed; }
bool isBlack(const RbNodeBase* node) { return node == nullptr || node->colour == kRbBlack; }

// Puts replacement where child hung under parent (or at the root).
void replaceChild(RbTree* tree, RbNodeBase* parent, RbNodeBase* child, RbNodeBase* replacement) {
    if (parent == nullptr) {
        tree->root = replacement;
    } else if (parent->left == child) {
        parent->left = replacement;
    } else {
        parent->right = replacement;
    }
}

// Exchanges the tree positions and colours of node and its in-order
// successor (the leftmost node of node's right subtree, so it has no left
// child). Afterwards node has at most one child.
void swapWithSuccessor(RbTree* tree, RbNodeBase* node, RbNodeBase* successor) {
    RbNodeBase* nodeParent = node->parent;
    RbNodeBase* nodeLeft = node->left;
    RbNodeBase* nodeRight = node->right;
    RbNodeBase* successorParent = successor->parent;
    RbNodeBase* successorRight = successor->right;
    std::swap(node->colour, successor->colour);

    replaceChild(tree, nodeParent, node, successor);
    successor->parent = nodeParent;
    successor->left = nodeLeft;
    nodeLeft->parent = successor;
    if (successorParent == node) {
        successor->right = node;
        node->parent = successor;
    } else {
        successor->right = nodeRight;
        nodeRight->parent = successor;
        successorParent->left = node;
        node->parent = successorParent;
    }
    node->left = nullptr;
    node->right = successorRight;
    if (successorRight != nullptr) successorRight->parent = node;
}

}  // namespace

RbNodeBase* RbTree::leftmost(RbNodeBase* node) {
    while (node->left != nullptr) node = node->left;
    return node;
}

RbNodeBase* RbTree::successor(RbNodeBase* node) {
    if (node->right != nullptr) return leftmost(node->right);
    RbNodeBase* parent = node->parent;
    while (parent != nullptr && node == parent->right) {
        node = parent;
        parent = parent->parent;
    }
    return parent;
}

void RbTree::rotateLeft(RbTree* tree, RbNodeBase* node) {
    RbNodeBase* pivot = node->right;
    node->right = pivot->left;
    if (pivot->left != nullptr) pivot->left->parent = node;
    pivot->parent = node->parent;
    replaceChild(tree, node->parent, node, pivot);
    pivot->left = node;
    node->parent = pivot;
}

void RbTree::rotateRight(RbTree* tree, RbNodeBase* node) {
    RbNodeBase* pivot = node->left;
    node->left = pivot->right;
    if (pivot->right != nullptr) pivot->right->parent = node;
    pivot->parent = node->parent;
    replaceChild(tree, node->parent, node, pivot);
    pivot->right = node;
    node->parent = pivot;
}

void RbTree::rebalanceAfterInsert(RbTree* tree, RbNodeBase* node) {
    node->colour = kRbRed;
    while (node != tree->root && isRed(node->parent)) {
        RbNodeBase* parent = node->parent;
        RbNodeBase* grandparent = parent->parent;  // a red parent is never the root
        const bool parentIsLeft = parent == grandparent->left;
        RbNodeBase* uncle = parentIsLeft ? grandparent->right : grandparent->left;
        if (isRed(uncle)) {
            parent->colour = kRbBlack;
            uncle->colour = kRbBlack;
            grandparent->colour = kRbRed;
            node = grandparent;
            continue;
        }
        if (parentIsLeft) {
            if (node == parent->right) {
                rotateLeft(tree, parent);
                node = parent;
                parent = node->parent;
            }
            rotateRight(tree, grandparent);
        } else {
            if (node == parent->left) {
                rotateRight(tree, parent);
                node = parent;
                parent = node->parent;
            }
            rotateLeft(tree, grandparent);
        }
        parent->colour = kRbBlack;
        grandparent->colour = kRbRed;
        break;
    }
    tree->root->colour = kRbBlack;
}

void RbTree::unlinkNode(RbTree* tree, RbNodeBase* node) {
    if (tree->count == 1) {
        tree->root = nullptr;
        tree->count = 0;
        return;
    }
    if (node->left != nullptr && node->right != nullptr) swapWithSuccessor(tree, node, leftmost(node->right));

    RbNodeBase* child = node->left != nullptr ? node->left : node->right;
    RbNodeBase* parent = node->parent;
    if (child != nullptr) child->parent = parent;
    replaceChild(tree, parent, node, child);
    // Removing a black node shortens every path through it; the fix-up also
    // runs when no child took its place, or the tree would drift out of
    // balance under repeated erases.
    if (node->colour == kRbBlack) rebalanceAfterErase(tree, child, parent);
    node->parent = node->left = node->right = nullptr;
    --tree->count;
}

void RbTree::rebalanceAfterErase(RbTree* tree, RbNodeBase* child, RbNodeBase* parent) {
    while (child != tree->root && isBlack(child)) {
        if (child == parent->left) {
            RbNodeBase* sibling = parent->right;
            if (isRed(sibling)) {
                sibling->colour = kRbBlack;
                parent->colour = kRbRed;
                rotateLeft(tree, parent);
                sibling = parent->right;
            }
            if (isBlack(sibling->left) && isBlack(sibling->right)) {
                sibling->colour = kRbRed;
                child = parent;
                parent = child->parent;
                continue;
            }
            if (isBlack(sibling->right)) {
                sibling->left->colour = kRbBlack;
                sibling->colour = kRbRed;
                rotateRight(tree, sibling);
                sibling = parent->right;
            }
            sibling->colour = parent->colour;
            parent->colour = kRbBlack;
            sibling->right->colour = kRbBlack;
            rotateLeft(tree, parent);
        } else {
            RbNodeBase* sibling = parent->left;
            if (isRed(sibling)) {
                sibling->colour = kRbBlack;
                parent->colour = kRbRed;
                rotateRight(tree, parent);
                sibling = parent->left;
            }
            if (isBlack(sibling->left) && isBlack(sibling->right)) {
                sibling->colour = kRbRed;
                child = parent;
                parent = child->parent;
                continue;
            }
            if (isBlack(sibling->left)) {
                sibling->right->colour = kRbBlack;
                sibling->colour = kRbRed;
                rotateLeft(tree, sibling);
                sibling = parent->left;
            }
            sibling->colour = parent->colour;
            parent->colour = kRbBlack;
            sibling->left->colour = kRbBlack;
            rotateRight(tree, parent);
        }
        child = tree->root;
        break;
    }
    if (child != nullptr) child->colour = kRbBlack;
}

}  // namespace qestl
