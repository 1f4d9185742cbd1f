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
    model::Builtin tag;
};

constexpr Row kRows[] = {
    {"void", 0, 0, true, false, 0, 0, model::Builtin::Void},
    {"bool", 8, 0, true, false, 1, 0, model::Builtin::Bool},
    {"nil", 11, -1, true, false, 0, -1, model::Builtin::Nil},
    {"byte", 1, 1, true, false, 2, 0, model::Builtin::Byte},
    {"char", 2, 2, true, false, 3, 0, model::Builtin::Char},
    {"short", 3, 3, true, false, 4, 0, model::Builtin::Short},
    {"int", 4, 4, true, false, 5, 0, model::Builtin::Int},
    {"long", 5, 5, true, false, 6, 0, model::Builtin::Long},
    {"float", 6, 6, true, false, 7, 0, model::Builtin::Float},
    {"double", 7, 7, true, false, 8, 0, model::Builtin::Double},
    {"String", 9, 0, true, false, 10, 0, model::Builtin::String},
    {"*", 11, 0, false, false, 9, 0, model::Builtin::Any},
    {"ObjectPtr", 12, 0, true, true, 0, -2, model::Builtin::ObjectPtr},
    {"ObjectRef", 13, 0, true, true, 0, -5, model::Builtin::ObjectRef},
    {"Class", 14, 0, true, true, 15, 0, model::Builtin::Class},
    {"Array", 15, 0, true, true, 12, 0, model::Builtin::Array},
    {"Pointer", 12, 0, true, true, 11, 0, model::Builtin::Pointer},
    {"...", 15, 0, true, true, 0, -6, model::Builtin::Variadic},
    {"Thread", -1, 0, false, false, 39, 0, model::Builtin::Thread},
    {"Method", -1, 0, false, false, 13, 0, model::Builtin::Method},
    {"Field", -1, 0, false, false, 14, 0, model::Builtin::Field},
    {"Exception", -1, 0, false, false, 20, 0, model::Builtin::Exception},
};

}  // namespace

void makeBuiltinFixture(model::BuiltinTypes& types, std::map<std::string, qestl::SmartPtr>& names) {
    for (const Row& row : kRows) {
        qestl::SmartPtr made = model::makeClass(row.name, types.classType);
        auto* type = made.as<model::IRObject>();
        type->typeCode = static_cast<uint8_t>(row.podid);
        type->numericRank = row.rank;
        type->setFinal(row.final);
        if (row.interface) type->modifiers |= model::kModInterface;
        type->setId(row.id);
        type->editRare().builtinRefKey = row.key;
        type->modifiers |= 64;  // public
        type->flagsB |= model::kFlagHidden | model::kFlagByBuiltinId;
        types.set(row.tag, made);
        names[row.name[0] == '*' ? "Object" : row.name] = made;
    }
    // Every class is typed by Class, which did not exist when the first ones
    // were made.
    for (const Row& row : kRows) types[row.tag].as<model::IRObject>()->assignType(types.classType);
    types.set(model::Builtin::NilConstant, model::makeObject("nilptr", model::kKindVariable, types.nilType, 0));
    names["nilptr"] = types.nilConstant;
}

}  // namespace probe
