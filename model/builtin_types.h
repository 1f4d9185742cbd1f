// The built-in types the model compares with, by identity. The built-in
// declarations fill these references once per compilation.
#pragma once

#include "foundation/smart_ptr.h"

namespace model {

class IRObject;

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

    // Releases every reference.
    void clear() { *this = BuiltinTypes(); }
};

// Inline: asked for on nearly every expression, a call cost more than the
// guard of the local.
inline BuiltinTypes& builtinTypes() {
    static BuiltinTypes types;
    return types;
}

// True when object is the built-in held by ref.
inline bool isBuiltin(const IRObject* object, const qestl::SmartPtr& ref) {
    return object != nullptr && static_cast<const void*>(object) == static_cast<const void*>(ref.get());
}

}  // namespace model
