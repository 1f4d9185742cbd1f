// Making, unmaking, copying and releasing syntax-tree nodes. Every node lives
// in a node block (syntax/node_handle.h) and is listed in the live-node
// registry where the build keeps one.
#pragma once

#include <new>
#include <utility>

#include "foundation/vector.h"
#include "source/node.h"

// A pooled copy of the prototype, registered, with a count of 0.
qeAbstractNode* newAstNode(const qeAbstractNode& prototype);

// The same without a prototype: the node is constructed in its block from
// the arguments of one of its constructors, so it takes the serial and the
// field values the prototype would have had and nothing is copied twice.
template <typename... Args>
qeAbstractNode* emplaceAstNode(Args&&... args) {
    void* block = allocateNodeBlock(sizeof(qeAbstractNode));
    auto* node = new (block) qeAbstractNode(std::forward<Args>(args)...);
    if constexpr (kListsLiveNodes) LiveNodeRegistry::insert(node);
    return node;
}
// Unregisters, destroys and frees the node whatever its count.
void destroyAstNode(qeAbstractNode* node);

// A fresh pooled node of the given kind whose text is `text`.
_KNode<qeAbstractNode> makeAstNode(uint32_t kind, const char* text = nullptr, size_t length = qestl::npos);

// Deep copies for template expansion. Both clear the declaration-pass marks
// on every copied node and copy each node's annotation list the same way;
// doc comments and owners are not copied. cloneAstNode copies one
// declaration: it also leaves the top node's text span out, and its
// children, which are the members or declarations written after it in the
// same list, not part of it (an instance would copy the rest of the file).
void cloneAstSubtree(const qeAbstractNode* node, _KNode<qeAbstractNode>& out);
void cloneAstNode(const qeAbstractNode* node, _KNode<qeAbstractNode>& out);

// Top and every node below it let go of their operands, children, owners
// and side records: a node nothing else holds goes, one held from elsewhere
// stays with its position alone. A class, method or operator declared below top is left
// whole (it is compiled or declared on its own terms) and goes only if
// nothing else holds it. `room` is the stack of the walk, left empty: a
// caller that releases many trees keeps it, and with it its room.
void releaseSubtree(const _KNode<qeAbstractNode>& top, qestl::qevector<qeAbstractNode*>& room);

// Lets go of operand i of the node, the list keeping its length. A node it
// held last that holds no other node (a compiled body's top, a closing
// brace, a type name) goes at once, without the teardown a full node needs.
void releaseOperand(qeAbstractNode& node, size_t i);

// Flag bits the declaration pass sets on nodes; a clone starts without them.
inline constexpr uint32_t kDeclarationMarksKept = 0xF1FFFFFFu;
