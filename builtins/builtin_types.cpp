// The types the language rests on, in the order they are made: the order is
// observable, creation serials order the thrown-class sets.
#include "builtins/builtin_registry.h"
#include "builtins/core_texts.h"
#include "codegen/compile_context.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/ir_object.h"

namespace builtins {
namespace {

using model::asObject;
using model::ClassObject;
using model::IRObject;
using B = model::BuiltinTypes;

struct TypeRow {
    const char* name;
    int8_t podid;
    int8_t rank;
    bool final;
    bool interface;
    int32_t id;
    int32_t reservedKey;  // 0: none (void's 0 is entered by byHand)
    bool byHand;          // never registered: marked here, entered under its key
    model::Builtin tag;
};

// Rows 1 to 21.
constexpr TypeRow kTypeRows[] = {
    {"void", 0, 0, true, false, 0, 0, true, model::Builtin::Void},
    {"bool", 8, 0, true, false, 1, 0, false, model::Builtin::Bool},
    {"nil", 11, -1, true, false, 0, -1, true, model::Builtin::Nil},
    {"byte", 1, 1, true, false, 2, 0, false, model::Builtin::Byte},
    {"char", 2, 2, true, false, 3, 0, false, model::Builtin::Char},
    {"short", 3, 3, true, false, 4, 0, false, model::Builtin::Short},
    {"int", 4, 4, true, false, 5, 0, false, model::Builtin::Int},
    {"long", 5, 5, true, false, model::kLongTypeId, 0, false, model::Builtin::Long},
    {"float", 6, 6, true, false, 7, 0, false, model::Builtin::Float},
    {"double", 7, 7, true, false, 8, 0, false, model::Builtin::Double},
    {"String", 9, 0, true, false, 10, 0, false, model::Builtin::String},
    {"*", 11, 0, false, false, model::kAnyTypeId, 0, false, model::Builtin::Any},
    {"ObjectPtr", 12, 0, true, true, 0, -2, false, model::Builtin::ObjectPtr},
    {"ObjectRef", 13, 0, true, true, 0, -5, false, model::Builtin::ObjectRef},
    {"Class", 14, 0, true, true, 15, -4, false, model::Builtin::Class},
    {"Array", 15, 0, true, true, 12, -7, false, model::Builtin::Array},
    {"Pointer", 12, 0, true, true, 11, -3, false, model::Builtin::Pointer},
    {"...", 15, 0, true, true, 0, -6, false, model::Builtin::Variadic},
    {"Thread", -1, 0, false, false, 39, 0, false, model::Builtin::Thread},
    {"Method", -1, 0, false, false, 13, 0, false, model::Builtin::Method},
    {"Field", -1, 0, false, false, 14, 0, false, model::Builtin::Field},
};

// Made after Exception and _system_, ids 21 to 35.
struct ExceptionRow {
    const char* name;
    int32_t id;
};
constexpr ExceptionRow kExceptionRows[] = {
    {"DivByZeroException", 26}, {"IndexOutOfBoundsException", 27}, {"ArrayStoreException", 28},
    {"ClassCastException", 29}, {"IllegalArgumentException", 30}, {"NullPointerException", 31},
    {"OutOfMemoryError", 32},   {"InvalidIteratorException", 33},  {"StackOverflowException", 34},
    {"IOException", 22},        {"Error", 21},                     {"TimeoutException", 35},
    {"InterruptedException", 23}, {"RuntimeException", 24},      {"RuntimeError", 25},
};

// Bases in the order they are set.
constexpr const char* kBaseOrder[][2] = {
    {"Error", "Exception"},
    {"DivByZeroException", "Exception"},
    {"IndexOutOfBoundsException", "Exception"},
    {"ArrayStoreException", "Exception"},
    {"ClassCastException", "Exception"},
    {"IllegalArgumentException", "Exception"},
    {"NullPointerException", "Exception"},
    {"OutOfMemoryError", "Error"},
    {"InvalidIteratorException", "Exception"},
    {"StackOverflowException", "Exception"},
    {"IOException", "Exception"},
    {"InterruptedException", "Exception"},
    {"RuntimeException", "Exception"},
    {"RuntimeError", "Error"},
    {"TimeoutException", "Exception"},
};

constexpr const char* kConstructorOrder[] = {
    "DivByZeroException", "IndexOutOfBoundsException", "ArrayStoreException", "ClassCastException",
    "IllegalArgumentException", "NullPointerException", "OutOfMemoryError", "InvalidIteratorException",
    "StackOverflowException", "TimeoutException", "IOException", "Error", "InterruptedException",
    "RuntimeException", "RuntimeError",
};

constexpr const char* kRegistrationOrder[] = {
    "bool", "byte", "char", "short", "int", "long", "float", "double", "String", "Thread", "Method", "Field",
    "Object", "ObjectPtr", "ObjectRef", "Class", "Array", "Pointer", "...", "Exception", "Error", "_system_",
    "DivByZeroException", "IndexOutOfBoundsException", "ArrayStoreException", "ClassCastException",
    "IllegalArgumentException", "NullPointerException", "OutOfMemoryError", "InvalidIteratorException",
    "StackOverflowException", "IOException", "InterruptedException", "RuntimeException", "RuntimeError",
    "TimeoutException",
};

void markByHand(IRObject& object) {
    object.flagsB |= model::kFlagHidden | model::kFlagByBuiltinId;
    object.modifiers |= 64;
}

// classType: empty until Class itself is made.
qestl::SmartPtr makeTypeClass(const char* name, int8_t podid, bool final, int32_t id,
                              const qestl::SmartPtr& classType) {
    qestl::SmartPtr made = model::makeClass(name, classType);
    IRObject* type = asObject(made);
    type->typeCode = static_cast<uint8_t>(podid);
    type->setFinal(final);
    type->setId(static_cast<uint32_t>(id));
    builtinNames().add(name[0] == '*' && name[1] == 0 ? "Object" : name, made);
    return made;
}

ClassObject& classNamed(const char* name) { return *model::asClass(asObject(builtinNames().find(name))); }

}  // namespace

void declareBuiltinTypes(CompileContext& context, std::span<const CatalogueClass* const> early) {
    B& types = context.builtins();
    BuiltinNames& names = builtinNames();
    // The wildcard object of array initialisers and method definitions.
    types.set(model::Builtin::Wildcard, model::makeObject("*", model::kKindVariable, qestl::SmartPtr(), 0));
    markByHand(*asObject(types.wildcard));

    for (const TypeRow& row : kTypeRows) {
        qestl::SmartPtr made = makeTypeClass(row.name, row.podid, row.final, row.id, types.classType);
        IRObject& type = *asObject(made);
        type.numericRank = row.rank;
        if (row.interface) type.modifiers |= model::kModInterface;
        types.set(row.tag, made);
        if (row.tag == model::Builtin::Class) type.assignType(made);
        if (row.tag == model::Builtin::Array) type.assignType(types.classType);
        if (row.byHand) markByHand(type);
        if (row.byHand || row.reservedKey != 0) {
            if (row.reservedKey != 0) type.editRare().builtinRefKey = row.reservedKey;
            context.tables().setClassById(row.reservedKey, made);
        }
    }
    // Class did not exist when the first rows were made.
    for (const TypeRow& row : kTypeRows)
        if (!asObject(types[row.tag])->type) asObject(types[row.tag])->assignType(types.classType);
    // The lookup finds true and false among the global objects.
    for (const char* name : {"true", "false"}) {
        qestl::SmartPtr constant = model::makeObject(name, model::kKindVariable, types.boolType, 0);
        names.add(name, constant);
        context.tables().globalObjects().findOrCreate(name, constant);
    }
    types.set(model::Builtin::NilConstant, model::makeObject("nilptr", model::kKindVariable, types.nilType, 0));
    asObject(types.nilConstant)->modifiers |= 512;
    names.add("nilptr", types.nilConstant);

    types.set(model::Builtin::Exception, makeTypeClass("Exception", -1, false, 20, types.classType));
    makeTypeClass("_system_", 0, true, 38, types.classType);
    for (const ExceptionRow& row : kExceptionRows) makeTypeClass(row.name, 0, false, row.id, types.classType);
    types.set(model::Builtin::IndexOutOfBoundsException, names.find("IndexOutOfBoundsException"));
    types.set(model::Builtin::NullPointerException, names.find("NullPointerException"));
    types.set(model::Builtin::IllegalArgumentException, names.find("IllegalArgumentException"));
    types.set(model::Builtin::ArrayStoreException, names.find("ArrayStoreException"));

    for (const CatalogueClass* row : early)
        declareMembers(classNamed(row->name), context, catalogueMembers(*row), names);
    declareMembers(classNamed("Exception"), context, coreMembers(kExceptionMembers), names);
    declareMembers(classNamed("_system_"), context, coreMembers(kSystemMembers), names);
    declareMembers(classNamed("Thread"), context, coreMembers(kThreadMembers), names);

    for (const auto& [derived, base] : kBaseOrder) classNamed(derived).setBaseClass(names.find(base), 64);
    const MemberText& constructors = coreMembers(kExceptionConstructors);
    model::BuiltinMethodDecl record;
    for (const char* name : kConstructorOrder) {
        ClassObject& klass = classNamed(name);
        for (const MemberMethod& method : constructors.methods) {
            fillMethodRecord(record, context, constructors, method, names, {});
            record.name = klass.name;
            // Each class's own link names: no resource has them yet.
            record.unlistedLinkName = names.listsNamesWhenAsked();
            model::registerNativeMethod(klass, context, record);
        }
    }
    for (const char* name : kRegistrationOrder) context.registerBuiltinClass(qestl::SmartPtr(), names.find(name));
}

BuiltinNames& builtinNames() {
    static BuiltinNames names;
    return names;
}

}  // namespace builtins
