// The members every value answers whatever its class: hashing, text,
// reconstruction, class tests, the class object, the array test and raw
// pointers. Each lookup makes a fresh "$special/..." function; the call
// compiler turns its calls into instructions of their own.
#include "codegen/compile_context.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/builtin_types.h"
#include "model/intrinsic_members.h"
#include "statements/compile_walk.h"

void bindObjectIntrinsic(const qestl::SmartPtr& self, CompileContext& context, std::string_view member,
                         const StatementNode& node) {
    model::IRObject* object = model::asObject(self);
    if (object == nullptr) return;
    const model::BuiltinTypes& b = context.builtins();
    if (member == "hash") {
        const qestl::SmartPtr valueType = object->valueType();
        if (valueType && model::typeCodeOf(object) <= model::kTypeString)
            context.reportWarning(diag::UnsupportedOperation, node);
        model::offerSpecial(context, "$special/_get_hash", b.longType, {});
    } else if (member == "toString") {
        model::offerSpecial(context, "$special/_tostring", b.stringType, {});
    } else if (member == "fromHash") {
        model::offerSpecial(context, "$special/_set_hash", self, {{"hash", b.longType}});
    } else if (member == "fromMemory") {
        model::offerSpecial(context, "$special/_from_native_struct", object->valueType(), {{"ptr", b.pointerType}});
    } else if (member == "extendsOf") {
        model::offerSpecial(context, "$special/_extendsof", b.boolType, {{"Class", b.anyType}});
    } else if (member == "instanceOf") {
        model::offerSpecial(context, "$special/_instanceof", b.boolType, {{"class", b.classType}});
    } else if (member == "getClass" || member == "class") {
        model::offerSpecial(context, "$special/_get_class", b.classType, {});
    } else if (member == "isArrayObject") {
        model::offerSpecial(context, "$special/_objectIsArray", b.boolType, {});
    } else if (member == "getPtr") {
        model::offerSpecial(context, "$special/_get_ptr", b.longType, {});
    } else if (member == "getObjectPtr") {
        model::offerSpecial(context, "$special/_get_object_ptr", b.longType, {});
    }
}
