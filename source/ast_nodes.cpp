#include "source/ast_nodes.h"

qeAbstractNode* newAstNode(const qeAbstractNode& prototype) {
    qeAbstractNode* node = emplaceAstNode(prototype);
    node->refCount = 0;
    return node;
}

void destroyAstNode(qeAbstractNode* node) {
    if (node != nullptr) destroyPooledNode(node);
}

_KNode<qeAbstractNode> makeAstNode(uint32_t kind, const char* text, size_t length) {
    _KNode<qeAbstractNode> node(emplaceAstNode());
    node->kind = kind;
    if (text != nullptr) node->setText(length == qestl::npos ? std::string_view(text) : std::string_view(text, length));
    return node;
}

namespace {

void copyList(const AstNodeVector& from, AstNodeVector& to) {
    for (const _KNode<qeAbstractNode>& item : from) {
        _KNode<qeAbstractNode> copy;
        if (item) cloneAstSubtree(item.get(), copy);
        to.pushBack(copy);
    }
}

void cloneInto(const qeAbstractNode* node, _KNode<qeAbstractNode>& out, bool keepTextSpan, bool withChildren) {
    // Constructed like any node (the counter moves on), then given the
    // source's serial with the clone bit.
    qeAbstractNode* copy = emplaceAstNode();
    copy->kind = node->kind;
    copy->flags = node->flags & kDeclarationMarksKept;
    copy->serial = node->serial | kCloneSerialBit;
    copy->fileIndex = node->fileIndex;
    copy->startLine = node->startLine;
    copy->endLine = node->endLine;
    copy->startColumn = node->startColumn;
    copy->endColumn = node->endColumn;
    copy->setText(node->text.view());
    if (keepTextSpan) {
        copy->textStart = node->textStart;
        copy->textEnd = node->textEnd;
    }
    out = _KNode<qeAbstractNode>(copy);
    copyList(node->operands, out->operands);
    if (withChildren) copyList(node->children, out->children);
    if (node->annotations()) {
        _KNode<qeAbstractNode> list;
        cloneAstSubtree(node->annotations().get(), list);
        out->setAnnotations(list);
    }
}

}  // namespace

void cloneAstSubtree(const qeAbstractNode* node, _KNode<qeAbstractNode>& out) {
    if (node == nullptr) {
        out.reset();
        return;
    }
    cloneInto(node, out, true, true);
}

void cloneAstNode(const qeAbstractNode* node, _KNode<qeAbstractNode>& out) {
    if (node == nullptr) {
        out.reset();
        return;
    }
    cloneInto(node, out, false, false);
}

namespace {

bool declaresOnItsOwn(uint32_t kind) {
    return kind == NodeKind::Class || kind == NodeKind::NewWithBody || kind == NodeKind::TemplateClass ||
           kind == NodeKind::Method || kind == NodeKind::Operator || kind == NodeKind::FunctionDeclaration;
}

// A node whose lists and side record are gone refers to no other node: its
// last reference goes without the step-by-step teardown a full node needs.
// In a tree released whole, its block is freed in a run with the others.
template <bool kInRun = false>
void letGoOfBareNode(qeAbstractNode* node) {
    if (node->refCount != 1) {
        --node->refCount;
        return;
    }
    if constexpr (kListsLiveNodes) LiveNodeRegistry::erase(node);
    node->~qeAbstractNode();
    if constexpr (kInRun) freeNodeBlockInRun(node);
    else freeNodeBlock(node);
}

}  // namespace

void releaseSubtree(const _KNode<qeAbstractNode>& top, qestl::qevector<qeAbstractNode*>& room) {
    if (!top) return;
    // Depth first, one node at a time: each node comes with one reference,
    // taken over from the list it was found in (the top's is taken here),
    // and goes as soon as its own links are cut, while its lines are still
    // in the cache. The nodes of a statement lie together in memory: walked
    // level by level, a body of a million statements was read once per
    // level, and all over again to free it. A node is looked at only when
    // it is taken from the stack: reading the kind of each of a list's
    // nodes as the list is handed over read a long list's nodes twice.
    // The stack is the caller's room, kept from one body to the next: grown
    // afresh for each, it was copied at each doubling.
    qestl::qevector<qeAbstractNode*> pending;
    pending.swap(room);
    auto take = [&pending](refableAstBase* below) {
        if (below != nullptr) pending.pushBack(static_cast<qeAbstractNode*>(below));
    };
    retainNode(top.get());
    qeAbstractNode* node = top.get();
    for (;;) {
        node->dropExtras();
        node->operands.handOver(take);
        node->children.handOver(take);
        letGoOfBareNode<true>(node);
        // A class, method or operator below the top is left whole.
        do {
            if (pending.empty()) {
                pending.swap(room);
                endNodeBlockRun();
                return;
            }
            node = pending.back();
            pending.popBack();
            if (!declaresOnItsOwn(node->kind)) break;
            releaseNode(node);
        } while (true);
    }
}

void releaseOperand(qeAbstractNode& node, size_t i) {
    if (i >= node.operands.size()) return;
    auto* held = static_cast<qeAbstractNode*>(node.operands[i].detach());
    if (held == nullptr) return;
    if (held->refCount != 1 || !held->operands.empty() || !held->children.empty()) {
        releaseNode(held);
        return;
    }
    held->dropExtras();
    letGoOfBareNode(held);
}
