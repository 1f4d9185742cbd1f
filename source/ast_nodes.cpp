#include "source/ast_nodes.h"

#include <new>

qeAbstractNode* newAstNode(const qeAbstractNode& prototype) {
    void* block = allocateNodeBlock(sizeof(qeAbstractNode));
    auto* node = new (block) qeAbstractNode(prototype);
    LiveNodeRegistry::insert(node);
    node->refCount = 0;
    return node;
}

void destroyAstNode(qeAbstractNode* node) {
    if (node != nullptr) destroyPooledNode(node);
}

_KNode<qeAbstractNode> makeAstNode(uint32_t kind, const char* text, size_t length) {
    qeAbstractNode prototype;
    prototype.kind = kind;
    if (text != nullptr) prototype.text.assign(text, length);
    return _KNode<qeAbstractNode>(newAstNode(prototype));
}

namespace {

void copyList(const AstNodeVector& from, AstNodeVector& to) {
    for (const _KNode<qeAbstractNode>& item : from) {
        _KNode<qeAbstractNode> copy;
        if (item) cloneAstSubtree(item.get(), copy);
        to.pushBack(copy);
    }
}

void cloneInto(const qeAbstractNode* node, _KNode<qeAbstractNode>& out, bool keepTextSpan) {
    qeAbstractNode prototype;
    prototype.kind = node->kind;
    prototype.flags = node->flags & kDeclarationMarksKept;
    prototype.serial = node->serial | kCloneSerialBit;
    prototype.fileIndex = node->fileIndex;
    prototype.startLine = node->startLine;
    prototype.endLine = node->endLine;
    prototype.startColumn = node->startColumn;
    prototype.endColumn = node->endColumn;
    prototype.text = node->text;
    if (keepTextSpan) {
        prototype.textStart = node->textStart;
        prototype.textEnd = node->textEnd;
    }
    out = _KNode<qeAbstractNode>(newAstNode(prototype));
    copyList(node->operands, out->operands);
    copyList(node->children, out->children);
    if (node->annotations) cloneAstSubtree(node->annotations.get(), out->annotations);
}

}  // namespace

void cloneAstSubtree(const qeAbstractNode* node, _KNode<qeAbstractNode>& out) {
    if (node == nullptr) {
        out.reset();
        return;
    }
    cloneInto(node, out, true);
}

void cloneAstNode(const qeAbstractNode* node, _KNode<qeAbstractNode>& out) {
    if (node == nullptr) {
        out.reset();
        return;
    }
    cloneInto(node, out, false);
}
