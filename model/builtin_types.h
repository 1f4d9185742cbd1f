// The built-in types the model compares with, by identity. The built-in
// declarations fill a table of them once per compilation (or once for the
// registry whose built-ins are lent to many); each type is also tagged with
// its place in the table, so that model code without a context can tell a
// built-in type from its own byte.
#pragma once

#include <cstdint>

#include "foundation/smart_ptr.h"

namespace model {

class IRObject;

// The tags; None (0) for every other object. At most 31 (five bits).
enum class Builtin : uint8_t {
    None,
    Void,
    Bool,
    Nil,
    Byte,
    Char,
    Short,
    Int,
    Long,
    Float,
    Double,
    String,
    Any,
    ObjectPtr,
    ObjectRef,
    Class,
    Array,
    Pointer,
    Variadic,
    Thread,
    Method,
    Field,
    Exception,
    IndexOutOfBoundsException,
    NullPointerException,
    IllegalArgumentException,
    ArrayStoreException,
    NilConstant,
    Wildcard,
};

// The fixed ids of Object ("*") and long, which ObjectPtr, ObjectRef and
// Pointer are written as.
constexpr uint32_t kAnyTypeId = 9;
constexpr uint32_t kLongTypeId = 6;

struct BuiltinTypes {
    // "*" is the root object class, known in source as Object.
    qestl::SmartPtr voidType, boolType, nilType, byteType, charType, shortType, intType, longType, floatType,
        doubleType, stringType, anyType, objectPtr, objectRef, classType, arrayType, pointerType, variadic,
        threadType, methodType, fieldType, exceptionType, indexOutOfBoundsException, nullPointerException,
        illegalArgumentException, arrayStoreException;
    // The constant `nilptr`, never recorded in value states.
    qestl::SmartPtr nilConstant;
    // The untyped "*" object of array initialisers and method definitions.
    qestl::SmartPtr wildcard;

    // The slot of a tag (not None).
    qestl::SmartPtr& slot(Builtin which);
    const qestl::SmartPtr& operator[](Builtin which) const { return const_cast<BuiltinTypes*>(this)->slot(which); }
    // Fills the slot and tags the object.
    const qestl::SmartPtr& set(Builtin which, const qestl::SmartPtr& object);
    // Releases every reference.
    void clear() { *this = BuiltinTypes(); }
};

// True when object is the built-in held by ref.
inline bool isBuiltin(const IRObject* object, const qestl::SmartPtr& ref) {
    return object != nullptr && static_cast<const void*>(object) == static_cast<const void*>(ref.get());
}

}  // namespace model
