#include "source/node.h"

#include <cstring>
#include <unordered_set>
#include <vector>

#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"

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

// The side words of the nodes that have one, by node address: an
// open-addressed table of linear probes, whose entries are moved back over
// a removed one (no tombstones: the nodes of a compiled body come and go by
// the thousand). Looked up by address only, never walked: no address
// decides an order. It is let fill to one half: with places stirred from
// the whole address, a search then ends within a few probes at any size
// (filled to seven eighths, a put walked some thirty), and a program of a
// million classes has a million words.
class SideWords {
public:
    uintptr_t find(const void* node) const {
        for (size_t i = placeOf(node);; i = (i + 1) & mask_) {
            if (slots_[i].node == node) return slots_[i].word;
            if (slots_[i].node == nullptr) return 0;
        }
    }
    // The line of the stretch that holds the address, loaded ahead; a
    // table that fits the caches loads nothing.
    void load(const void* near) const {
        if (mask_ < kCachedMask) return;
        qestl::touchHashed(&slots_[placeOf(near)]);
    }
    void put(const void* node, uintptr_t word) {
        if (2 * (count_ + 1) > mask_ + 1) grow();
        const size_t i = qestl::firstFreePlace(slots_, mask_, placeOf(node), [node](const Slot& slot) {
            return slot.node == nullptr || slot.node == node;
        });
        if (slots_[i].node == nullptr) ++count_;
        slots_[i] = Slot{node, word};
    }
    void erase(const void* node) {
        size_t i = placeOf(node);
        while (slots_[i].node != node) {
            if (slots_[i].node == nullptr) return;
            i = (i + 1) & mask_;
        }
        --count_;
        // Later entries of the run move back into the hole when their home
        // does not lie between the hole and them.
        for (size_t next = (i + 1) & mask_; slots_[next].node != nullptr; next = (next + 1) & mask_) {
            const size_t home = placeOf(slots_[next].node);
            if (((next - home) & mask_) >= ((next - i) & mask_)) {
                slots_[i] = slots_[next];
                i = next;
            }
        }
        slots_[i] = Slot{};
    }

    // Passes each node and its word to `take` and starts again empty, the
    // slots given back; `take` answers whether the node keeps its word,
    // which then goes into the new table.
    template <typename Take>
    void sift(Take&& take) {
        qestl::LineAlignedVector<Slot> held(64);
        held.swap(slots_);
        mask_ = 63;
        count_ = 0;
        std::vector<Slot> kept;
        for (const Slot& slot : held) {
            if (slot.node != nullptr && take(slot.node, slot.word)) kept.push_back(slot);
        }
        held = qestl::LineAlignedVector<Slot>();
        for (const Slot& slot : kept) put(slot.node, slot.word);
    }

private:
    static constexpr size_t kCachedMask = (size_t{1} << 16) - 1;  // 1 MiB of slots: nothing loaded ahead
    struct Slot {
        const void* node = nullptr;
        uintptr_t word = 0;
    };
    // The nodes of one 256-byte stretch (four pool blocks) share a line of
    // four slots, each node its own slot in it: a class's nodes that have
    // words lie side by side, and every pass over the classes that reads
    // them then waits for one line where it waited for one per node (a
    // million classes: the table is tens of megabytes and each wait a trip
    // to memory, so that the table's time grew twenty times for ten times
    // the classes, bench/hostile_shapes.py template_base_recursion and
    // inheritance_chain). The line itself comes from every bit of the
    // stretch's address stirred: a program's nodes that have words lie
    // apart in strides (as many nodes apart as each class makes), and a
    // place taken from the bits of one product followed some strides into
    // long probe runs (at a million classes four times as long as at a
    // hundred thousand, template_nesting). Wider stretches lengthen the
    // runs: at a million classes of two words to four nodes, a search
    // probes 2.1 slots (1.6 with each node's place stirred on its own),
    // and with 1 KiB stretches 4.5.
    size_t placeOf(const void* node) const {
        const uint64_t address = reinterpret_cast<uintptr_t>(node);
        uint64_t x = address >> 8;
        x ^= x >> 33;
        x *= 0xFF51AFD7ED558CCDull;
        x ^= x >> 33;
        x *= 0xC4CEB9FE1A85EC53ull;
        x ^= x >> 33;
        return static_cast<size_t>(x << 2 | (address >> 6 & 3)) & mask_;
    }
    void grow() {
        const size_t size = 2 * (mask_ + 1);
        mask_ = size - 1;
        qestl::placeSlotsAgain(
            slots_, size, [](const Slot& slot) { return slot.node == nullptr; },
            [this](const Slot& slot) { return placeOf(slot.node); });
    }

    qestl::LineAlignedVector<Slot> slots_ = qestl::LineAlignedVector<Slot>(64);
    size_t mask_ = 63;
    size_t count_ = 0;
};

// Never destroyed: nodes released by static destructors still find it.
SideWords* gSideWords = nullptr;

SideWords& sideWords() {
    if (gSideWords == nullptr) [[unlikely]]
        gSideWords = new SideWords();
    return *gSideWords;
}

}  // namespace

uintptr_t qeAbstractNode::sideWordOf(const qeAbstractNode* node) { return sideWords().find(node); }

void qeAbstractNode::loadSideWordsNear(const qeAbstractNode* node) {
    if (gSideWords == nullptr || node == nullptr) return;
    // The node's own stretch and the next, where the nodes made for its
    // operands after it lie.
    gSideWords->load(node);
    gSideWords->load(reinterpret_cast<const char*>(node) + 256);
}

void qeAbstractNode::setSide(uintptr_t word) {
    if (word != 0) {
        sideWords().put(this, word);
        hasSide_ = 1;
    } else if (hasSide_) {
        sideWords().erase(this);
        hasSide_ = 0;
    }
}

void qeAbstractNode::dropBareSideWords() {
    if (gSideWords == nullptr) return;
    // Only references that are not the last go: nothing is destroyed, so
    // the order the table holds the nodes in decides nothing. An owner the
    // node alone keeps alive stays with it.
    gSideWords->sift([](const void* at, uintptr_t word) {
        if ((word & kBareBits) == 0) return true;
        if ((word & kBareOwner) != 0) {
            qestl::CountedObject* owner = bareObject(word);
            if (owner->referenceCount() == 1) return true;
            owner->release();
        }
        const_cast<qeAbstractNode*>(static_cast<const qeAbstractNode*>(at))->hasSide_ = 0;
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
