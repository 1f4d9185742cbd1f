#include "model/builtin_types.h"

#include "model/class_object.h"
#include "model/ir_object.h"
#include "model/ircode.h"

namespace model {

qestl::SmartPtr& BuiltinTypes::slot(Builtin which) {
    switch (which) {
    case Builtin::Void: return voidType;
    case Builtin::Bool: return boolType;
    case Builtin::Nil: return nilType;
    case Builtin::Byte: return byteType;
    case Builtin::Char: return charType;
    case Builtin::Short: return shortType;
    case Builtin::Int: return intType;
    case Builtin::Long: return longType;
    case Builtin::Float: return floatType;
    case Builtin::Double: return doubleType;
    case Builtin::String: return stringType;
    case Builtin::Any: return anyType;
    case Builtin::ObjectPtr: return objectPtr;
    case Builtin::ObjectRef: return objectRef;
    case Builtin::Class: return classType;
    case Builtin::Array: return arrayType;
    case Builtin::Pointer: return pointerType;
    case Builtin::Variadic: return variadic;
    case Builtin::Thread: return threadType;
    case Builtin::Method: return methodType;
    case Builtin::Field: return fieldType;
    case Builtin::Exception: return exceptionType;
    case Builtin::IndexOutOfBoundsException: return indexOutOfBoundsException;
    case Builtin::NullPointerException: return nullPointerException;
    case Builtin::IllegalArgumentException: return illegalArgumentException;
    case Builtin::ArrayStoreException: return arrayStoreException;
    case Builtin::NilConstant: return nilConstant;
    case Builtin::Wildcard: return wildcard;
    case Builtin::None: break;
    }
    internalFault("internal error: no built-in slot for the tag");
}

const qestl::SmartPtr& BuiltinTypes::set(Builtin which, const qestl::SmartPtr& object) {
    if (IRObject* tagged = asObject(object)) tagged->setBuiltinTag(which);
    if (ClassObject* klass = which == Builtin::Class ? asClass(asObject(object)) : nullptr)
        klass->editRareClass().builtinTable = this;
    return slot(which) = object;
}

}  // namespace model
