// The counted core and the instruction record: every entity of a compiled
// program is a record with an opcode, up to ten operands and a code address,
// and the image writer sizes, places, resolves and encodes each one through
// the same virtual operations.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "foundation/byte_io.h"
#include "foundation/live_registry.h"
#include "foundation/look_ahead.h"
#include "foundation/smart_ptr.h"
#include "model/operand.h"
#include "source/node.h"

namespace model {

class ModelContext;
using NodeHandle = _KNode<qeAbstractNode>;

// The count of every object of the model. `detach` breaks reference cycles
// before the lists holding the objects are freed.
class cbSmartCore : public qestl::CountedObject {
public:
    virtual void detach() {}
};

constexpr uint64_t kUnplaced = ~uint64_t{0};

// Where a record lies in the image, in five bytes: the low four, then the
// fifth, which reads as the high three bytes' sign (an image is far shorter
// than 512 GiB); kUnplaced while unplaced.
class [[gnu::packed]] RecordAddress {
public:
    RecordAddress& operator=(uint64_t address) {
        low_ = static_cast<uint32_t>(address);
        high_ = static_cast<int8_t>(address >> 32);
        return *this;
    }
    operator uint64_t() const { return static_cast<uint64_t>(int64_t{high_} << 32) | low_; }
    bool operator==(const RecordAddress& other) const = default;

private:
    uint32_t low_ = UINT32_MAX;
    int8_t high_ = -1;
};

enum KeptState : uint8_t {
    kNotKept = 0,
    kKeptLent = 1,  // as it was kept
    // Since it was lent or given back: only its address, operands and
    // resolvedOnce written (as the image passes write every record), or any
    // kept field.
    kKeptPlaced = 2,
    kKeptWritten = 3,
};

// Where a record was written: its node while the body it belongs to
// compiles (checks and messages read the node), then, once the body is
// compiled, only the file, line and column the image's line table gives,
// packed into the same word where they fit. The body's tree then goes
// whole: a large program kept some four nodes a line alive for their
// positions alone, a fifth of its peak.
class SourcePlace {
public:
    SourcePlace() : word_(0) {}
    SourcePlace(const SourcePlace& other) : word_(other.word_) { retainNode(held()); }
    SourcePlace(SourcePlace&& other) noexcept : word_(std::exchange(other.word_, 0)) {}
    SourcePlace& operator=(const SourcePlace& other) {
        SourcePlace copy(other);
        std::swap(word_, copy.word_);
        return *this;
    }
    SourcePlace& operator=(SourcePlace&& other) noexcept {
        SourcePlace taken(std::move(other));
        std::swap(word_, taken.word_);
        return *this;
    }
    // Takes the node (the old one is released last).
    SourcePlace& operator=(NodeHandle node) {
        SourcePlace taken;
        taken.word_ = reinterpret_cast<uintptr_t>(node.detach());
        std::swap(word_, taken.word_);
        return *this;
    }
    ~SourcePlace() { releaseNode(held()); }

    void reset() { releaseNode(held(std::exchange(word_, 0))); }
    explicit operator bool() const { return word_ != 0; }
    bool operator==(const SourcePlace& other) const { return word_ == other.word_; }

    // The node; an empty handle once only the position is kept.
    const NodeHandle& node() const { return isPosition() ? kNoNode : node_; }
    uint32_t fileIndex() const { return isPosition() ? (word_ >> 1) & kFileMask : node_->fileIndex; }
    uint32_t line() const { return isPosition() ? (word_ >> kLineShift) & kLineMask : node_->startLine; }
    uint32_t column() const { return isPosition() ? static_cast<uint32_t>(word_ >> kColumnShift) : node_->startColumn; }

    // Keeps the node's position in place of the node where it fits (the
    // node loses this reference); a position too large keeps its node.
    void keepPositionOnly() {
        if (word_ == 0 || isPosition()) return;
        const qeAbstractNode& node = *node_;
        if (node.fileIndex > kFileMask || node.startLine > kLineMask || node.startColumn > kColumnMask) return;
        const uintptr_t position = uintptr_t{1} | uintptr_t{node.fileIndex} << 1 |
                                   uintptr_t{node.startLine} << kLineShift |
                                   uintptr_t{node.startColumn} << kColumnShift;
        releaseNode(held(std::exchange(word_, position)));
    }

private:
    static constexpr uint32_t kFileMask = (1u << 15) - 1;
    static constexpr unsigned kLineShift = 16;
    static constexpr uint32_t kLineMask = (1u << 24) - 1;
    static constexpr unsigned kColumnShift = 40;
    static constexpr uint32_t kColumnMask = (1u << 24) - 1;
    static inline const NodeHandle kNoNode{};

    // Bit 0 marks a position: a node's address is even.
    bool isPosition() const { return (word_ & 1) != 0; }
    refableAstBase* held() const { return held(word_); }
    static refableAstBase* held(uintptr_t word) {
        return (word & 1) != 0 ? nullptr : reinterpret_cast<refableAstBase*>(word);
    }

    // The word read as a node's handle where it holds one (the compiler
    // reads a union's other member as the same bytes).
    union {
        uintptr_t word_;
        NodeHandle node_;
    };
};

static_assert(sizeof(SourcePlace) == sizeof(uintptr_t), "a record's source is one word");
static_assert(alignof(qeAbstractNode) >= 2, "a node's address leaves bit 0 for a position");

class cbircode : public cbSmartCore {
public:
    cbircode() = default;
    cbircode(uint32_t opcode, int count)
        : opcode(opcode),
          operands(static_cast<size_t>(count > 0 ? count : 0)),
          operandCount(static_cast<uint8_t>(count)) {}
    // Opcode, count, operands, address, source node and keep-first-operand;
    // not the owner, not the other flags.
    cbircode(const cbircode& other);
    cbircode& operator=(const cbircode&) = delete;
    ~cbircode() override;

    // The same copy into this record; the owner stays.
    void copyFrom(const cbircode& other);
    // Holds both (an emitted record's pair, from the frame and the node
    // being compiled: taken as copies, they were copied at every call).
    void setSource(const qestl::SmartPtr& ownerRef, const NodeHandle& node);
    void setSource(const qestl::SmartPtr& ownerRef, const SourcePlace& place);

    // Releases every operand's link and target and the owner (the targets
    // and the owner are detached first).
    void detach() override;

    virtual uint64_t encodedSize() const { return 4 + 12 * operandCount; }
    virtual bool isFunction() const { return false; }
    virtual uint64_t assignAddress(ModelContext&, uint64_t address) {
        notePlaced();
        codeAddress = address;
        return address + encodedSize();
    }
    virtual bool resolveOperands(ModelContext& context);
    // What assignAddress and resolveOperands do for a plain record, inline
    // for the walk that resolves and places the code lists.
    uint64_t placeInstruction(uint64_t address) {
        notePlaced();
        codeAddress = address;
        return address + cbircode::encodedSize();
    }
    bool resolveInstruction(ModelContext& context);
    // The address's five bytes end a word that three bytes of the record
    // begin: the walks over the records read it in one load and a shift.
    uint64_t address() const {
        int64_t word;
        std::memcpy(&word, reinterpret_cast<const char*>(&codeAddress) + sizeof(RecordAddress) - sizeof word,
                    sizeof word);
        return static_cast<uint64_t>(word >> 24);
    }
    // The 12-byte operand form of a reference to this record; a plain record
    // writes the placeholder: bytes 0, 0, flags, 0, then eight zero bytes.
    virtual uint32_t writeTypeOperand(qestl::ByteWriter& out, uint64_t base, uint8_t flags, bool useValueType);
    virtual uint64_t encode(ModelContext& context, qestl::ByteWriter& out, void* writerData, uint64_t position);
    // What encode writes for a plain record, inline for the image's walk
    // over its code, which meets some eight of them a line: a virtual call
    // for each cost a fifth of their encoding.
    uint64_t encodeInstruction(ModelContext& context, qestl::ByteWriter& out, uint64_t position);

    // Goes before every write of a field that a lent record gives back
    // (model/kept_fields.def, the resource items' fields): only the records
    // a compilation marked written are given back after it, which their
    // keeper finds by reading its records' marks.
    void noteWrite() {
        if (kept != kNotKept) kept = kKeptWritten;
    }
    // The same before a write of the address, the operands or resolvedOnce
    // only: giving those back spares comparing the other fields.
    void notePlaced() {
        if (kept == kKeptLent) kept = kKeptPlaced;
    }

    // Every opcode is below 300.
    uint16_t opcode = 0;
    // A built-in that a process lends to each of its compilations: no
    // teardown detaches it (model/kept_objects.h gives back its state).
    // One of KeptState.
    uint8_t kept = 0;
    // For a kind of record's own flags (a resource item's kind and mark):
    // two million items of a million classes took a word more each for
    // three bytes.
    uint8_t ownBits : 5 = 0;
    uint8_t resolvedOnce : 1 = 0;  // "written": a class record's resolution ran
    uint8_t keepFirstOperand : 1 = 0;
    uint8_t imported : 1 = 0;  // "linked": read from a link library
    // The count and the address lie in the slots' tail, so that a record
    // takes 48 bytes rather than 56: a class of one method has ten records,
    // a large program some eight a line.
    [[no_unique_address]] OperandSlots operands;
    uint8_t operandCount = 0;  // at most ten
    RecordAddress codeAddress;
    SourcePlace sourceNode;
    qestl::SmartPtr owner;

protected:
    // The operand count fits the ten slots; otherwise the internal fault is
    // reported and the process ends.
    void requireOperandSlots() const;

private:
    // The operands that name a label or a record, given their offsets from
    // the record's end.
    void fixUpOperands(ModelContext& context, uint64_t position);
    // The operands from `first` on, some of which name a record.
    bool resolveNamedOperands(ModelContext& context, uint64_t first, uint64_t count);
    [[noreturn]] void unresolvedOperandFault(uint64_t index) const;
};

// A large program has some eight records a line.
static_assert(sizeof(cbircode) == 48, "an instruction record takes six words");
// The bytes up to the end of the address.
constexpr size_t kRecordHeadBytes = 32;

// What a walk over records reads besides a record: its operands.
struct OperandsOf {
    const void* operator()(const cbircode& record) const { return record.operands.firstSlots(); }
};

// For records whose operands name records lying apart from them and from
// each other (a class record's holder, base, entry code and texts): all of a
// record's operand slots, and a few steps later the first two lines of each
// record they name, where its opcode and address lie (bench/hostile_shapes.py
// inheritance_chain at 1M).
struct OperandsAndTargets {
    void operator()(cbircode& record) const {
        const std::span<Operand> slots = record.operands.madeSlots();
        qestl::touchLines(slots.data(), slots.size_bytes());
    }
    void targets(cbircode& record) const {
        for (const Operand& operand : record.operands.madeSlots()) {
            const char* target = reinterpret_cast<const char*>(operand.target.get());
            if (target == nullptr) continue;
            qestl::touch(target);
            qestl::touch(target + 63);
        }
    }
};

// Visits each record of a list in order. The records of a large program and
// what they point to lie far out of the cache, and a walk over all of them
// (to place, resolve, encode, list their lines) waited for each in turn:
// each record, and then what `beside` names of it, is asked for some steps
// before it is reached (bench/hostile_shapes.py static_fields, big_switch
// and inheritance_chain at 1M). A `beside` that returns nothing asks for what it
// names itself; one with `targets` is also shown the record a few steps
// ahead, once what it named of it has come. The loads go out four records
// at a time: a record names things that lie on pages of their own, and a load
// waits until its page is found; asked together, those searches overlap
// (static_fields at 1M: placing, resolving and warning about a million
// fields spent an eighth less waiting).
template <typename Count, typename Visit, typename Beside = OperandsOf>
void forEachRecord(const qestl::qevector<qestl::SmartPtr, Count>& list, Visit&& visit, Beside beside = Beside()) {
    constexpr size_t kBatch = 4, kRecordsAhead = 16, kBesideAhead = 8, kTargetsAhead = 4;
    const size_t count = list.size();
    const qestl::SmartPtr* const records = list.begin();
    for (size_t i = 0; i < count; ++i) {
        qestl::loadBatchAhead(i, kBatch, kRecordsAhead, count, [&](size_t k) { qestl::touch(records[k].get()); });
        qestl::loadBatchAhead(i, kBatch, kBesideAhead, count, [&](size_t k) {
            cbircode& ahead = *records[k].as<cbircode>();
            if constexpr (std::is_void_v<decltype(beside(ahead))>) beside(ahead);
            else qestl::touch(beside(ahead));
        });
        if constexpr (requires(cbircode & record) { beside.targets(record); }) {
            qestl::loadBatchAhead(i, kBatch, kTargetsAhead, count,
                                  [&](size_t k) { beside.targets(*records[k].as<cbircode>()); });
        }
        visit(*records[i].as<cbircode>());
    }
}

// What a code record names is read in its head (type, opcode, flags,
// address: its first 32 bytes) and no further. A record begins on any 16
// bytes, so its head may run into a second line: the line of its address's
// last byte is asked for too (a million static fields' stores each waited
// for the address of the field they name).
struct CodeOperandsAndTargets : OperandsAndTargets {
    void targets(cbircode& record) const {
        for (const Operand& operand : record.operands.madeSlots()) {
            if (!operand.target) continue;
            const cbircode* target = operand.target.as<cbircode>();
            qestl::touch(target);
            qestl::touch(reinterpret_cast<const char*>(target) + kRecordHeadBytes - 1);
        }
    }
};

// forEachRecord for a list of code records, which resolving and encoding
// read together with the records their operands name (a variable, a
// function, a label). In a long list those lie out of the cache as much as
// the records, and each was waited for in turn: they are asked for too. A
// program of ten thousand lines has some eighty thousand records, which the
// last cache holds: there nothing is asked for ahead, which only cost each
// of the walks a tenth of its instructions.
constexpr size_t kManyCodeRecords = 262144;
template <typename Count, typename Visit>
void forEachCodeRecord(const qestl::qevector<qestl::SmartPtr, Count>& list, Visit&& visit) {
    if (list.size() >= kManyCodeRecords) return forEachRecord(list, visit, CodeOperandsAndTargets());
    for (const qestl::SmartPtr& record : list) visit(*record.as<cbircode>());
}

// Takes a field's object out, detaches it and drops the hold.
void detachObjectRef(qestl::SmartPtr& field);

// Registers a new counted object and hands out its first reference.
template <typename T>
qestl::SmartPtr adoptLive(T* object) {
    if constexpr (qestl::kRegistersLiveObjects) qestl::registerLiveObject(object);
    return qestl::SmartPtr(object);
}

// Opcode 53 with one long immediate: the stack frame size to check.
qestl::SmartPtr makeCheckEspInstruction(int64_t value);
// Opcode 79 with two operands: the record of a method without body.
qestl::SmartPtr makeInterfaceInstruction();

// An internal fault of the compiler: one line on standard output (flushed),
// then the process aborts.
[[noreturn]] void internalFault(const char* format, ...);

// Whether a record is a plain instruction, which the image's walks resolve,
// place and encode inline. The type's record is compared, not its name: a
// name compared as text cost the other records a string comparison each,
// and a record the comparison missed would only take the virtual calls.
inline bool isPlainInstruction(const cbircode& record) { return &typeid(record) == &typeid(cbircode); }

inline void cbircode::requireOperandSlots() const {
    if (operandCount > kMaxOperands) internalFault("Operands out of opcode");
}

inline bool cbircode::resolveInstruction(ModelContext& context) {
    notePlaced();
    requireOperandSlots();
    // The record's size is not asked for: a class record would measure
    // every member of its tables to answer.
    const uint64_t count = operands.resolvable(operandCount);
    Operand* const slots = operands.sideBySide(count);
    // Most records name nothing: they are resolved here without a call.
    uint64_t first = 0;
    if (slots != nullptr) {
        while (first < count && !slots[first].target) slots[first++].resolveAsItself();
        if (first == count) return true;
    }
    return resolveNamedOperands(context, first, count);
}

inline uint64_t cbircode::encodeInstruction(ModelContext& context, qestl::ByteWriter& out, uint64_t position) {
    notePlaced();
    requireOperandSlots();
    const uint64_t count = operandCount;
    Operand* const slots = operands.sideBySide(count);
    // Fixing up asks for the record's size, which a record that names
    // nothing (most of them) need not measure.
    bool named = count != 0 && slots == nullptr;
    for (uint64_t i = 0; slots != nullptr && i < count && !named; ++i) named = slots[i].refersElsewhere();
    if (named) fixUpOperands(context, position);
    // Made whole in the writer's buffer: a field at a time, the writer
    // checked its room and its spill threshold for each.
    const uint64_t written = 4 + 12 * count;
    out.made(written, [&](uint8_t* at) {
        qestl::storeU32LE(at, opcode);
        at += 4;
        for (uint64_t i = 0; i < count; ++i) {
            const Operand& operand = slots != nullptr ? slots[i] : operands[i];
            if (operand.encodedKind == kPendingLabel || operand.encodedKind == kObjectReference)
                unresolvedOperandFault(i);
            qestl::storeU32LE(at, (uint32_t{operand.dataType} << 24) | (operand.encodedKind & 0xFFFFFF));
            qestl::storeU64LE(at + 4, static_cast<uint64_t>(operand.encodedValue()));
            at += 12;
        }
    });
    return written;
}

}  // namespace model
