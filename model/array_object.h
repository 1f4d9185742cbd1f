// The type of an array: a class whose type field holds the element type.
// Multi-dimensional arrays are arrays of arrays.
#pragma once

#include "model/class_object.h"

namespace model {

class ArrayObject : public ClassObject {
public:
    // lengthType: long, the type of the "length" member.
    ArrayObject(const qestl::SmartPtr& element, const qestl::SmartPtr& lengthType);

    // An array keeps its element and its "length" member through detach;
    // releaseAtTeardown breaks the cycle through "length" when the model is
    // freed.
    void detach() override {}
    void releaseAtTeardown() { ClassObject::detach(); }
    bool canAssignTo(ModelContext* context, const qestl::SmartPtr& target, bool implicit) override;
    qestl::qestringA displayName() const override;
    bool isArray() const override { return true; }
    bool isPodType() const override { return false; }
    uint32_t primitiveSize() const override;
    qestl::SmartPtr typeOfType() const override { return valueType(); }
    using IRObject::selfRef;
    qestl::SmartPtr selfRef(uint32_t& depth) override;
    qestl::SmartPtr valueType() const override;
    void buildLinkName() override;
    bool sameType(const IRObject* other) override;

    IRObject* element() const { return asObject(type); }
};

// A new registered array type over element.
qestl::SmartPtr makeArray(const qestl::SmartPtr& element, const qestl::SmartPtr& lengthType);

// Both empty, or the same type; consumes nothing.
bool sameTypeRefs(IRObject* a, IRObject* b);

}  // namespace model
