#include "source/node.h"

#include <cstring>

namespace {

uint32_t gNodeSerial = 0;

bool textEquals(const qestl::qestringA& text, const char* name) {
    if (name == nullptr) return text.data() == nullptr;
    size_t length = std::strlen(name);
    return text.data() != nullptr && text.length() == length && std::memcmp(text.data(), name, length) == 0;
}

}  // namespace

uint32_t qeAbstractNode::lastSerial() { return gNodeSerial; }

qeAbstractNode::qeAbstractNode() : serial(++gNodeSerial) {}

qeAbstractNode::qeAbstractNode(uint32_t file, qeLexSyntax& engine, int start, int count, uint32_t nodeKind)
    : qeAbstractNode() {
    kind = nodeKind;
    fileIndex = file;
    const TokenRecord* first = engine.slot(start);
    const TokenRecord* last = engine.slot(start + count - 1);
    if (first != nullptr) {
        startLine = first->startLine;
        startColumn = first->startColumn;
        if (first->docComment != nullptr) docComment.assign(first->docComment);
    }
    if (last != nullptr) {
        endLine = last->endLine;
        endColumn = last->endColumn;
    }
}

qeAbstractNode::qeAbstractNode(const char* literal, qeLexSyntax& engine, int index) : qeAbstractNode() {
    kind = NodeKind::StringLiteral;
    if (const TokenRecord* record = engine.slot(index)) {
        fileIndex = record->fileIndex;
        startLine = record->startLine;
        startColumn = record->startColumn;
        endLine = record->endLine;
        endColumn = record->endColumn;
        if (record->docComment != nullptr) docComment.assign(record->docComment);
    }
    if (literal != nullptr) text.assign(literal);
}

qeAbstractNode::qeAbstractNode(const qeAbstractNode& other)
    : refableAstBase(other),
      kind(other.kind),
      text(other.text),
      docComment(other.docComment),
      reserved0(other.reserved0),
      fileIndex(other.fileIndex),
      startLine(other.startLine),
      endLine(other.endLine),
      startColumn(other.startColumn),
      endColumn(other.endColumn),
      serial(other.serial),
      reserved1(other.reserved1),
      textStart(other.textStart),
      textEnd(other.textEnd),
      word0(other.word0),
      word1(other.word1),
      value0(other.value0),
      value1(other.value1),
      values0(other.values0),
      values1(other.values1),
      flags(other.flags),
      owner(other.owner),
      ownerRelease(other.ownerRelease),
      ownerWord(other.ownerWord),
      annotations(other.annotations) {
    for (const _KNode<qeAbstractNode>& operand : other.operands) operands.pushBack(operand);
    for (const _KNode<qeAbstractNode>& child : other.children) children.pushBack(child);
    if (owner != nullptr) owner->addReference();
}

qeAbstractNode::~qeAbstractNode() {
    annotations.reset();
    releaseOwner();
    values0.clear();
    values1.clear();
    children.clear();
    operands.clear();
    docComment.release();
    text.release();
}

void qeAbstractNode::prependOperand(_KNode<qeAbstractNode> node) { operands.insertRange(0, &node, 1); }

void qeAbstractNode::setOwner(qestl::CountedObject* object, NodeOwnerRelease release) {
    if (object != nullptr) object->addReference();
    releaseOwner();
    owner = object;
    ownerRelease = release;
}

void qeAbstractNode::releaseOwner() {
    qestl::CountedObject* held = owner;
    owner = nullptr;
    ownerWord = 0;
    if (held != nullptr && held->release() && ownerRelease != nullptr) ownerRelease(held);
}

bool qeAbstractNode::hasAnnotation(const char* name) const {
    if (!annotations) return false;
    for (const _KNode<qeAbstractNode>& annotation : annotations->operands)
        if (annotation && textEquals(annotation->text, name)) return true;
    return false;
}

const char* qeAbstractNode::getAnnotationParameter(const char* name, const char* parameter) const {
    if (!annotations) return nullptr;
    for (const _KNode<qeAbstractNode>& annotation : annotations->operands) {
        if (!annotation || !textEquals(annotation->text, name)) continue;
        // Only the first annotation of that name is searched.
        for (const _KNode<qeAbstractNode>& argument : annotation->operands) {
            if (!argument || !textEquals(argument->text, parameter) || argument->operands.size() == 0) continue;
            const _KNode<qeAbstractNode>& value = argument->operands[0];
            return value ? value->text.c_str() : nullptr;
        }
        return nullptr;
    }
    return nullptr;
}
