#include "model/ir_result.h"

#include <cstring>
#include <typeinfo>

#include "model/builtin_types.h"
#include "model/ir_object.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {

size_t ObjectStateMap::lowerBound(uint64_t serial) const {
    size_t low = 0, high = entries_.size();
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (entries_[middle].serial < serial) low = middle + 1;
        else high = middle;
    }
    return low;
}

ObjectStateMap::Entry& ObjectStateMap::set(const qestl::SmartPtr& object, uint64_t value) {
    const uint64_t serial = asObject(object)->serial();
    const size_t at = lowerBound(serial);
    if (at < entries_.size() && entries_[at].serial == serial) {
        entries_[at].object = object;
        entries_[at].value = value;
        return entries_[at];
    }
    entries_.pushBack(Entry{object, serial, value});
    // Move the new entry into its place.
    for (size_t i = entries_.size() - 1; i > at; --i) std::swap(entries_[i], entries_[i - 1]);
    return entries_[at];
}

ObjectStateMap::Entry* ObjectStateMap::find(const IRObject* object) {
    if (object == nullptr) return nullptr;
    const size_t at = lowerBound(object->serial());
    return at < entries_.size() && entries_[at].serial == object->serial() ? &entries_[at] : nullptr;
}

bool ObjectStateMap::contains(const IRObject* object) const { return const_cast<ObjectStateMap*>(this)->find(object); }

qestl::SmartPtr IRResult::appendInstruction(qestl::SmartPtrVector& list, const cbircode& templ,
                                            const qestl::SmartPtr& ownerFunction, const NodeHandle& node) {
    qestl::SmartPtr copy = adoptLive(new cbircode(templ));
    copy.as<cbircode>()->setSource(ownerFunction, node);
    list.pushBack(copy);
    return copy;
}

void IRResult::appendInstruction(qestl::SmartPtrVector& list, qestl::SmartPtr&& made,
                                 const qestl::SmartPtr& ownerFunction, const NodeHandle& node) {
    cbircode* record = made.as<cbircode>();
    // A plain record whose fields a copy would not take over (model/ircode.h)
    // are as a copy has them.
    const bool fresh = made.get()->referenceCount() == 1 && typeid(*record) == typeid(cbircode) &&
                       record->resolvedOnce == 0 && record->imported == 0 && record->kept == kNotKept && !record->owner;
    if (!fresh) {
        appendInstruction(list, *record, ownerFunction, node);
        return;
    }
    record->setSource(ownerFunction, node);
    list.pushBack(std::move(made));
}

void IRResult::insertInstructionCopy(size_t position, const cbircode& instruction) {
    qestl::SmartPtr copy = adoptLive(new cbircode(instruction));
    if (position > pending.size()) position = pending.size();
    pending.pushBack(copy);
    for (size_t i = pending.size() - 1; i > position; --i) std::swap(pending[i], pending[i - 1]);
}

void IRResult::prependCodeOfOwner(IRObject& holder) {
    holder.noteWrite();
    IRResult& owner = holder.ownerResult.edit();
    qestl::SmartPtrVector joined = owner.pending;
    for (const qestl::SmartPtr& instruction : pending) joined.pushBack(instruction);
    pending.swap(joined);
    owner.pending.clear();
}

void IRResult::clearCodeChain() {
    if (IRObject* holder = objectPtr()) {
        if (holder->ownerResult.hasPendingCode()) holder->noteWrite();
        holder->ownerResult.clearCodeChain();
    }
    pending.clear();
}

OwnerDescriptor::OwnerDescriptor(const OwnerDescriptor& other) { *this = other; }

OwnerDescriptor& OwnerDescriptor::operator=(const OwnerDescriptor& other) {
    if (this == &other) return *this;
    if (const IRResult* result = other.whole()) set(*result);
    else holdObject(qestl::SmartPtr(other.heldObject()));
    return *this;
}

OwnerDescriptor& OwnerDescriptor::operator=(OwnerDescriptor&& other) noexcept {
    if (this == &other) return *this;
    drop();
    word_ = other.word_;
    other.word_ = 0;
    return *this;
}

void OwnerDescriptor::drop() {
    const uintptr_t word = word_;
    word_ = 0;
    if (word == 0) return;
    if ((word & kObjectTag) != 0) {
        auto* held = reinterpret_cast<qestl::CountedObject*>(word & ~kObjectTag);
        if (held->release()) qestl::defaultDeleter(held);
        return;
    }
    auto* result = reinterpret_cast<IRResult*>(word);
    result->~IRResult();
    qestl::freeObjectMemory(result, sizeof(IRResult));
}

void OwnerDescriptor::holdObject(const qestl::SmartPtr& owner) {
    qestl::CountedObject* held = owner.get();
    if (held != nullptr) held->addReference();
    drop();
    if (held != nullptr) word_ = reinterpret_cast<uintptr_t>(held) | kObjectTag;
}

void OwnerDescriptor::set(const IRResult& descriptor) {
    if (IRResult* result = const_cast<IRResult*>(whole())) {
        if (result != &descriptor) *result = descriptor;
        return;
    }
    if (descriptor.holdsObjectAlone()) {
        holdObject(descriptor.object);
        return;
    }
    auto* result = new (qestl::allocateObjectMemory(sizeof(IRResult))) IRResult(descriptor);
    drop();
    word_ = reinterpret_cast<uintptr_t>(result);
}

void OwnerDescriptor::set(IRResult&& descriptor) {
    if (IRResult* result = const_cast<IRResult*>(whole())) {
        if (result != &descriptor) *result = std::move(descriptor);
        return;
    }
    if (descriptor.holdsObjectAlone()) {
        holdObject(descriptor.object);
        return;
    }
    auto* result = new (qestl::allocateObjectMemory(sizeof(IRResult))) IRResult(std::move(descriptor));
    drop();
    word_ = reinterpret_cast<uintptr_t>(result);
}

void OwnerDescriptor::setObject(const qestl::SmartPtr& owner) {
    if (IRResult* result = const_cast<IRResult*>(whole())) result->object = owner;
    else holdObject(owner);
}

qestl::SmartPtr OwnerDescriptor::object() const {
    if (const IRResult* result = whole()) return result->object;
    return qestl::SmartPtr(heldObject());
}

const Operand& OwnerDescriptor::operand() const {
    static const Operand kNone;
    const IRResult* result = whole();
    return result != nullptr ? result->operand : kNone;
}

IRResult OwnerDescriptor::result() const {
    if (const IRResult* result = whole()) return *result;
    return IRResult(qestl::SmartPtr(heldObject()));
}

IRResult& OwnerDescriptor::edit() {
    if (IRResult* result = const_cast<IRResult*>(whole())) return *result;
    auto* result = new (qestl::allocateObjectMemory(sizeof(IRResult))) IRResult();
    if (qestl::CountedObject* held = heldObject()) {
        // The reference the word held passes to the result.
        result->object = qestl::SmartPtr(held);
        held->release();
    }
    word_ = reinterpret_cast<uintptr_t>(result);
    return *result;
}

void OwnerDescriptor::checkUse(ModelContext* context, const NodeHandle& node) const {
    if (const IRResult* result = whole()) result->checkUse(context, node);
    else if (IRObject* held = objectPtr()) {
        held->checkUse(context, node);
    }
}

void OwnerDescriptor::clearCodeChain() {
    if (IRResult* result = const_cast<IRResult*>(whole())) {
        result->clearCodeChain();
        return;
    }
    // The owner alone holds no code of its own: its owners may.
    if (IRObject* holder = objectPtr()) {
        if (holder->ownerResult.hasPendingCode()) holder->noteWrite();
        holder->ownerResult.clearCodeChain();
    }
}

void OwnerDescriptor::prependOwnerCode() {
    if (IRResult* result = const_cast<IRResult*>(whole())) {
        result->prependOwnerCode();
        return;
    }
    // The owner alone takes its own owner's code, when there is any.
    IRObject* holder = objectPtr();
    if (holder != nullptr && holder->ownerResult.hasPendingCode()) edit().prependOwnerCode();
}

void IRResult::appendCodeAndStates(const IRResult& other) {
    for (const qestl::SmartPtr& instruction : other.pending) pending.pushBack(instruction);
    stateWord = other.stateWord;
    mergeObjectStatesFrom(other);
}

void IRResult::appendResult(IRResult& other) {
    other.prependOwnerCode();
    appendCodeAndStates(other);
}

uint64_t IRResult::addressCode(bool flag) const {
    uint64_t code;
    IRObject* held = objectPtr();
    if (held == nullptr) code = 7;
    else if (operand.kind == kThisObjectPointer) code = 3;
    else if (operand.kind == kThisStaticPointer) code = 4;
    else if (operand.kind == kStackSlot)
        code = (flag != held->isParameter()) ? 1 : (!flag && !held->isParameter()) ? 2 : 5;
    else code = 5;
    return (storageIndex << 3) | code;
}

void IRResult::checkUse(ModelContext* context, const NodeHandle& node) const {
    IRObject* held = objectPtr();
    if (held == nullptr) return;
    if (sourceNode) {
        held->checkUse(context, sourceNode);
    } else if (!pending.empty()) {
        held->checkUse(context, pending[0].as<cbircode>()->sourceNode.node());
    } else {
        held->checkUse(context, node);
    }
}

void IRResult::detach() {
    qestl::SmartPtr held = object;
    object.reset();
    if (held) held.as<cbSmartCore>()->detach();
    for (qestl::SmartPtr& instruction : pending) instruction.as<cbSmartCore>()->detach();
    pending.clear();
    sourceNode.reset();
    secondNode.reset();
}

void IRResult::mergeObjectState(const qestl::SmartPtr& target, uint64_t bits) {
    IRObject* held = asObject(target);
    if (held == nullptr || isBuiltin(held, Builtin::NilConstant)) return;
    if (ObjectStateMap::Entry* entry = states.find(held)) {
        uint64_t merged = entry->value | bits;
        const bool mixed = (merged & kStateDefinite) && (merged & (kStateUndetermined | kStateOther));
        if (mixed || (merged & kStateUndetermined)) merged = kStateUndetermined;
        entry->value = merged;
        return;
    }
    states.set(target, bits);
}

void IRResult::mergeObjectStatesFrom(const IRResult& other) {
    for (const ObjectStateMap::Entry& entry : other.states) mergeObjectState(entry.object, entry.value);
}

namespace {

// Swaps each entry's bits with its object's current value-state bits.
void swapStates(ObjectStateMap& states) {
    for (ObjectStateMap::Entry& entry : states) {
        IRObject* held = asObject(entry.object);
        const uint64_t current = held->modifiers & kStateMask;
        held->noteWrite();
        held->modifiers = (held->modifiers & ~kStateMask) | (static_cast<uint32_t>(entry.value) & kStateMask);
        entry.value = current;
    }
}

}  // namespace

void IRResult::applyObjectStates() {
    if (statesApplied) return;
    swapStates(states);
    statesApplied = 1;
}

void IRResult::restoreObjectStates() {
    if (!statesApplied) return;
    swapStates(states);
    statesApplied = 0;
}

void IRResult::complementObjectStates() {
    for (ObjectStateMap::Entry& entry : states) {
        const uint64_t c = asObject(entry.object)->modifiers & kStateMask;
        const uint64_t r = entry.value;
        const bool open = (c & kStateUndetermined) || ((c & kStateDefinite) && (c & kStateOther));
        if (open)
            entry.value = r == kStateDefinite ? kStateOther : r == kStateOther ? kStateDefinite : kStateUndetermined;
        else if (c == kStateDefinite) entry.value = r == kStateDefinite ? kStateOther : kStateDefinite;
        else if (c == kStateOther) entry.value = r == kStateOther ? kStateDefinite : kStateOther;
        else entry.value = c;
    }
}

bool IRResult::holdsObjectAlone() const {
    static_assert(sizeof(IRResult) == 128, "a field added to IRResult is asked for here too");
    const Operand none;
    return !sourceNode && std::memcmp(static_cast<const void*>(&operand), &none, sizeof none) == 0 && matchRank == 0 &&
           sizeValue == 0 && markerByte == 0 && addressOf == 0 && statesApplied == 0 && reach == 0 && stateWord == 0 &&
           storageIndex == 0 && pathKind == 0 && pending.empty() && states.empty() && !secondObject && !secondNode;
}

bool IRResult::isTransientValue(const ModelContext& context) const {
    IRObject* held = objectPtr();
    if (held != nullptr && context.isListedSlotObject(held)) return false;
    if (operand.kind == kStackSlot || operand.kind == kRegister) return true;
    if (held != nullptr && isBuiltin(held, Builtin::NilConstant)) return true;
    return operand.kind == kObjectReference && operand.target && operand.target.as<cbircode>()->opcode == kOpResource;
}

void IRResult::joinObjectStates(const IRResult* results, size_t count) {
    for (size_t i = 0; i < count; ++i)
        for (const ObjectStateMap::Entry& entry : results[i].states)
            mergeObjectState(entry.object, asObject(entry.object)->modifiers & kStateMask);
}

FlowChildren::FlowChildren(const FlowChildren& other) {
    nodes_.reserve(other.nodes_.size());
    for (const std::unique_ptr<FlowNode>& node : other.nodes_) nodes_.push_back(std::make_unique<FlowNode>(*node));
}

FlowChildren::~FlowChildren() = default;

FlowNode& FlowChildren::emplace_back() {
    // Most nodes that get children get two or three: grown one by one, the
    // list was reallocated at nearly every child.
    if (nodes_.capacity() == 0) nodes_.reserve(4);
    return *nodes_.emplace_back(std::make_unique<FlowNode>());
}

void FlowChildren::clear() { nodes_.clear(); }

FlowNode::FlowNode(const FlowNode& other)
    : result(other.result),
      parent(nullptr),
      children(other.children),
      terminated(other.terminated),
      kind(other.kind),
      mask(other.mask),
      exitBits(other.exitBits),
      foldedExitBits(other.foldedExitBits),
      warned(other.warned),
      loopCondition(other.loopCondition),
      foldedPrefix(other.foldedPrefix),
      sealed(other.sealed),
      sealedBits(other.sealedBits) {
    adoptChildren();
}

FlowNode& FlowNode::operator=(const FlowNode& other) {
    if (this == &other) return *this;
    FlowNode copy(other);
    result = copy.result;
    children = std::move(copy.children);
    terminated = copy.terminated;
    kind = copy.kind;
    mask = copy.mask;
    exitBits = copy.exitBits;
    foldedExitBits = copy.foldedExitBits;
    warned = copy.warned;
    loopCondition = copy.loopCondition;
    foldedPrefix = copy.foldedPrefix;
    sealed = copy.sealed;
    sealedBits = copy.sealedBits;
    adoptChildren();
    return *this;
}

void FlowNode::adoptChildren() {
    for (FlowNode& child : children) child.parent = this;
}

FlowNode& FlowNode::addChild(uint32_t childKind, const IRResult* from, uint32_t childMask) {
    FlowNode& child = children.emplace_back();
    child.kind = childKind;
    child.mask = childMask;
    if (from != nullptr) child.result = *from;
    child.parent = this;
    return child;
}

void FlowNode::FoldedPrefix::add(uint32_t childKind, uint32_t bits) {
    ++count;
    if (stopped) return;
    switch (childKind) {
    case kSequence:
    case kSequenceB:
        if (bits & (kExitReturns | kExitTerminates)) {
            stopped = true;
            stopBits = bits;
            return;
        }
        sequenceBits |= bits;
        anySequence = true;
        break;
    case kAlternative:
    case kAlternativeB:
    case kAlternativeC:
        alternativeBits &= bits;
        anyAlternative = true;
        noteLeaving(bits);
        break;
    case kClosingAlternative:
        closingBits = bits;
        anyClosing = true;
        noteLeaving(bits);
        break;
    default: break;
    }
}

// A throw (4) and a return (8) both end every path through a node: when each
// alternative ends one way or the other, they end together.
void FlowNode::FoldedPrefix::noteLeaving(uint32_t bits) {
    constexpr uint32_t kLeaves = kExitReturns | kExitTerminates;
    allLeave = allLeave && (bits & kLeaves) != 0;
    leaveBits |= bits & kLeaves;
}

uint32_t FlowNode::foldExitBits(bool apply) const {
    if (terminated) return kExitTerminates;
    if (exitBits & kExitReturns) return kExitReturns;
    const uint32_t keep = ~(apply ? mask : 0u);
    FoldedPrefix folded = foldedPrefix;
    for (size_t i = folded.count; i < children.size() && !folded.stopped; ++i) {
        const FlowNode& child = children[i];
        folded.add(child.kind, child.sealed ? child.sealedBits : child.foldExitBits(true));
    }
    if (folded.stopped) return folded.stopBits;
    if (folded.anySequence) return (folded.sequenceBits | exitBits) & keep;
    if (!folded.anyAlternative) return exitBits & keep;
    if (folded.anyClosing)
        return ((folded.closingBits & folded.alternativeBits) | (folded.allLeave ? folded.leaveBits : 0u)) & keep;
    return exitBits & folded.alternativeBits & keep;
}

void FlowNode::seal() {
    sealedBits = foldExitBits(true);
    sealed = 1;
    if (parent != nullptr && parent->foldedPrefix.count + 1 == parent->children.size() &&
        &parent->children.back() == this)
        parent->foldedPrefix.add(kind, sealedBits);
}

uint32_t fuseMemberOperation(const IRResult& result, uint32_t operatorCode, qestl::SmartPtr& last) {
    if (result.pending.empty() || !result.isInAccumulator()) return 0;
    last = result.pending.back();
    const uint32_t load = last.as<cbircode>()->opcode;
    if (load != kOpMember && load != kOpLoadElement) return 0;
    const bool member = load == kOpMember;
    if (operatorCode >= 101 && operatorCode <= 104) return operatorCode + (member ? 37 : 22);
    if (operatorCode == 106) return member ? 142 : 127;
    if (operatorCode >= 113 && operatorCode <= 122) return operatorCode + (member ? 30 : 15);
    return 0;
}

bool sameResultFields(const IRResult& a, const IRResult& b) {
    auto sameBytes = [](const void* x, const void* y, size_t bytes) {
        return bytes == 0 || std::memcmp(x, y, bytes) == 0;
    };
    return a.object.get() == b.object.get() && a.sourceNode.get() == b.sourceNode.get() &&
           sameBytes(&a.operand, &b.operand, sizeof(Operand)) && a.matchRank == b.matchRank &&
           a.sizeValue == b.sizeValue && a.markerByte == b.markerByte && a.addressOf == b.addressOf &&
           a.statesApplied == b.statesApplied && a.reach == b.reach && a.stateWord == b.stateWord &&
           a.storageIndex == b.storageIndex && a.pathKind == b.pathKind && a.pending.size() == b.pending.size() &&
           sameBytes(a.pending.begin(), b.pending.begin(), a.pending.size() * sizeof(qestl::SmartPtr)) &&
           a.states.size() == b.states.size() &&
           sameBytes(a.states.begin(), b.states.begin(), a.states.size() * sizeof(ObjectStateMap::Entry)) &&
           a.secondObject.get() == b.secondObject.get() && a.secondNode.get() == b.secondNode.get();
}

bool TemplateArguments::operator==(const TemplateArguments& other) const {
    if (size() != other.size()) return false;
    for (size_t i = 0; i < size(); ++i)
        if (!sameResultFields((*this)[i], other[i])) return false;
    return true;
}

}  // namespace model
