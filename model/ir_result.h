// What compiling an expression yields: the object it denotes, where its value
// lies, the instructions still to emit, and the value states it establishes.
// The same record is the payload of every node of a function's flow tree.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/object_heap.h"
#include "foundation/rare_fields.h"
#include "foundation/smart_ptr.h"
#include "foundation/vector.h"
#include "model/ircode.h"

namespace model {

class IRObject;

// Value-state bits of an object (the modifier word's mask 0x380).
enum ValueState : uint32_t {
    kStateDefinite = 128,
    kStateUndetermined = 256,
    kStateOther = 512,
    kStateMask = 0x380,
};

// Object -> bits, ordered by the objects' creation serials (never by
// address), so iteration order is the same on every run.
class ObjectStateMap {
public:
    struct Entry {
        qestl::SmartPtr object;
        uint64_t serial;
        uint64_t value;
    };

    // Inserts the object with the value or overwrites an existing entry's.
    Entry& set(const qestl::SmartPtr& object, uint64_t value);
    Entry* find(const IRObject* object);
    bool contains(const IRObject* object) const;
    void assign(const ObjectStateMap& other) { entries_ = other.entries_; }
    void clear() { entries_.clear(); }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    Entry* begin() { return entries_.begin(); }
    Entry* end() { return entries_.end(); }
    const Entry* begin() const { return entries_.begin(); }
    const Entry* end() const { return entries_.end(); }

private:
    size_t lowerBound(uint64_t serial) const;
    // Counted in 32 bits: every result and every function has a map, and
    // few more than a handful of entries.
    qestl::qevector<Entry, uint32_t> entries_;
};

class IRResult {
public:
    IRResult() = default;
    IRResult(const qestl::SmartPtr& object, const Operand& operand) : object(object), operand(operand) {}
    explicit IRResult(const qestl::SmartPtr& object) : object(object) {}
    ~IRResult() = default;
    IRResult(const IRResult&) = default;
    IRResult& operator=(const IRResult&) = default;
    IRResult(IRResult&&) noexcept = default;
    IRResult& operator=(IRResult&&) noexcept = default;

    // Asked at nearly every step of an expression: defined inline beside
    // IRObject (model/ir_object.h).
    inline IRObject* objectPtr() const;

    // Pending instructions.
    qestl::SmartPtr appendInstruction(qestl::SmartPtrVector& list, const cbircode& templ,
                                      const qestl::SmartPtr& ownerFunction, const NodeHandle& node);
    // The same for a record made to be appended: held nowhere else and
    // never placed, it goes in itself rather than a copy of it.
    void appendInstruction(qestl::SmartPtrVector& list, qestl::SmartPtr&& made, const qestl::SmartPtr& ownerFunction,
                           const NodeHandle& node);
    void appendInstructionRef(const qestl::SmartPtr& instruction) { pending.pushBack(instruction); }
    void insertInstructionCopy(size_t position, const cbircode& instruction);
    qestl::SmartPtr instructionAt(size_t i) const { return i < pending.size() ? pending[i] : qestl::SmartPtr(); }
    // Inline beside IRObject (model/ir_object.h): most values' objects have
    // no code of their owner to take.
    inline void prependOwnerCode();
    void prependCodeOfOwner(IRObject& holder);
    void clearCodeChain();
    void appendCodeAndStates(const IRResult& other);
    void appendResult(IRResult& other);

    bool isInAccumulator() const { return operand.isRegister(kEax); }
    // Whether every field is as a default-made result has it (an owner
    // never set reads so).
    bool isUnset() const { return !object && holdsObjectAlone(); }
    // Whether every field but the object is as a default-made result has it.
    bool holdsObjectAlone() const;
    bool isTransientValue(const ModelContext& context) const;
    uint64_t addressCode(bool flag) const;
    void checkUse(ModelContext* context, const NodeHandle& node) const;
    void detach();

    // Value states.
    void mergeObjectState(const qestl::SmartPtr& object, uint64_t bits);
    void mergeObjectStatesFrom(const IRResult& other);
    // Merges each object of the branch results with its current state.
    void joinObjectStates(const IRResult* results, size_t count);
    void applyObjectStates();
    void restoreObjectStates();
    void complementObjectStates();

    qestl::SmartPtr object;
    NodeHandle sourceNode;
    Operand operand;
    uint32_t matchRank = 0;
    uint32_t sizeValue = 0;
    uint8_t markerByte = 0;
    uint8_t addressOf = 0;
    uint8_t statesApplied = 0;
    // How far out the lookup of a simple name found it (a model::Reach,
    // model/candidate_rank.h): nearer wins between candidates reached alike.
    uint8_t reach = 0;
    uint32_t stateWord = 0;
    uint64_t storageIndex = 0;  // also the lookup rank of a candidate
    uint64_t pathKind = 0;
    qestl::SmartPtrVector pending;
    ObjectStateMap states;
    qestl::SmartPtr secondObject;
    NodeHandle secondNode;
};

// Results that hold the same: field by field (a result has padding that a
// copy does not carry over), what they refer to by identity.
bool sameResultFields(const IRResult& a, const IRResult& b);

// The template arguments of an instance: few objects have any, and every
// object paid a list's two words for them. A word here until the first is
// added; the list reads as empty before.
class TemplateArguments {
public:
    size_t size() const { return list_.get().size(); }
    bool empty() const { return list_.get().empty(); }
    const IRResult& operator[](size_t i) const { return list_.get()[i]; }
    const IRResult* begin() const { return list_.get().begin(); }
    const IRResult* end() const { return list_.get().end(); }
    void pushBack(const IRResult& argument) { list_.edit().pushBack(argument); }
    void clear() { list_.clear(); }
    bool operator==(const TemplateArguments& other) const;

private:
    qestl::RareFields<qestl::qevector<IRResult, uint32_t>> list_;
};

// The owner descriptor of a member (IRObject::ownerResult): the owner and
// the code that reaches it. Nearly every descriptor is the owner alone, a
// result that holds an object and nothing else: that one is kept as the
// counted object itself, in one word, where every method and field paid a
// result of 144 bytes apart. A descriptor that holds more keeps a whole
// result apart; either reads as that result.
class OwnerDescriptor {
public:
    OwnerDescriptor() = default;
    OwnerDescriptor(const OwnerDescriptor& other);
    OwnerDescriptor& operator=(const OwnerDescriptor& other);
    OwnerDescriptor(OwnerDescriptor&& other) noexcept : word_(other.word_) { other.word_ = 0; }
    OwnerDescriptor& operator=(OwnerDescriptor&& other) noexcept;
    // Most objects never had an owner's value: nothing to drop.
    ~OwnerDescriptor() {
        if (word_ != 0) drop();
    }

    // Whether anything was set (a descriptor never set reads as an unset
    // result).
    bool made() const { return word_ != 0; }
    void set(const IRResult& descriptor);
    // The same from a value its caller reads no more: its code is taken, not copied.
    void set(IRResult&& descriptor);
    // The owner, the rest of the descriptor as it was.
    void setObject(const qestl::SmartPtr& owner);
    void clear() { drop(); }

    // Inline in model/ir_object.h, where an object is complete: asked at
    // every link name and member lookup.
    inline IRObject* objectPtr() const;
    qestl::SmartPtr object() const;
    const Operand& operand() const;
    bool hasPendingCode() const { return whole() != nullptr && !whole()->pending.empty(); }
    // The descriptor as a result of its own.
    IRResult result() const;
    // The whole result, made when the descriptor held the owner alone.
    IRResult& edit();
    // The whole result, or null while the descriptor holds the owner alone.
    const IRResult* whole() const { return (word_ & kObjectTag) == 0 ? reinterpret_cast<IRResult*>(word_) : nullptr; }
    // Same owner alone, or the same result held apart.
    bool sameWordAs(const OwnerDescriptor& other) const { return word_ == other.word_; }

    void checkUse(ModelContext* context, const NodeHandle& node) const;
    // IRResult::clearCodeChain and prependOwnerCode on the descriptor.
    void clearCodeChain();
    void prependOwnerCode();

private:
    static constexpr uintptr_t kObjectTag = 1;
    qestl::CountedObject* heldObject() const {
        return (word_ & kObjectTag) != 0 ? reinterpret_cast<qestl::CountedObject*>(word_ & ~kObjectTag) : nullptr;
    }
    void drop();
    void holdObject(const qestl::SmartPtr& owner);
    // 0: none; the owner's address | 1; or a result from object memory.
    uintptr_t word_ = 0;
};

struct FlowNode;

// The children of a flow node, each allocated apart so that it keeps its
// address while siblings are added. Most nodes have none, and then nothing
// is allocated (a deque allocated its map and a first chunk for every node).
class FlowChildren {
    using Held = std::vector<std::unique_ptr<FlowNode>>;

    template <typename Inner, typename Node>
    class Iterator {
    public:
        explicit Iterator(Inner at) : at_(at) {}
        Node& operator*() const { return **at_; }
        Node* operator->() const { return at_->get(); }
        Iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return at_ == other.at_; }

    private:
        Inner at_;
    };

public:
    using iterator = Iterator<Held::iterator, FlowNode>;
    using const_iterator = Iterator<Held::const_iterator, const FlowNode>;

    FlowChildren() = default;
    FlowChildren(const FlowChildren& other);
    FlowChildren(FlowChildren&&) noexcept = default;
    FlowChildren& operator=(FlowChildren&&) noexcept = default;
    FlowChildren& operator=(const FlowChildren&) = delete;
    ~FlowChildren();

    FlowNode& emplace_back();
    size_t size() const { return nodes_.size(); }
    bool empty() const { return nodes_.empty(); }
    FlowNode& operator[](size_t i) { return *nodes_[i]; }
    const FlowNode& operator[](size_t i) const { return *nodes_[i]; }
    FlowNode& back() { return *nodes_.back(); }
    void clear();
    iterator begin() { return iterator(nodes_.begin()); }
    iterator end() { return iterator(nodes_.end()); }
    const_iterator begin() const { return const_iterator(nodes_.begin()); }
    const_iterator end() const { return const_iterator(nodes_.end()); }

private:
    Held nodes_;
};

// One node of the flow tree of a function body: the value states recorded
// at that point and how control leaves it.
struct FlowNode {
    enum Kind : uint32_t {
        kSequence = 1,
        kAlternative = 2,
        kClosingAlternative = 3,
        kAlternativeB = 4,
        kSequenceB = 5,
        kAlternativeC = 6,
    };
    // A break or continue leaves only the construct that takes it; a return
    // or throw leaves every one around it.
    enum Exit : uint32_t { kExitBreaks = 1, kExitContinues = 2, kExitReturns = 4, kExitTerminates = 8 };
    // The exits a loop's body node absorbs; a switch's case nodes absorb the
    // break alone.
    static constexpr uint32_t kLoopTakes = kExitBreaks | kExitContinues;

    FlowNode() = default;
    FlowNode(const FlowNode& other);
    FlowNode& operator=(const FlowNode& other);
    // From object memory: a body makes and drops a node for each statement
    // that branches, where the C heap cost as much as the node's work.
    static void* operator new(size_t bytes) { return qestl::allocateObjectMemory(bytes); }
    static void operator delete(void* memory, size_t bytes) { qestl::freeObjectMemory(memory, bytes); }

    // Appends a child (its result copied from `from` when given).
    FlowNode& addChild(uint32_t childKind, const IRResult* from, uint32_t childMask);
    // The exit bits of the node with its children folded in; apply masks
    // the node's own absorbed bits.
    uint32_t foldExitBits(bool apply) const;

    IRResult result;
    FlowNode* parent = nullptr;
    FlowChildren children;
    uint8_t terminated = 0;
    uint32_t kind = 0;
    uint32_t mask = 0;
    uint32_t exitBits = 0;
    // Kept by the statement compilers.
    uint32_t foldedExitBits = 0;
    uint8_t warned = 0;
    uint8_t loopCondition = 0;

    // Called when the compile leaves the node for good: nothing changes
    // below it any more, so its folded bits are kept, and added to its
    // parent's run of left children. A parent with many children (the
    // cases of a switch) then folds each child once, not at every pop.
    void seal();

    // The fold of the first `count` children, all sealed, in foldExitBits'
    // terms; `stopped` when one of them ended the fold.
    struct FoldedPrefix {
        uint32_t count = 0;
        bool anySequence = false, anyAlternative = false, anyClosing = false, stopped = false;
        uint32_t sequenceBits = 0, alternativeBits = ~0u, closingBits = 0, stopBits = 0;
        bool allLeave = true;
        uint32_t leaveBits = 0;
        void add(uint32_t childKind, uint32_t bits);
        void noteLeaving(uint32_t bits);
    };
    FoldedPrefix foldedPrefix;
    uint8_t sealed = 0;
    uint32_t sealedBits = 0;

private:
    void adoptChildren();
};

// The growable list of results: candidate lists, parameter lists.
using IRValueList = qestl::qevector<IRResult>;

// The fused opcode of an operator applied to a result whose last pending
// instruction is a member or element load; 0 when none applies. `last` gets
// that instruction when the result is in register 0 with pending code.
uint32_t fuseMemberOperation(const IRResult& result, uint32_t operatorCode, qestl::SmartPtr& last);

}  // namespace model

// A result holds counted pointers, node handles and vector headers, none of
// which anything points into: a growing candidate list moves them as bytes
// rather than copying each result's code list and dropping the old one.
template <>
struct qestl::isRelocatable<model::IRResult> : std::true_type {};
