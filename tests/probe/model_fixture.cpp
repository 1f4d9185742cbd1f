#include "model_fixture.h"

#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/ir_object.h"
#include "model/opcodes.h"

namespace probe {
namespace {

struct Row {
    const char* name;
    int8_t podid;
    int8_t rank;
    bool final;
    bool interface;
    uint32_t id;
    int32_t key;  // reserved key of a built-in without id
    qestl::SmartPtr model::BuiltinTypes::*slot;
};

using B = model::BuiltinTypes;
constexpr Row kRows[] = {
    {"void", 0, 0, true, false, 0, 0, &B::voidType},
    {"bool", 8, 0, true, false, 1, 0, &B::boolType},
    {"nil", 11, -1, true, false, 0, -1, &B::nilType},
    {"byte", 1, 1, true, false, 2, 0, &B::byteType},
    {"char", 2, 2, true, false, 3, 0, &B::charType},
    {"short", 3, 3, true, false, 4, 0, &B::shortType},
    {"int", 4, 4, true, false, 5, 0, &B::intType},
    {"long", 5, 5, true, false, 6, 0, &B::longType},
    {"float", 6, 6, true, false, 7, 0, &B::floatType},
    {"double", 7, 7, true, false, 8, 0, &B::doubleType},
    {"String", 9, 0, true, false, 10, 0, &B::stringType},
    {"*", 11, 0, false, false, 9, 0, &B::anyType},
    {"ObjectPtr", 12, 0, true, true, 0, -2, &B::objectPtr},
    {"ObjectRef", 13, 0, true, true, 0, -5, &B::objectRef},
    {"Class", 14, 0, true, true, 15, 0, &B::classType},
    {"Array", 15, 0, true, true, 12, 0, &B::arrayType},
    {"Pointer", 12, 0, true, true, 11, 0, &B::pointerType},
    {"...", 15, 0, true, true, 0, -6, &B::variadic},
    {"Thread", -1, 0, false, false, 39, 0, &B::threadType},
    {"Method", -1, 0, false, false, 13, 0, &B::methodType},
    {"Field", -1, 0, false, false, 14, 0, &B::fieldType},
    {"Exception", -1, 0, false, false, 20, 0, &B::exceptionType},
};

}  // namespace

void makeBuiltinFixture(std::map<std::string, qestl::SmartPtr>& names) {
    model::BuiltinTypes& types = model::builtinTypes();
    for (const Row& row : kRows) {
        qestl::SmartPtr made = model::makeClass(row.name);
        auto* type = made.as<model::IRObject>();
        type->typeCode = static_cast<uint8_t>(row.podid);
        type->numericRank = row.rank;
        type->setFinal(row.final);
        if (row.interface) type->modifiers |= model::kModInterface;
        type->setId(row.id);
        type->editRare().builtinRefKey = row.key;
        type->modifiers |= 64;  // public
        type->flagsB |= model::kFlagHidden | model::kFlagByBuiltinId;
        types.*row.slot = made;
        names[row.name[0] == '*' ? "Object" : row.name] = made;
    }
    // Every class is typed by Class, which did not exist when the first ones
    // were made.
    for (const Row& row : kRows) (types.*row.slot).as<model::IRObject>()->assignType(types.classType);
    types.nilConstant = model::makeObject("nilptr", model::kKindVariable, types.nilType, 0);
    names["nilptr"] = types.nilConstant;
}

}  // namespace probe
