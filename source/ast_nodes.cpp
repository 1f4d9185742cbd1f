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

void listBelow(const AstNodeVector& from, qestl::qevector<_KNode<qeAbstractNode>>& nodes) {
    for (const _KNode<qeAbstractNode>& item : from)
        if (item && !declaresOnItsOwn(item->kind)) nodes.pushBack(item);
}

}  // namespace

void releaseSubtree(const _KNode<qeAbstractNode>& top) {
    // Every node is held here while the links are cut, so that none goes
    // before its own links are. The list keeps its room from one body to the
    // next: grown afresh for each, it copied every handle at each doubling.
    static thread_local qestl::qevector<_KNode<qeAbstractNode>> held;
    qestl::qevector<_KNode<qeAbstractNode>> nodes;
    nodes.swap(held);
    if (top) nodes.pushBack(top);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const qeAbstractNode& node = *nodes[i];
        listBelow(node.operands, nodes);
        listBelow(node.children, nodes);
    }
    for (const _KNode<qeAbstractNode>& node : nodes) {
        node->dropExtras();
        node->operands.clear();
        node->children.clear();
    }
    nodes.clearKeepingBuffer();
    nodes.swap(held);
}
