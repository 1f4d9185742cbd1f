#include "source/node.h"

#include <cstring>
#include <unordered_set>
#include <vector>

#include "source/side_words.h"

namespace {

// Every constructor but the copy takes the next value.
uint32_t gNodeSerial = 0;

uint32_t nextSerial() { return ++gNodeSerial; }

// Names compare byte for byte and by length; a null name stands for a text
// that was never set.
bool textIs(const NodeText& text, const char* name) {
    if (name == nullptr) return text.length() == 0;
    const size_t length = std::strlen(name);
    return text.length() == length && (length == 0 || std::memcmp(text.data(), name, length) == 0);
}

const qeAbstractNode* firstNamed(const AstNodeVector& list, const char* name) {
    for (const _KNode<qeAbstractNode>& item : list) {
        if (item && textIs(item->text, name)) return item.get();
    }
    return nullptr;
}

// Teardown stages, kept in the cursor's high word; the low word counts the
// handles of a list already dropped.
enum TeardownStage : uint64_t {
    kDropAnnotations = 0,
    kDropOwner = 1,
    kDropChildren = 2,
    kDropOperands = 3,
};

uint64_t cursorAt(uint64_t stage, uint64_t index = 0) { return stage << 32 | index; }

}  // namespace

uintptr_t qeAbstractNode::sideWordOf(const qeAbstractNode* node) { return nodeSideWords().find(node); }

void qeAbstractNode::loadSideWordsNear(const qeAbstractNode* node) {
    // The nodes made for its operands after it have their words on the
    // same line or the next, which the line's own load brings in order.
    if (SideWordTable* words = nodeSideWordsIfAny(); words != nullptr && node != nullptr) words->load(node);
}

void qeAbstractNode::setSide(uintptr_t word) {
    if (word != 0) {
        nodeSideWords().put(this, word);
        hasSide_ = 1;
    } else if (hasSide_) {
        nodeSideWords().erase(this);
        hasSide_ = 0;
    }
}

void qeAbstractNode::dropBareSideWords() {
    SideWordTable* words = nodeSideWordsIfAny();
    // The sift writes the words kept on pages of their own: for fewer words
    // than a block of the list holds, more pages than it gives back.
    if (words == nullptr || words->wordCount() < kFewestSiftedWords) return;
    // Only references that are not the last go: nothing is destroyed, so
    // the order the table holds the nodes in decides nothing. An owner the
    // node alone keeps alive stays with it.
    words->sift([](uintptr_t word) {
        if ((word & kBareBits) == 0) return true;
        if ((word & kBareOwner) != 0) {
            qestl::CountedObject* owner = bareObject(word);
            if (owner->referenceCount() == 1) return true;
            owner->release();
        }
        return false;
    });
}

qeAbstractNode::qeAbstractNode() : serial(nextSerial()) {}

qeAbstractNode::qeAbstractNode(uint32_t file, qeLexSyntax& engine, int start, int count, uint32_t k)
    : qeAbstractNode() {
    kind = k;
    fileIndex = file;
    const TokenRecord* first = engine.slot(start);
    const TokenRecord* last = engine.slot(start + count - 1);
    if (first != nullptr) {
        startLine = first->startLine;
        startColumn = first->startColumn;
        if (first->docComment != nullptr) setDocComment(first->docComment);
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
        if (record->docComment != nullptr) setDocComment(record->docComment);
    }
    if (literal != nullptr) setText(literal);
}

qeAbstractNode::qeAbstractNode(const _KNode<qeAbstractNode>& positionOf) : qeAbstractNode() {
    if (const qeAbstractNode* source = positionOf.get()) {
        fileIndex = source->fileIndex;
        startLine = source->startLine;
        endLine = source->endLine;
        startColumn = source->startColumn;
        endColumn = source->endColumn;
        textStart = source->textStart;
        textEnd = source->textEnd;
    }
}

qeAbstractNode::qeAbstractNode(const qeAbstractNode& other)
    : refableAstBase(other),
      kind(other.kind),
      includedUnit(other.includedUnit),
      unitLevel(other.unitLevel),
      operands(other.operands),
      children(other.children),
      text(other.text),
      fileIndex(other.fileIndex),
      startLine(other.startLine),
      endLine(other.endLine),
      startColumn(other.startColumn),
      endColumn(other.endColumn),
      serial(other.serial),
      textStart(other.textStart),
      textEnd(other.textEnd),
      flags(other.flags) {
    if (const NodeExtras* side = other.record()) {
        NodeExtras* copy = new NodeExtras(*side);
        setSide(reinterpret_cast<uintptr_t>(copy));
        if (copy->owner != nullptr) copy->owner->addReference();
    } else if (const uintptr_t word = other.side(); word != 0) {
        setSide(word);
        if ((word & kBareOwner) != 0) bareObject(word)->addReference();
    }
}

const NodeExtras qeAbstractNode::kNoExtras;

NodeExtras& qeAbstractNode::editExtras() {
    const uintptr_t word = side();
    if (NodeExtras* side = recordOf(word)) return *side;
    auto* made = new NodeExtras();
    if ((word & kBareOwner) != 0) made->owner = bareObject(word);  // its reference moves over
    if ((word & kBareDeclared) != 0) made->declaredObject = bareObject(word);
    setSide(reinterpret_cast<uintptr_t>(made));
    return *made;
}

void qeAbstractNode::placeDeclaredObject(qestl::CountedObject* object) {
    const uintptr_t held = side();
    if (recordOf(held) == nullptr) {
        const uintptr_t word = reinterpret_cast<uintptr_t>(object);
        if (object == nullptr) {
            // Nothing declared: a bare owner stays as it is.
            setSide(held & ((held & kBareOwner) != 0 ? ~kBareDeclared : 0));
            return;
        }
        if (held == 0 || (held & ~kBareBits) == word) {
            setSide(word | (held & kBareOwner) | kBareDeclared);
            return;
        }
    }
    editExtras().declaredObject = object;
}

// The annotation list first, then the owner and the side record; the
// children and operands go with their vectors.
qeAbstractNode::~qeAbstractNode() {
    if (!hasSide_) return;
    if (NodeExtras* side = record()) side->annotations.reset();
    releaseOwner();
    delete record();
    setSide(0);
}

void qeAbstractNode::setOwner(qestl::CountedObject* object, qestl::Deleter release) {
    if (object != nullptr) object->addReference();  // first: the old owner may be the new one
    if (hasSide_) releaseOwner();
    // The declared object stays: the word holds both only when they are one.
    if (record() == nullptr && release == qestl::defaultDeleter) {
        const uintptr_t held = side();
        const uintptr_t word = reinterpret_cast<uintptr_t>(object);
        if (held == 0 || object == nullptr || (held & ~kBareBits) == word) {
            if (object != nullptr) setSide(word | kBareOwner | (held & kBareDeclared));
            return;
        }
    }
    NodeExtras& side = editExtras();
    side.owner = object;
    side.ownerRelease = release;
}

void qeAbstractNode::releaseOwner() {
    if (!hasSide_) return;
    const uintptr_t word = side();
    if ((word & kBareOwner) != 0) {
        qestl::CountedObject* held = bareObject(word);
        // Still the declared object, if it was.
        setSide((word & kBareDeclared) != 0 ? word & ~kBareOwner : 0);
        if (held->release()) qestl::defaultDeleter(held);
        return;
    }
    NodeExtras* side = recordOf(word);
    if (side == nullptr) return;
    qestl::CountedObject* held = side->owner;
    qestl::Deleter release = side->ownerRelease;
    side->owner = nullptr;
    side->ownerRelease = qestl::defaultDeleter;
    if (held != nullptr && held->release()) release(held);
}

void qeAbstractNode::dropExtrasRecord() {
    releaseOwner();
    delete record();
    setSide(0);
}

void qeAbstractNode::prependOperand(_KNode<qeAbstractNode> operand) { operands.insertRange(0, &operand, 1); }

bool qeAbstractNode::hasAnnotation(const char* name) const {
    const _KNode<qeAbstractNode>& list = annotations();
    return list && firstNamed(list->operands, name) != nullptr;
}

const char* qeAbstractNode::getAnnotationParameter(const char* name, const char* parameter) const {
    const _KNode<qeAbstractNode>& list = annotations();
    if (!list) return nullptr;
    const qeAbstractNode* annotation = firstNamed(list->operands, name);
    if (annotation == nullptr) return nullptr;
    for (const _KNode<qeAbstractNode>& item : annotation->operands) {
        if (!item || !textIs(item->text, parameter) || item->operands.empty()) continue;
        const qeAbstractNode* value = item->operands[0].get();
        if (value == nullptr) return nullptr;
        return value->text.c_str();
    }
    return nullptr;
}

// The destructor's order: the annotation list, the owner, the children,
// then the operands. References that leave their node alive are dropped
// here in one go; the call returns at the first node whose last reference
// it dropped, so the caller destroys that one before anything else goes.
refableAstBase* qeAbstractNode::dropNextReference(uint64_t& cursor, bool& finished) {
    finished = false;
    for (;;) {
        const uint64_t stage = cursor >> 32;
        switch (stage) {
            case kDropAnnotations:
                cursor = cursorAt(kDropOwner);
                if (NodeExtras* side = record()) {
                    if (refableAstBase* last = dropReference(side->annotations.detach())) return last;
                }
                break;
            case kDropOwner:
                cursor = cursorAt(kDropChildren);
                releaseOwner();
                if (NodeExtras* side = record()) {
                    side->operandIndices.clear();
                    side->childIndices.clear();
                }
                break;
            case kDropChildren:
            case kDropOperands: {
                AstNodeVector& list = stage == kDropChildren ? children : operands;
                for (size_t index = cursor & 0xFFFFFFFFu; index < list.size();) {
                    refableAstBase* last = dropReference(list[index++].detach());
                    if (last != nullptr) {
                        cursor = cursorAt(stage, index);
                        return last;
                    }
                }
                list.clear();
                cursor = cursorAt(stage + 1);
                if (stage == kDropOperands) {
                    finished = true;
                    return nullptr;
                }
                break;
            }
            default:
                finished = true;
                return nullptr;
        }
    }
}

refableAstBase* dropNextNodeReference(refableAstBase* node, uint64_t& cursor, bool& finished) {
    return static_cast<qeAbstractNode*>(node)->dropNextReference(cursor, finished);
}

void destroyNodeObject(refableAstBase* node) { static_cast<qeAbstractNode*>(node)->~qeAbstractNode(); }

void releaseTreeOwners(const _KNode<qeAbstractNode>& root) {
    // Without recursion: a tree may nest deeper than the stack. A node listed
    // twice is walked once.
    std::vector<qeAbstractNode*> pending;
    std::unordered_set<const qeAbstractNode*> seen;
    auto reach = [&](const _KNode<qeAbstractNode>& node) {
        if (node && seen.insert(node.get()).second) pending.push_back(node.get());
    };
    reach(root);
    while (!pending.empty()) {
        qeAbstractNode* node = pending.back();
        pending.pop_back();
        node->releaseOwner();
        reach(node->annotations());
        for (const _KNode<qeAbstractNode>& child : node->children) reach(child);
        for (const _KNode<qeAbstractNode>& operand : node->operands) reach(operand);
    }
}
