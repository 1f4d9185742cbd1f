// A container's method table: a method added beside the overloads of its
// name, the checks against the one of the same parameters, and the table of
// a class made from its base's and its own.
#include <unordered_set>

#include "diagnostics/diagnostics.h"
#include "model/container.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {
namespace {

uint64_t mixKey(uint64_t key, uint64_t value) {
    key ^= value + 0x9e3779b97f4a7c15ull + (key << 6) + (key >> 2);
    return key;
}

// Equal for two types whenever sameTypeRefs holds: a class by the class
// it stands for, an array by its element type. A hash only: it orders and
// names nothing.
uint64_t typeKey(IRObject* type) {
    if (type == nullptr) return 1;
    IRObject* stands = type->classRef();
    if (stands->kind == kKindArray && stands->isArray()) return mixKey(2, typeKey(asObject(stands->valueType())));
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(stands));
}

uint64_t parametersKey(const IRObject& function) {
    uint64_t key = function.parameterCount();
    for (uint64_t i = 0; i < function.parameterCount(); ++i) {
        IRObject* parameter = asObject(function.parameter(i));
        key = mixKey(key, typeKey(parameter != nullptr ? asObject(parameter->valueType()) : nullptr));
    }
    return key;
}

}  // namespace

Operand Container::addMethod(ModelContext& context, std::string_view name, const qestl::SmartPtr& methodRef) {
    IRObject* method = asObject(methodRef);
    if ((method->flagsA & kFlagDeclarationPending) == 0) {
        for (uint32_t index : sameParameterCandidates(name, *method)) {
            IRObject* existing = asObject(members_[index]);
            const int32_t same = existing->sameSignature(*method);
            if (same == -1 || same == -2) {
                if (existing->isStatic()) return Operand::error(kErrStaticOverride);
                return Operand::error(same == -2 ? kErrThrowsOnly : kErrReturnTypeOnly);
            }
            if (same != 1) continue;
            if (existing->isStatic()) return Operand::error(kErrStaticOverride);
            if (existing->ownerObject() == method->ownerObject()) return Operand::error(kErrSameParameters);
            if (existing->isFinal()) return Operand::error(kErrFinalOverride);
            if (existing->accessLevel() == 0) return Operand::error(kErrPrivateOverride);
            if (existing->isNotNilptr() && !method->isNotNilptr()) return Operand::error(kErrBaseNotNil);
            noteWrite();
            ownMembers();
            members_[index] = methodRef;
            failed_.forgetNearMissIndex();
            if (!method->isOverride()) {
                method->setOverride(true);
                context.reportWarning(diag::OverrideWithoutKeyword, method->declarationNode.handle());
            }
            return allocateSlot(method, index);
        }
        if (method->isOverride()) {
            collectSimilarNames(context, name);
            return Operand::error(kErrNoBasePrototype);
        }
    }
    return allocateSlot(method, append(name, methodRef));
}

std::vector<uint32_t> Container::sameParameterCandidates(const qestl::HashedText& name, const IRObject& function) {
    std::vector<uint32_t> found;
    const IndexList* few = indexesOf(name);
    if (few == nullptr) return found;
    // A name of a few members and no signature index yet (nearly every name
    // a catalogue class overrides or overloads) is looked through instead:
    // the index took a map for each name. The same members in the same
    // order: those still being declared, and those of the same key now,
    // which is the key that an index made now would file them under.
    constexpr size_t kLookedThrough = 8;
    if (few->size() <= kLookedThrough &&
        (!tables_->signatures.made() || tables_->signatures.edit().find(name.text) == nullptr)) {
        const uint64_t key = parametersKey(function);
        for (uint32_t at : *few) {
            const IRObject& member = *asObject(members_[at]);
            if ((member.flagsA & kFlagDeclarationPending) != 0 || parametersKey(member) == key) found.push_back(at);
        }
        return found;
    }
    SignatureIndex& index = tables().signatures.edit().findOrAdd(name.text);
    // Asked again: tables() makes this container's own copy of shared ones.
    const IndexList* listed = indexesOf(name);
    if (index.listed > listed->size()) index = SignatureIndex();
    for (; index.listed < listed->size(); ++index.listed) {
        const IRObject& member = *asObject(members_[(*listed)[index.listed]]);
        const auto position = static_cast<uint32_t>(index.listed);
        if ((member.flagsA & kFlagDeclarationPending) != 0) index.pending.push_back(position);
        else index.byKey[parametersKey(member)].push_back(position);
    }
    static const std::vector<uint32_t> kNone;
    auto bucket = index.byKey.find(parametersKey(function));
    const std::vector<uint32_t>& keyed = bucket != index.byKey.end() ? bucket->second : kNone;
    found.reserve(keyed.size() + index.pending.size());
    std::merge(keyed.begin(), keyed.end(), index.pending.begin(), index.pending.end(), std::back_inserter(found));
    for (uint32_t& position : found) position = (*listed)[position];
    return found;
}

bool Container::reportTableError(ModelContext& context, const qestl::SmartPtr& tableOwner, IRObject& method,
                                 int64_t code) {
    IRObject* holder = asObject(tableOwner);
    if (holder != nullptr && holder->kind == kKindClass) {
        // The methods of that name the class offers follow the message.
        qestl::qestringA listing;
        context.clearCandidates();
        holder->resolveMember(context, method.name.view(), kLookupStatic | kLookupInstance, 0);
        context.describeCandidates(listing, method.declarationNode.handle());
        context.clearCandidates();
        context.reportError(memberError(code), method.declarationNode.handle(), listing);
    } else {
        context.reportError(method.isOverride() ? diag::NotAClassMember : diag::DuplicateObject,
                            method.declarationNode.handle());
    }
    return false;
}

bool Container::finishMethodTable(const qestl::SmartPtr& tableOwner, ModelContext& context) {
    noteWrite();
    MemberList taken;
    taken.swap(members_);
    forgetIndex();
    failed_.forgetNearMissIndex();
    if (takeUnlisted(taken)) return true;
    for (size_t i = 0; i < taken.size(); ++i) {
        IRObject* m = asObject(taken[i]);
        const Operand slot = addMethod(context, m->name.view(), taken[i]);
        if (slot.kind == kErrorOperand) return refuseTable(context, tableOwner, taken, i, slot.value);
    }
    return true;
}

bool Container::takeUnlisted(const MemberList& taken) {
    // A few methods of distinct names, none marked as overriding, are
    // appended one by one as they are: nothing to check among them. Their
    // names are entered only when the table is first looked into, and most
    // tables of a large program never are (a program of one-method classes
    // held an index for each).
    constexpr size_t kFew = 8;
    if (lent_ != 0 || taken.empty() || taken.size() > kFew || (tables_ != nullptr && tables_->slotValues.made()))
        return false;
    for (size_t i = 0; i < taken.size(); ++i) {
        const IRObject* m = asObject(taken[i]);
        if ((m->flagsA & kFlagDeclarationPending) == 0 && m->isOverride()) return false;
        for (size_t k = 0; k < i; ++k)
            if (asObject(taken[k])->name.view() == m->name.view()) return false;
    }
    releaseTables();
    for (size_t i = 0; i < taken.size(); ++i) {
        members_.pushBack(taken[i]);
        allocateSlot(asObject(taken[i]), static_cast<uint32_t>(i));
    }
    unlisted_ = 1;
    return true;
}

bool Container::refuseTable(ModelContext& context, const qestl::SmartPtr& tableOwner, const MemberList& taken,
                            size_t refused, int64_t code) {
    const bool reported = reportTableError(context, tableOwner, *asObject(taken[refused]), code);
    // What the table still holds (an inherited method among them) is
    // reached through it.
    std::unordered_set<const void*> held;
    for (const qestl::SmartPtr& member : members_) held.insert(member.get());
    for (size_t i = refused; i < taken.size(); ++i)
        if (!held.count(taken[i].get())) context.detachAtTeardown(taken[i]);
    return reported;
}

bool Container::mergeBaseMethods(const qestl::SmartPtr& tableOwner, const Container& base, ModelContext& context) {
    noteWrite();
    MemberList taken;
    taken.swap(members_);
    forgetIndex();
    failed_.forgetNearMissIndex();
    inheritMembers(base);
    for (size_t i = 0; i < taken.size(); ++i) {
        bool inherited = false;
        for (const qestl::SmartPtr& baseMember : base.members_) inherited = inherited || baseMember == taken[i];
        if (inherited) continue;
        IRObject* m = asObject(taken[i]);
        const Operand slot = addMethod(context, m->name.view(), taken[i]);
        if (slot.kind == kErrorOperand) return refuseTable(context, tableOwner, taken, i, slot.value);
    }
    return true;
}

}  // namespace model
