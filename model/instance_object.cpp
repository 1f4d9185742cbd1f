#include "model/instance_object.h"

namespace model {

InstanceObject::InstanceObject(const qestl::SmartPtr& standsFor, const IRResult& ownerDescriptor,
                               const qestl::SmartPtr& classType)
    : ClassObject(classType, StandIn{}) {
    ownerResult.set(ownerDescriptor);
    standFor(standsFor);
}

InstanceObject::InstanceObject(const qestl::SmartPtr& standsFor, IRResult&& ownerDescriptor,
                               const qestl::SmartPtr& classType)
    : ClassObject(classType, StandIn{}) {
    ownerResult.set(std::move(ownerDescriptor));
    standFor(standsFor);
}

void InstanceObject::standFor(const qestl::SmartPtr& standsFor) {
    kind = kKindInstance;
    classField = standsFor;
    // A named constant reached through its class or a value (Shape.SIDES,
    // K.N) is the same constant: it folds and counts as one.
    if (const IRObject* held = target(); held != nullptr && held->hasConstantValue()) {
        constexpr uint8_t kConstantFlags = kFlagConst | kFlagHasConstant | kFlagNamedConstant | kFlagValueRecord;
        flagsB = static_cast<uint8_t>((flagsB & ~kConstantFlags) | (held->flagsB & kConstantFlags));
        constant.edit() = held->constantValue();
        constantComputed = 1;
    }
}

qestl::SmartPtr makeInstance(const qestl::SmartPtr& standsFor, const IRResult& ownerDescriptor,
                             const qestl::SmartPtr& classType) {
    return adoptLive(new InstanceObject(standsFor, ownerDescriptor, classType));
}

qestl::SmartPtr makeInstance(const qestl::SmartPtr& standsFor, IRResult&& ownerDescriptor,
                             const qestl::SmartPtr& classType) {
    return adoptLive(new InstanceObject(standsFor, std::move(ownerDescriptor), classType));
}

bool InstanceObject::isDerivedFrom(const IRObject* other) const {
    if (target() == nullptr || other == nullptr) return false;
    return target()->isDerivedFrom(const_cast<IRObject*>(other)->classRef());
}

bool InstanceObject::canAssignTo(ModelContext* context, const qestl::SmartPtr& to, bool implicit) {
    return target() ? target()->canAssignTo(context, to, implicit) : false;
}

qestl::SmartPtr InstanceObject::typeOfType() const { return target() ? target()->typeOfType() : qestl::SmartPtr(); }

qestl::SmartPtr InstanceObject::valueType() const { return target() ? target()->valueType() : qestl::SmartPtr(); }

bool InstanceObject::bindIntrinsicMember(ModelContext& context, const qestl::HashedText& member, uint32_t flags) {
    return target() ? target()->bindIntrinsicMember(context, member, flags) : false;
}

void InstanceObject::setConst(bool) {
    if (target()) target()->setConst((flagsB & kFlagConst) != 0);
}

void InstanceObject::setOverride(bool) {
    if (target()) target()->setOverride((flagsA & kFlagOverride) != 0);
}

}  // namespace model
