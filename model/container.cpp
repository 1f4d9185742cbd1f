#include "model/container.h"

#include <algorithm>
#include <cinttypes>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "diagnostics/diagnostics.h"
#include "foundation/object_heap.h"
#include "foundation/open_slots.h"
#include "model/class_object.h"
#include "model/image_heap.h"
#include "model/library_io.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {
namespace {

std::string_view nameOf(const IRObject& object) { return object.name.view(); }

}  // namespace

const Diagnostic& memberError(int64_t code) {
    switch (code) {
    case kErrNoOverload: return diag::MethodNoOverload;
    case kErrStaticOverride: return diag::StaticOverride;
    case kErrSameParameters: return diag::SameParameters;
    case kErrFinalOverride: return diag::FinalOverride;
    case kErrReturnTypeOnly: return diag::ReturnTypeOnly;
    case kErrPrivateOverride: return diag::PrivateOverride;
    case kErrBaseNotNil: return diag::BaseNotNilptr;
    case kErrThrowsOnly: return diag::ThrowsOnly;
    default: return diag::NoBasePrototype;
    }
}

Container::Tables& Container::tables() {
    listUnlisted();
    if (tables_ == nullptr) {
        tables_ = new Tables();
    } else if (tables_->holders > 1) {
        --tables_->holders;
        tables_ = new Tables(*tables_);
        tables_->holders = 1;
    }
    return *tables_;
}

void Container::shareTablesOf(const Container& other) {
    listUnlisted();
    other.listUnlisted();
    releaseTables();
    tables_ = other.tables_;
    if (tables_ != nullptr) ++tables_->holders;
}

void Container::releaseTables() {
    if (tables_ != nullptr && --tables_->holders == 0) delete tables_;
    tables_ = nullptr;
}

void Container::forgetIndex() {
    listUnlisted();
    if (tables_ == nullptr) return;
    if (tables_->holders > 1) {
        // Nothing of a shared index is copied only to be emptied.
        std::vector<uint64_t> slots;
        if (tables_->slotValues.made()) slots = tables_->slotValues.get();
        releaseTables();
        if (!slots.empty()) tables().slotValues.edit().swap(slots);
        return;
    }
    tables_->index.clear();
    tables_->entries = 0;
    tables_->nameBits = 0;
    tables_->signatures.clear();
}

const std::vector<uint64_t>& Container::slotValues() const {
    listUnlisted();
    static const std::vector<uint64_t> kNone;
    return tables_ != nullptr && tables_->slotValues.made() ? tables_->slotValues.get() : kNone;
}

void Container::enter(const qestl::HashedText& name, uint32_t index) {
    noteWrite();
    Tables& kept = tables();
    kept.nameBits |= nameBit(name.hash);
    kept.index.findOrAddHashed(name).push_back(index);
    ++kept.entries;
}

void Container::forgetNamesAfter(size_t mark) {
    listUnlisted();
    if (!tables_) return;
    noteWrite();
    NameIndex& names = tables().index;
    tables_->signatures.clear();
    for (size_t i = members_.size(); i > 0 && tables_->entries > mark; --i) {
        const auto index = static_cast<uint32_t>(i - 1);
        const std::string_view name = nameOf(*asObject(members_[index]));
        IndexList* listed = names.find(name);
        if (listed == nullptr) continue;
        for (size_t k = listed->size(); k > 0; --k) {
            if ((*listed)[k - 1] != index) continue;
            listed->erase(k - 1);
            --tables_->entries;
            break;
        }
        if (listed->empty()) names.erase(name);
    }
}

uint32_t Container::append(const qestl::HashedText& name, const qestl::SmartPtr& member) {
    noteWrite();
    const auto index = static_cast<uint32_t>(members_.size());
    enter(name, index);
    members_.pushBack(member);
    return index;
}

Operand Container::appendUnlisted(const qestl::SmartPtr& member) {
    listUnlisted();
    noteWrite();
    const auto index = static_cast<uint32_t>(members_.size());
    members_.pushBack(member);
    return allocateSlot(asObject(member), index);
}

Operand Container::allocateSlot(IRObject* member, uint32_t index) {
    const MemberSlot slot = slotFor(member, index);
    if (member == nullptr) return slot.operand(nullptr);
    // The member keeps where it lives.
    member->keepSlot(slot);
    return slot.operand(member);
}

MemberSlot Container::slotFor(IRObject* member, uint32_t index) {
    const bool slotKind = kind_ == kStackFrame || kind_ == kClosure || kind_ == kAnonymousProperties ||
                          kind_ == kDynamicProperties || kind_ == kDynamicMethods;
    MemberSlot slot;
    if (slotKind && (member == nullptr || !member->isConstructor())) {
        slot.index = index;
        slot.kind = static_cast<uint8_t>(kind_);
        slot.dataType = member ? typeCodeOf(member) : uint8_t{kTypeObject};
        if (kind_ == kClosure) {
            noteWrite();
            tables().slotValues.edit().push_back(index);
        }
        return slot;
    }
    if (member != nullptr) {
        slot.kind = kObjectReference;
        slot.toItself = 1;
    }
    return slot;
}

Operand Container::findOrCreateHashed(const qestl::HashedText& hashed, const qestl::SmartPtr& memberRef,
                                      NameEntry* out) {
    IRObject* member = asObject(memberRef);
    // Enum constants without a value of their own: the declaration pass
    // numbers them by position, before any initialiser is known; the compile
    // pass enters each again, in order, once the initialisers before it have
    // given their values, and then it counts on from the one before it.
    auto numbered = [&](uint32_t index, bool fresh) -> bool {
        if (kind_ != kStaticProperties || !member->isNamedConstant() || member->hasValueRecord()) return false;
        IRObject* previous = index > 0 ? asObject(members_[index - 1]) : nullptr;
        if (fresh && previous != nullptr && previous->hasValueRecord()) return false;
        int64_t value = index;
        if (!fresh && previous != nullptr && previous->hasConstantValue()) value = previous->constantValue().value + 1;
        Operand number;
        number.intImmediate(value, kTypeInt);
        member->noteWrite();
        member->constantComputed = 0;  // a number is no fixed value: renumbering replaces it
        member->setConstantValue(number, member->isConst());
        return true;
    };
    const IndexList* listed = indexesOf(hashed);
    uint32_t index;
    const bool fresh = listed == nullptr;
    if (fresh) {
        index = append(hashed, memberRef);
    } else {
        index = listed->front();
        if (members_[index].get() != member) return Operand::error(kErrDuplicateName);
    }
    if (out != nullptr) *out = NameEntry{std::string(hashed.text), index};
    if (numbered(index, fresh)) return member->constantValue();
    return allocateSlot(member, index);
}

Operand Container::findOrAdd(std::string_view name, const qestl::SmartPtr& functionRef) {
    IRObject* function = asObject(functionRef);
    const qestl::HashedText hashed(name);
    for (uint32_t index : sameParameterCandidates(hashed, *function)) {
        IRObject* existing = asObject(members_[index]);
        const int32_t same = existing->sameSignature(*function);
        if (same == -1) return Operand::error(kErrReturnTypeOnly);
        if (same == -2) return Operand::error(kErrThrowsOnly);
        if (same != 1) continue;
        if (existing->isStatic() || existing->ownerObject() == function->ownerObject())
            return Operand::error(kErrDuplicateName);
        noteWrite();
        ownMembers();
        members_[index] = functionRef;
        failed_.forgetNearMissIndex();
        return allocateSlot(function, index);
    }
    return allocateSlot(function, append(hashed, functionRef));
}

Operand Container::appendNew(std::string_view name, const qestl::SmartPtr& functionRef, bool unlisted) {
    IRObject* function = asObject(functionRef);
    if (unlisted && lent_ == 0 && (unlisted_ == 1 || (members_.empty() && tables_ == nullptr))) {
        noteWrite();
        const auto index = static_cast<uint32_t>(members_.size());
        members_.pushBack(functionRef);
        unlisted_ = 1;
        return allocateSlot(function, index);
    }
    return allocateSlot(function, append(qestl::HashedText(name), functionRef));
}

void Container::enterUnlisted() {
    if (unlisted_ == kIndexReleased) return enterReleased();
    unlisted_ = 0;
    // Room for them all first, as the table of a declared text is given.
    tables().index.reserve(members_.size());
    for (size_t i = 0; i < members_.size(); ++i)
        enter(qestl::HashedText(asObject(members_[i])->name.view()), static_cast<uint32_t>(i));
}

const qestl::SmartPtr* Container::firstNamed(std::string_view name) const {
    if (unlisted_ == 1) {
        for (const qestl::SmartPtr& member : members_)
            if (asObject(member)->name.view() == name) return &member;
        return nullptr;
    }
    const IndexList* listed = indexesOf(name);
    return listed == nullptr || listed->empty() ? nullptr : &members_[listed->front()];
}

Operand Container::addOverload(std::string_view name, const qestl::SmartPtr& functionRef) {
    IRObject* function = asObject(functionRef);
    const qestl::HashedText hashed(name);
    for (uint32_t index : sameParameterCandidates(hashed, *function))
        if (asObject(members_[index])->sameSignature(*function) != 0)
            return allocateSlot(asObject(members_[index]), index);
    return allocateSlot(function, append(hashed, functionRef));
}

qestl::SmartPtr Container::findMember(std::string_view name) {
    if (const IndexList* listed = indexesOf(name)) {
        for (uint32_t index : *listed) {
            IRObject* member = asObject(members_[index]);
            if (acceptsMember(member) && member->kind == kKindFunction && member->isConstructor() &&
                member->parameterCount() == 0)
                return members_[index];
        }
    }
    return {};
}

int64_t Container::duplicateNameCode(const IRObject& object) {
    const IndexList* listed = indexesOf(nameOf(object));
    if (listed == nullptr) return 0;
    const cbircode& record = *members_[listed->front()].as<cbircode>();
    if (isClassHolder(record)) return 0;
    const IRObject* first = static_cast<const IRObject*>(&record);
    if (first == &object || first->kind != object.kind) return 0;
    const uint32_t k = object.kind;
    return (k == kKindVariable || k == kKindClass) ? int64_t{kErrNoOverload} : 0;
}

void Container::inheritMembers(const Container& base) {
    listUnlisted();
    base.listUnlisted();
    noteWrite();
    const auto offset = static_cast<uint32_t>(members_.size());
    for (const qestl::SmartPtr& member : base.members_) members_.pushBack(member);
    if (!base.tables_) return;
    // A table without members of its own (every class of a long chain that
    // declares none) would copy the base's names as they are: it holds them
    // with the base until one of the two writes them.
    if (offset == 0 && indexEntryCount() == 0 && slotValues().empty()) {
        shareTablesOf(base);
        return;
    }
    tables().index.reserve(base.tables_->index.size());
    base.tables_->index.forEach([&](std::string_view name, const IndexList& indexes) {
        for (uint32_t index : indexes) enter(name, index + offset);
    });
}

IRResult Container::bindCandidate(IRObject& member, uint32_t mode) {
    IRResult candidate{qestl::SmartPtr(&member)};
    finishCandidate(candidate, member, mode);
    return candidate;
}

void Container::finishCandidate(IRResult& candidate, IRObject& member, uint32_t mode) {
    // The member's slot, kept as the candidate's operand unless an access
    // instruction reaches the member.
    candidate.operand = member.hasSlot() ? member.slotOperand() : member.makeObjectOperand();
    uint32_t access = 0;
    if (mode & kLookupAccessInstruction) {
        if (kind_ == kAnonymousProperties) access = 44;
        else if (kind_ == kDynamicProperties) access = kOpMember;
        else if (member.imported && kind_ == kStaticProperties) access = kOpProperites;
        else if (member.imported && kind_ == kDynamicMethods) access = kOpMethod;
        else if (member.imported && kind_ == kStaticMethods) access = kOpFunction;
    }
    if (access == 0) return;
    // owner, member slot, accumulator
    auto* load = new cbircode(access, 3);
    qestl::SmartPtr held = adoptLive(load);
    load->operands[0] = member.ownerResult.operand();
    load->operands[1] = candidate.operand;
    load->operands[2] = Operand(kEax, kRegister, typeCodeOf(&member));
    candidate.appendInstructionRef(held);
    candidate.operand = load->operands[2];
}

template <bool kViewerClass>
bool Container::bindVisible(ModelContext& context, IRObject* viewer, const IndexList& listed,
                            const qestl::HashedText& name, uint32_t defaultLevel, uint32_t mode) {
    for (uint32_t index : listed) {
        IRObject* member = asObject(members_[index]);
        if (!acceptsMember(member)) continue;
        // A public member passes at every level a class's lookup asks: the
        // level its viewer sees the class at is worked out for the others.
        if (!kViewerClass || !member->isAccessibleAt(kLevelOutside)) {
            if (kViewerClass && defaultLevel == kLevelOfViewerClass)
                defaultLevel = static_cast<ClassObject*>(viewer)->accessLevelFrom(context);
            IRObject* holder = member->ownerObject();
            uint32_t level;
            if (viewer == nullptr || holder == nullptr || viewer->classRef() == holder->classRef())
                level = defaultLevel;
            else if (viewer->isDerivedFrom(holder)) level = 32;
            else if (viewer->encloses(holder)) level = 0;
            else level = 64;
            if (!member->isAccessibleAt(level)) continue;
        }
        // The candidate is made where the lookup keeps it. An access
        // instruction is made too where the lookup lists the member already,
        // as every object made keeps its place in the order of creation.
        if (IRResult* candidate = context.placeCandidate(members_[index])) finishCandidate(*candidate, *member, mode);
        else if ((mode & kLookupAccessInstruction) != 0) bindCandidate(*member, mode);
    }
    if (context.candidateCount() != 0) return true;
    collectSimilarNames(context, name);
    return false;
}

template bool Container::bindVisible<false>(ModelContext&, IRObject*, const IndexList&, const qestl::HashedText&,
                                            uint32_t, uint32_t);
template bool Container::bindVisible<true>(ModelContext&, IRObject*, const IndexList&, const qestl::HashedText&,
                                           uint32_t, uint32_t);

bool Container::collectByName(ModelContext& context, const qestl::HashedText& name, uint32_t level) {
    if (const IndexList* listed = indexesOf(name)) {
        for (uint32_t index : *listed) {
            IRObject* member = asObject(members_[index]);
            if (acceptsMember(member) && member->isAccessibleAt(level))
                context.addCandidate(IRResult(members_[index], member->makeObjectOperand()));
        }
    }
    if (context.candidateCount() != 0) return true;
    collectSimilarNames(context, name);
    return false;
}

void Container::renameFunctionStatics(const std::vector<NameEntry>& entries) {
    listUnlisted();
    if (!tables_) return;
    noteWrite();
    NameIndex& names = tables().index;
    tables_->signatures.clear();
    for (const NameEntry& entry : entries) {
        IndexList* list = names.find(entry.name);
        if (list == nullptr) continue;
        for (size_t k = 0; k < list->size(); ++k) {
            if ((*list)[k] != entry.index) continue;
            list->erase(k);
            --tables_->entries;
            break;
        }
        if (list->empty()) names.erase(entry.name);
        enter("$_func_static_var_" + entry.name, entry.index);
    }
}

void Container::clear() {
    noteWrite();
    MemberList taken;
    taken.swap(members_);
    // Borrowed members are the lender's, kept objects no teardown detaches.
    // A template argument the instance could not bind is held as an empty
    // entry (a RemoteCallPipe named with fewer than two classes).
    if (!taken.isBorrowed())
        for (qestl::SmartPtr& member : taken)
            if (member) member.as<cbSmartCore>()->detach();
    taken.clear();
    forgetIndex();
    listsHolderNames_ = 0;
    failed_.clear();
    dropOwner();
    if (shape_ == kHeapShape) static_cast<cbHeap*>(this)->record.detach();
}

void Container::lendEntriesOf(const Container& other) {
    other.listUnlisted();
    if (!members_.empty() || tables_ != nullptr) internalFault("entries lent to a container that holds some");
    // Borrowed: counting every lent member up and down again cost a fair
    // part of a small compilation. The first member added copies them (the
    // vector does), and so does replacing one.
    members_.borrow(const_cast<qestl::SmartPtr*>(other.members_.begin()), other.members_.size());
    shareTablesOf(other);
    listsHolderNames_ = other.listsHolderNames_;
}

void Container::ownMembers() {
    if (!members_.isBorrowed()) return;
    MemberList owned(members_);
    members_.swap(owned);
}

void Container::save(Saved& into) const {
    listUnlisted();
    into.members = members_;
    into.index = tables_ ? tables_->index : NameIndex();
    into.indexEntries = indexEntryCount();
    into.slotValues = slotValues();
    into.kind = kind_;
    into.reported = reported;
    if (shape_ == kFrameShape) into.owner = static_cast<const StackFrame*>(this)->owner;
}

bool Container::restore(const Saved& saved) {
    listUnlisted();
    // An owner set aside belongs to the compilation that read it: a kept
    // container outlives that compilation and comes back without one.
    const bool frame = shape_ == kFrameShape;
    const bool sameHead = kind_ == saved.kind && reported == saved.reported && ownerAside_ == 0 &&
                          (!frame || static_cast<const StackFrame*>(this)->owner == saved.owner);
    kind_ = static_cast<uint16_t>(saved.kind);
    reported = saved.reported;
    ownerAside_ = 0;
    if (frame) static_cast<StackFrame*>(this)->owner = saved.owner;
    bool same = members_.size() == saved.members.size() && indexEntryCount() == saved.indexEntries &&
                slotValues() == saved.slotValues;
    for (size_t i = 0; same && i < members_.size(); ++i) same = members_[i] == saved.members[i];
    // Most containers come back as they were lent; copying the index is
    // left to the few that changed.
    if (same) return !sameHead;
    members_ = saved.members;
    Tables& kept = tables();
    kept.index = saved.index;
    kept.nameBits = ~uint64_t{0};
    kept.signatures.clear();
    kept.entries = static_cast<uint32_t>(saved.indexEntries);
    if (!saved.slotValues.empty() || kept.slotValues.made()) kept.slotValues.edit() = saved.slotValues;
    failed_.clear();
    return true;
}

void Container::handOverMembers() {
    noteWrite();
    members_.clear();
    forgetIndex();
    failed_.clear();
    dropOwner();
}

std::string Container::templateParameterNameAt(size_t i) const {
    listUnlisted();
    std::string found = "unknow";
    bool seen = false;
    if (tables_)
        tables_->index.forEach([&](std::string_view name, const IndexList& indexes) {
            for (uint32_t index : indexes)
                if (index == i && !seen) {
                    found = std::string(name);
                    seen = true;
                }
        });
    return found;
}

}  // namespace model
