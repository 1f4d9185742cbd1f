// An object of the model that behaves as a class while carrying its own
// owner and flags: the inline class bodies of new-expressions. Nearly every
// question goes to the class it stands for (held in classField).
#pragma once

#include "model/class_object.h"

namespace model {

class InstanceObject : public ClassObject {
public:
    InstanceObject(const qestl::SmartPtr& standsFor, const IRResult& ownerDescriptor, const qestl::SmartPtr& classType);
    // The same, the owner's value taken rather than copied.
    InstanceObject(const qestl::SmartPtr& standsFor, IRResult&& ownerDescriptor, const qestl::SmartPtr& classType);

    bool isInstance() const override { return true; }
    IRObject* classRef() override { return target() ? target() : this; }
    uint32_t kindOf() const override { return target() ? target()->kindOf() : kind; }
    const qestl::qestringA& getName() const override { return target() ? target()->getName() : name; }
    qestl::qestringA displayName() const override { return target() ? target()->displayName() : name; }
    bool isDerivedFrom(const IRObject* other) const override;
    bool canAssignTo(ModelContext* context, const qestl::SmartPtr& to, bool implicit) override;
    bool isPodType() const override { return target() && target()->isPodType(); }
    bool isArray() const override { return target() && target()->isArray(); }
    qestl::SmartPtr typeOfType() const override;
    qestl::SmartPtr valueType() const override;
    bool bindIntrinsicMember(ModelContext& context, const qestl::HashedText& member, uint32_t flags) override;
    // The class's const flag follows this instance's own; the argument is
    // not used.
    void setConst(bool) override;
    // Likewise the class's override flag.
    void setOverride(bool) override;

private:
    void standFor(const qestl::SmartPtr& standsFor);
    IRObject* target() const { return asObject(classField); }
};

qestl::SmartPtr makeInstance(const qestl::SmartPtr& standsFor, const IRResult& ownerDescriptor,
                             const qestl::SmartPtr& classType);
qestl::SmartPtr makeInstance(const qestl::SmartPtr& standsFor, IRResult&& ownerDescriptor,
                             const qestl::SmartPtr& classType);

}  // namespace model
