// Intrinsic members: names that stand for built-in operations on a lock, an
// array or a Class value, offered as "$special/..." functions.
#include "model/builtin_types.h"
#include "model/function_object.h"
#include "model/intrinsic_members.h"
#include "model/model_context.h"

namespace model {

qestl::SmartPtr offerSpecial(ModelContext& context, const char* name, const qestl::SmartPtr& returnType,
                             std::initializer_list<SpecialParameter> parameters) {
    qestl::SmartPtr made = makeFunction(name, returnType);
    auto* function = made.as<FunctionObject>();
    for (const SpecialParameter& parameter : parameters)
        function->addParameter(makeObject(parameter.name, kKindVariable, parameter.type, 0));
    function->buildLinkName();
    context.addCandidate(IRResult(made, function->makeObjectOperand()));
    return made;
}

bool IRObject::bindIntrinsicMember(ModelContext& context, const qestl::HashedText& name, uint32_t mode) {
    const std::string_view member = name.text;
    const BuiltinTypes& b = context.builtins();
    const size_t before = context.candidateCount();
    if (rare().lockMode == kLockPlain) {
        if (member == "wait") {
            offerSpecial(context, "$special/_sync_wait", b.voidType, {});
            offerSpecial(context, "$special/_sync_waittime", b.boolType, {{"millionSecond", b.intType}});
        } else if (member == "notify") {
            offerSpecial(context, "$special/_sync_notify", b.voidType, {});
        } else if (member == "notifyAll") {
            offerSpecial(context, "$special/_sync_notifyall", b.voidType, {});
        }
    }
    if (mode == 3 && isArray() && member == "indexOf")
        offerSpecial(context, "$special/_indexof", b.intType, {{"object", typeOfType()}});
    if (mode == 3 && member == "getComponentType")
        offerSpecial(context, "$special/_componenttype", b.classType, {});
    if (type && isBuiltin(asObject(type), Builtin::Class)) {
        if (member == "getName") {
            offerSpecial(context, "$special/_class_get_name", b.stringType, {});
        } else if (member == "getFields") {
            offerSpecial(context, "$special/_get_fields", context.arrayTypeOf(b.fieldType), {});
        } else if (member == "getMethods") {
            const qestl::SmartPtr methods = context.arrayTypeOf(b.methodType);
            offerSpecial(context, "$special/_get_methods", methods, {});
            offerSpecial(context, "$special/_get_methods_args", methods, {{"name", b.stringType}, {"flags", b.intType}});
        } else if (member == "getSuperClass") {
            offerSpecial(context, "$special/_class_getsupreclass", b.classType, {});
        } else if (member == "newInstance") {
            offerSpecial(context, "$special/_class_newinstance", b.anyType,
                  {{"mCtor", b.methodType}, {"args", context.arrayTypeOf(b.anyType)}});
            offerSpecial(context, "$special/_class_newinstance_withctor", b.anyType, {{"mCtor", b.methodType}});
            offerSpecial(context, "$special/_class_newinstance_default", b.anyType, {});
        }
    }
    return context.candidateCount() != before;
}

bool FunctionObject::bindIntrinsicMember(ModelContext& context, const qestl::HashedText& member, uint32_t mode) {
    IRObject* method = asObject(context.builtins().methodType);
    return method != nullptr && method->bindIntrinsicMember(context, member, mode);
}

qestl::SmartPtr IRObject::getThisObject() {
    qestl::SmartPtr* field = thisField();
    if (field == nullptr) {
        if (rare_.made() && rare_.get().thisObject) return rare_.get().thisObject;
        field = &editRare().thisObject;
    }
    if (!*field) {
        noteWrite();
        *field = makeObject("", kKindVariable, qestl::SmartPtr(this), 0);
    }
    return *field;
}

}  // namespace model
