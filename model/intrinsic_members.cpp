// Intrinsic members: names that stand for built-in operations on a lock, an
// array or a Class value, offered as "$special/..." functions.
#include "model/builtin_types.h"
#include "model/function_object.h"
#include "model/model_context.h"

namespace model {
namespace {

struct Parameter {
    const char* name;
    qestl::SmartPtr type;
};

void offer(ModelContext& context, const char* name, const qestl::SmartPtr& returnType,
           std::initializer_list<Parameter> parameters) {
    qestl::SmartPtr made = makeFunction(name, returnType);
    auto* function = made.as<FunctionObject>();
    for (const Parameter& parameter : parameters)
        function->addParameter(makeObject(parameter.name, kKindVariable, parameter.type, 0));
    function->buildLinkName();
    context.addCandidate(IRResult(made, function->makeObjectOperand()));
}

}  // namespace

bool IRObject::bindIntrinsicMember(ModelContext& context, std::string_view member, uint32_t mode) {
    const BuiltinTypes& b = builtinTypes();
    const size_t before = context.candidateCount();
    if (lockMode == kLockPlain) {
        if (member == "wait") {
            offer(context, "$special/_sync_wait", b.voidType, {});
            offer(context, "$special/_sync_waittime", b.boolType, {{"millionSecond", b.intType}});
        } else if (member == "notify") {
            offer(context, "$special/_sync_notify", b.voidType, {});
        } else if (member == "notifyAll") {
            offer(context, "$special/_sync_notifyall", b.voidType, {});
        }
    }
    if (mode == 3 && isArray() && member == "indexOf")
        offer(context, "$special/_indexof", b.intType, {{"object", typeOfType()}});
    if (mode == 3 && member == "getComponentType") offer(context, "$special/_componenttype", b.classType, {});
    if (type && isBuiltin(asObject(type), b.classType)) {
        if (member == "getName") {
            offer(context, "$special/_class_get_name", b.stringType, {});
        } else if (member == "getFields") {
            offer(context, "$special/_get_fields", context.arrayTypeOf(b.fieldType), {});
        } else if (member == "getMethods") {
            const qestl::SmartPtr methods = context.arrayTypeOf(b.methodType);
            offer(context, "$special/_get_methods", methods, {});
            offer(context, "$special/_get_methods_args", methods, {{"name", b.stringType}, {"flags", b.intType}});
        } else if (member == "getSuperClass") {
            offer(context, "$special/_class_getsupreclass", b.classType, {});
        } else if (member == "newInstance") {
            offer(context, "$special/_class_newinstance", b.anyType,
                  {{"mCtor", b.methodType}, {"args", context.arrayTypeOf(b.anyType)}});
            offer(context, "$special/_class_newinstance_withctor", b.anyType, {{"mCtor", b.methodType}});
            offer(context, "$special/_class_newinstance_default", b.anyType, {});
        }
    }
    return context.candidateCount() != before;
}

bool FunctionObject::bindIntrinsicMember(ModelContext& context, std::string_view member, uint32_t mode) {
    IRObject* method = asObject(builtinTypes().methodType);
    return method != nullptr && method->bindIntrinsicMember(context, member, mode);
}

qestl::SmartPtr IRObject::getThisObject() {
    if (!thisObject) thisObject = makeObject("", kKindVariable, qestl::SmartPtr(this), 0);
    return thisObject;
}

}  // namespace model
