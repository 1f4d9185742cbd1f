#include "source/build_support.h"

#include "syntax/rule_ids.h"

const NodeRef RuleMatch::kNoNode;

std::string_view RuleMatch::textOf(int k) const {
    const TokenRecord* r = record(k);
    if (!r || !r->input || !r->input->text) return {};
    const SourceInput& in = *r->input;
    if (r->startOffset > static_cast<uint32_t>(in.length)) return {};
    const char* begin = in.text + r->startOffset;
    size_t room = static_cast<size_t>(in.length) - r->startOffset;
    size_t n = r->length;
    if (n == UINT32_MAX) {  // up to the next zero byte
        n = 0;
        while (n < room && begin[n] != 0) ++n;
    }
    return std::string_view(begin, n < room ? n : room);
}

std::string_view RuleMatch::operatorText(int k) const {
    const qeAbstractNode* op = nodePtr(k);
    if (op && is(k, RuleId::ShiftOperator)) return op->text.view();
    return text(k);
}

NodeRef RuleMatch::makeNodeOver(int first, int n, uint32_t kind) const {
    NodeRef made(emplaceAstNode());
    qeAbstractNode& node = *made;
    node.kind = kind;
    const TokenRecord* head = record(first);
    const TokenRecord* last = record(first + (n > 0 ? n - 1 : 0));
    if (!head) node.fileIndex = host_.fileIndex();
    if (head) {
        // The file the position hook found: an included page's code is
        // that page's, not the including page's.
        node.fileIndex = head->fileIndex;
        node.startLine = head->startLine;
        node.startColumn = head->startColumn;
        if (head->docComment) node.setDocComment(head->docComment);
    }
    if (last) {
        node.endLine = last->endLine;
        node.endColumn = last->endColumn;
    }
    return made;
}

void RuleMatch::setSpan(qeAbstractNode& node, int first, int last) const {
    const TokenRecord* a = record(first);
    const TokenRecord* b = record(last);
    if (!a || !b) return;
    node.textStart = a->startOffset;
    node.textEnd = b->startOffset + b->length;
}

NodeRef RuleMatch::makeNode(uint32_t kind) const {
    NodeRef n = makeNodeOver(0, count_, kind);
    setSpan(*n, 0, count_ - 1);
    return n;
}

NodeRef RuleMatch::makeRecordNode(int k, uint32_t kind) const {
    NodeRef n = makeNodeOver(k, 1, kind);
    setSpan(*n, k, k);
    return n;
}

bool isPlainName(const RuleMatch& m, const NodeRef& own, uint32_t holders) {
    return m.count() == 1 && own && own.base()->refCount == holders && own->kind == NodeKind::Name && own->flags == 0 &&
           own->operands.size() == 0 && own->children.size() == 0 && own->text.view() == m.text(0);
}

void RuleMatch::push(qeAbstractNode& into, int k) const { into.operands.pushBack(node(k)); }

NodeRef growingList(const RuleMatch& m, uint32_t ruleId, uint32_t kind, int continued, int& next) {
    next = 0;
    NodeRef list;
    if (m.is(0, ruleId)) {
        list = m.node(0);
        next = continued;
    }
    if (!list) list = m.makeNode(kind);
    return list;
}
