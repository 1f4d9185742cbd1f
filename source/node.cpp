#include "source/node.h"

#include <sys/mman.h>

#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

#include "foundation/look_ahead.h"
#include "foundation/memory.h"
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

// The side words of the nodes that have one, by node address: for each
// 1 MiB region of the address space that holds such a node, an array of one
// 32-bit place for each 64 bytes of it (a node takes 64: two nodes never
// share one), mapped when the region's first word is written, its pages
// made by the kernel as places are written on them. A place numbers the
// node's word in a list of the words, in the order they were first written
// (a word let go of leaves its number to the next). Looked up by address
// only, never walked in an order anything depends on.
// A node's place and its word lie beside those of the nodes made just
// before and after it: the passes over a program's classes, which read the
// words of the classes' nodes in about the order they were made, read a
// line for sixteen nodes. Kept in an open table by the node's address
// instead, each word lay in a line of its own somewhere in a table tens of
// megabytes long, and every pass waited for memory at each class: at a
// million classes the table's time grew some twenty times for ten times
// the classes (bench/hostile_shapes.py template_instances,
// inheritance_chain, inheritance_chain_reversed, one_method_classes,
// unknown_bases). A place of 32 bits rather than the word itself: varied
// code has a word for one node in several, and a word for every 64 bytes
// raised its peak of memory by 6%.
class SideWords {
public:
    uintptr_t find(const void* node) const {
        const Region* region = regionOf(reinterpret_cast<uintptr_t>(node));
        if (region == nullptr) return 0;
        const uint32_t number = region->places[placeIn(node)];
        return number != 0 ? word(number) : 0;
    }
    // The line of the node's place, loaded ahead.
    void load(const void* near) const {
        if (const Region* region = regionOf(reinterpret_cast<uintptr_t>(near)))
            qestl::touch(&region->places[placeIn(near)]);
    }
    void put(const void* node, uintptr_t value) {
        Region* region = regionOf(reinterpret_cast<uintptr_t>(node));
        if (region == nullptr) region = addRegion(reinterpret_cast<uintptr_t>(node) >> kRegionShift);
        uint32_t& number = region->places[placeIn(node)];
        if (number == 0) {
            number = newNumber();
            ++region->count;
        }
        word(number) = value;
    }
    void erase(const void* node) {
        Region* region = regionOf(reinterpret_cast<uintptr_t>(node));
        if (region == nullptr) return;
        uint32_t& number = region->places[placeIn(node)];
        if (number == 0) return;
        freed_.push_back(number);
        number = 0;
        --region->count;
    }

    // Passes each word to `take`, which answers whether the node keeps it;
    // a word not kept is let go of (its node's hasSide_ stays set and finds
    // none). The regions and the list are made again with the words kept
    // only, the pages of the others given back.
    template <typename Take>
    void sift(Take&& take) {
        std::vector<std::unique_ptr<uintptr_t[]>> held;
        held.swap(blocks_);
        const auto heldWord = [&held](uint32_t number) -> uintptr_t {
            return held[number >> kBlockShift][number & (kBlockWords - 1)];
        };
        freed_ = std::vector<uint32_t>();
        next_ = 1;
        std::vector<Region> kept;
        for (Region& region : regions_) {
            if (region.places == nullptr) continue;
            uint32_t* fresh = nullptr;
            size_t left = region.count;
            region.count = 0;
            // A line of sixteen places at a time: most are 0.
            for (size_t line = 0; left != 0; line += 16) {
                uint32_t any = 0;
                for (size_t k = 0; k < 16; ++k) any |= region.places[line + k];
                if (any == 0) continue;
                for (size_t i = line; i < line + 16; ++i) {
                    const uint32_t number = region.places[i];
                    if (number == 0) continue;
                    --left;
                    const uintptr_t value = heldWord(number);
                    if (!take(value)) continue;
                    if (fresh == nullptr) fresh = mapPlaces();
                    fresh[i] = newNumber();
                    word(fresh[i]) = value;
                    ++region.count;
                }
            }
            unmapPlaces(region.places);
            if (fresh != nullptr) kept.push_back(Region{region.number, fresh, region.count});
        }
        size_t size = kFirstRegions;
        while (size < 2 * (kept.size() + 1)) size *= 2;
        regions_.assign(size, Region{});
        used_ = 0;
        last_ = nullptr;
        for (const Region& region : kept) {
            regions_[qestl::firstFreePlace(regions_, regions_.size() - 1, home(region.number), isFree)] = region;
            ++used_;
        }
    }

private:
    static constexpr unsigned kRegionShift = 20;
    static constexpr unsigned kPlaceShift = 6;
    static constexpr size_t kRegionPlaces = size_t{1} << (kRegionShift - kPlaceShift);
    static constexpr size_t kFirstRegions = 64;
    // The list of the words, in blocks that never move.
    static constexpr unsigned kBlockShift = 16;
    static constexpr size_t kBlockWords = size_t{1} << kBlockShift;
    struct Region {
        uintptr_t number = 0;  // the address shifted by kRegionShift
        uint32_t* places = nullptr;
        size_t count = 0;  // the places that are not 0
    };
    static bool isFree(const Region& region) { return region.places == nullptr; }
    static size_t placeIn(const void* node) {
        return (reinterpret_cast<uintptr_t>(node) >> kPlaceShift) & (kRegionPlaces - 1);
    }
    size_t home(uintptr_t number) const {
        return static_cast<size_t>((number * 0x9E3779B97F4A7C15ull) >> 32) & (regions_.size() - 1);
    }
    uintptr_t& word(uint32_t number) const { return blocks_[number >> kBlockShift][number & (kBlockWords - 1)]; }
    // The number a word let go of left, or the next (from 1: 0 is no word).
    uint32_t newNumber() {
        if (!freed_.empty()) {
            const uint32_t number = freed_.back();
            freed_.pop_back();
            return number;
        }
        if (next_ == UINT32_MAX) qestl::outOfMemory(sizeof(uintptr_t));
        const uint32_t number = next_++;
        // Not cleared: every number is written before it is read, and
        // clearing the half megabyte of a first block cost every small
        // compile (hello world) 7% of its instructions, and pages it never used.
        if ((number >> kBlockShift) >= blocks_.size())
            blocks_.push_back(std::make_unique_for_overwrite<uintptr_t[]>(kBlockWords));
        return number;
    }
    // The region of an address, null when none holds a word yet. The last
    // found is asked first: a walk stays in a region for thousands of nodes.
    Region* regionOf(uintptr_t address) const {
        const uintptr_t number = address >> kRegionShift;
        if (last_ != nullptr && last_->number == number) return last_;
        const size_t mask = regions_.size() - 1;
        for (size_t at = home(number); !isFree(regions_[at]); at = (at + 1) & mask) {
            if (regions_[at].number == number) return last_ = const_cast<Region*>(&regions_[at]);
        }
        return nullptr;
    }
    Region* addRegion(uintptr_t number) {
        if (2 * (used_ + 1) > regions_.size()) {
            qestl::placeSlotsAgain(regions_, 2 * regions_.size(), isFree,
                                   [this](const Region& region) { return home(region.number); });
        }
        ++used_;
        const size_t at = qestl::firstFreePlace(regions_, regions_.size() - 1, home(number), isFree);
        regions_[at] = Region{number, mapPlaces(), 0};
        return last_ = &regions_[at];
    }
    // Mapped rather than taken from the C heap: the kernel makes a page of
    // zeros as it is first written, so that a region whose nodes have few
    // words costs a few pages.
    static uint32_t* mapPlaces() {
        void* mapped = mmap(nullptr, kRegionPlaces * sizeof(uint32_t), PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) qestl::outOfMemory(kRegionPlaces * sizeof(uint32_t));
        return static_cast<uint32_t*>(mapped);
    }
    static void unmapPlaces(uint32_t* places) { munmap(places, kRegionPlaces * sizeof(uint32_t)); }

    std::vector<Region> regions_ = std::vector<Region>(kFirstRegions);
    size_t used_ = 0;
    mutable Region* last_ = nullptr;
    std::vector<std::unique_ptr<uintptr_t[]>> blocks_;
    std::vector<uint32_t> freed_;
    uint32_t next_ = 1;
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
    // The nodes made for its operands after it have their words on the
    // same line or the next, which the line's own load brings in order.
    if (gSideWords != nullptr && node != nullptr) gSideWords->load(node);
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
    gSideWords->sift([](uintptr_t word) {
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
