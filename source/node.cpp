#include "source/node.h"

#include <new>

namespace {
uint32_t gNodeSerial = 0;
}

qeAbstractNode::qeAbstractNode() : serial(++gNodeSerial) {}

void qeAbstractNode::prependOperand(_KNode<qeAbstractNode> operand) { operands.insertRange(0, &operand, 1); }

bool qeAbstractNode::hasAnnotation(const char* name) const {
    if (!annotations) return false;
    for (const auto& a : annotations->operands)
        if (a && a->text == std::string_view(name)) return true;
    return false;
}

qeAbstractNode* newAstNode(const qeAbstractNode& prototype) {
    void* block = allocateNodeBlock(sizeof(qeAbstractNode));
    auto* node = new (block) qeAbstractNode(prototype);
    node->refCount = 0;
    LiveNodeRegistry::insert(node);
    return node;
}

void cloneAstSubtree(const qeAbstractNode* node, _KNode<qeAbstractNode>& out) {
    if (!node) {
        out.reset();
        return;
    }
    qeAbstractNode proto;
    proto.kind = node->kind;
    proto.flags = node->flags;
    proto.serial = node->serial | 0x80000000u;
    proto.fileIndex = node->fileIndex;
    proto.startLine = node->startLine;
    proto.endLine = node->endLine;
    proto.startColumn = node->startColumn;
    proto.endColumn = node->endColumn;
    proto.text = node->text;
    proto.textStart = node->textStart;
    proto.textEnd = node->textEnd;
    out = _KNode<qeAbstractNode>(newAstNode(proto));
    for (const auto& op : node->operands) {
        _KNode<qeAbstractNode> copy;
        cloneAstSubtree(op.get(), copy);
        out->operands.pushBack(copy);
    }
    for (const auto& child : node->children) {
        _KNode<qeAbstractNode> copy;
        cloneAstSubtree(child.get(), copy);
        out->children.pushBack(copy);
    }
}
