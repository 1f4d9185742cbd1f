// Member lookup on classes: the order of the tables, the base chain, the
// reflective built-in members, the enclosing classes and the captures; the
// class-side tests of derivation, assignability and abstract methods.
#include <iterator>
#include <typeinfo>

#include "model/builtin_types.h"
#include "model/candidate_rank.h"
#include "model/class_object.h"
#include "model/enclosing_scopes.h"
#include "model/function_object.h"
#include "model/instance_object.h"
#include "model/intrinsic_members.h"
#include "model/model_context.h"

namespace model {
namespace {

struct FlagConstant {
    const char* name;
    int32_t value;
};
constexpr FlagConstant kFieldFlags[] = {{"FLAG_CONST", 2}, {"FLAG_STATIC", 4}, {"FLAG_NOTNILPTR", 8}, {"FLAG_ALL", -1}};
constexpr FlagConstant kMethodFlags[] = {{"FLAG_GLOBAL", 1},    {"FLAG_FINAL", 2},        {"FLAG_STATIC", 4},
                                         {"FLAG_NOTNILPTR", 8}, {"FLAG_OVERRIDE", 16},    {"FLAG_ABSTRACT", 32},
                                         {"FLAG_ENUM", 64},     {"FLAG_CONSTRUCTOR", 64}, {"FLAG_EXCEPTIONLIST", 128},
                                         {"FLAG_ALL", -1}};

template <size_t N>
void offerFlag(ModelContext& context, const ClassObject& owner, const FlagConstant (&table)[N], std::string_view name) {
    for (const FlagConstant& row : table) {
        if (name != row.name) continue;
        qestl::SmartPtr made = makeObject(owner.name.view(), kKindVariable, context.builtins().intType, 0);
        Operand value;
        value.intImmediate(row.value, kTypeInt);
        made.as<IRObject>()->setConstantValue(value, true);
        context.addCandidate(IRResult(made, made.as<IRObject>()->makeObjectOperand()));
    }
}

// The value of a parameter typed "Object" (the any-object class) or an
// array of it.
qestl::SmartPtr any(ModelContext& context) { return context.builtins().anyType; }

void offerArrayOperations(ModelContext& context, std::string_view name) {
    const BuiltinTypes& b = context.builtins();
    if (name == "get")
        offerSpecial(context, "$special/_array_get", any(context), {{"array", any(context)}, {"index", b.longType}});
    else if (name == "set")
        offerSpecial(context, "$special/_array_set", b.voidType,
                     {{"array", any(context)}, {"index", b.longType}, {"object", any(context)}});
    else if (name == "isArray")
        offerSpecial(context, "$special/_array_is_array", b.boolType, {{"object", any(context)}});
    else if (name == "getLength")
        offerSpecial(context, "$special/_array_get_length", b.longType, {{"object", any(context)}});
    else if (name == "newArray")
        offerSpecial(context, "$special/_array_new_array", any(context),
                     {{"componentType", any(context)}, {"length", b.longType}});
    else if (name == "arrayCopy")
        offerSpecial(context, "$special/_array_copy", b.voidType,
                     {{"src", any(context)},
                      {"srcPos", b.longType},
                      {"dest", any(context)},
                      {"destPos", b.longType},
                      {"length", b.longType}});
    else if (name == "getComponentType")
        offerSpecial(context, "$special/_array_get_componecttype", any(context), {{"object", any(context)}});
}

void offerFieldOperations(ModelContext& context, std::string_view name) {
    const BuiltinTypes& b = context.builtins();
    if (name == "getName") offerSpecial(context, "$special/_field_get_name", b.stringType, {});
    else if (name == "getType") offerSpecial(context, "$special/_get_type", any(context), {});
    else if (name == "getValue")
        offerSpecial(context, "$special/_get_field_value", any(context), {{"this_object", any(context)}});
    else if (name == "setValue")
        offerSpecial(context, "$special/_set_field_value", b.boolType,
                     {{"this_object", any(context)}, {"val", any(context)}});
    else if (name == "isConst") offerSpecial(context, "$special/_field_get_const", b.boolType, {});
    else if (name == "isStatic") offerSpecial(context, "$special/_field_get_static", b.boolType, {});
}

void offerMethodOperations(ModelContext& context, std::string_view name) {
    const BuiltinTypes& b = context.builtins();
    if (name == "getName") offerSpecial(context, "$special/_method_get_name", b.stringType, {});
    else if (name == "getType") offerSpecial(context, "$special/_method_get_rettype", any(context), {});
    else if (name == "toNative") offerSpecial(context, "$special/_method_to_native", b.longType, {});
    else if (name == "getParameterCount") offerSpecial(context, "$special/_method_get_argscount", b.intType, {});
    else if (name == "invoke") {
        offerSpecial(context, "$special/_method_invoke_noargs", any(context), {{"this_object", any(context)}});
        offerSpecial(context, "$special/_method_invoke", any(context),
                     {{"this_object", any(context)}, {"args", context.arrayTypeOf(any(context))}});
    } else if (name == "getParameterType")
        offerSpecial(context, "$special/_method_get_paramtype", any(context), {{"n", b.intType}});
    else if (name == "getFlags") offerSpecial(context, "$special/_method_get_flags", b.intType, {});
    else if (name == "getParameterFlags")
        offerSpecial(context, "$special/_method_get_argflags", b.intType, {{"n", b.intType}});
    else if (name == "getThrowExceptionCount") offerSpecial(context, "$special/_method_get_exceptcount", b.intType, {});
    else if (name == "getThrowExceptionItem")
        offerSpecial(context, "$special/_method_get_except", any(context), {{"n", b.intType}});
}

bool sameAs(IRObject* object, const qestl::SmartPtr& builtin) { return builtin && object->sameType(asObject(builtin)); }

}  // namespace

uint32_t ClassObject::accessLevelFrom(ModelContext& context) {
    IRObject* scope = asObject(context.viewer());
    if (scope == nullptr) return 64;
    // Most members are looked up from inside their own class, which is not
    // among its own bases (a chain that would come back to it is refused):
    // its chain is not walked for that answer.
    if (scope == this && !isArray()) return 0;
    if (scope->isDerivedFrom(this)) return 32;
    if (scope->sameType(this) || encloses(scope)) return 0;
    return 64;
}

void ClassObject::noteStaticFailureBeforeMade(ModelContext& context, const qestl::HashedText& name) {
    if (staticFailuresBeforeMade_.notedCount(name, context.failedNameNumbers()) == FailedNames::kNotNoted)
        staticFailuresBeforeMade_.noteFirstFailure(name.number, 0);
}

bool ClassObject::isDerivedFrom(const IRObject* other) const {
    if (kind != kKindClass || other == nullptr) return false;
    IRObject* target = const_cast<IRObject*>(other)->classRef();
    if (target == nullptr || target->kind != kKindClass) return false;
    for (ClassObject* b = base(); b != nullptr; b = b->base())
        if (b->sameType(target)) return true;
    return false;
}

bool ClassObject::canAssignTo(ModelContext* context, const qestl::SmartPtr& target, bool implicit) {
    if (IRObject::canAssignTo(context, target, implicit)) return true;
    ClassObject* b = base();
    if (b == nullptr || !implicit) return false;
    if (inheritanceAccess != 64) {
        if (context == nullptr || inheritanceAccess < accessLevelFrom(*context)) return false;
    }
    return b->canAssignTo(context, target, implicit);
}

bool ClassObject::collectAbstractMethods(std::vector<qestl::SmartPtr>& out) const {
    for (const qestl::SmartPtr& member : dynamicMethods.members())
        if (asObject(member)->isAbstractMethod()) out.push_back(member);
    return !out.empty();
}

void ClassObject::collectTemplateMethods(ModelContext& context, std::string_view memberName, uint32_t flags) {
    for (ClassObject* c = this; c != nullptr; c = c->base()) {
        const StringKeyTree& templateMethods = c->rareClass().templateMethodIndex;
        if (templateMethods.size() == 0) continue;
        const std::vector<qestl::SmartPtr>* listed = templateMethods.find(memberName);
        if (listed == nullptr) continue;
        for (const qestl::SmartPtr& method : *listed) {
            IRObject* m = asObject(method);
            if (m->isStatic() ? (flags & kLookupStatic) : (flags & kLookupInstance))
                context.addCandidate(IRResult(method, m->makeObjectOperand()));
        }
    }
}

bool ClassObject::resolveHere(ModelContext& context, const qestl::HashedText& member, uint32_t flags, uint32_t depth) {
    const std::string_view memberName = member.text;
    const BuiltinTypes& b = context.builtins();
    if (memberName == "super") {
        ClassObject* parent = base();
        if (parent == nullptr) return false;
        context.clearCandidates();
        Operand reference;
        reference.setObjectRef(baseClass, 0);
        context.addCandidate(IRResult(baseClass, reference));
        return parent->resolveMember(context, parent->name.view(), flags, depth);
    }
    // Only an array compares types otherwise than by class reference: any
    // other class takes its own once for the four built-ins asked about,
    // plain classes (makeClass) that are their own class reference.
    // A class of exactly this type is no array and its own class reference,
    // and nearly every lookup asks one: answered without the two calls.
    IRObject* own = typeid(*this) == typeid(ClassObject) && kind != kKindVariable ? this
                    : isArray()                                                   ? nullptr
                                                                                  : classRef();
    // Those four carry their tag: a class and a class reference that carry
    // none (every class of the program) offer none of their members, and
    // nearly every lookup, of a local's name too, asks such a class.
    if (own == nullptr || own->builtinTag() != Builtin::None || builtinTag() != Builtin::None) {
        const auto is = [&](const qestl::SmartPtr& builtin) {
            return own != nullptr ? builtin && asObject(builtin) == own : sameAs(this, builtin);
        };
        if (is(b.fieldType)) offerFlag(context, *this, kFieldFlags, memberName);
        if (is(b.arrayType)) offerArrayOperations(context, memberName);
        if (is(b.classType) && memberName == "getClass")
            offerSpecial(context, "$special/_query_class", b.classType, {{"classNameOrPath", b.stringType}});
        if (is(b.methodType)) offerFlag(context, *this, kMethodFlags, memberName);
        if (isBuiltin(this, Builtin::Field)) offerFieldOperations(context, memberName);
        else if (isBuiltin(this, Builtin::Method)) offerMethodOperations(context, memberName);
    }
    if (isEnum() && (memberName == "name" || memberName == "value")) {
        const bool named = memberName == "name";
        qestl::SmartPtr made = offerSpecial(context, named ? "$special/_enumname" : "$special/_enumvalue",
                                            named ? b.stringType : b.intType, {});
        IRObject& function = *made.as<IRObject>();
        function.setOwner(IRResult(qestl::SmartPtr(this)));
        if (named) function.changeModifiers(kModNotNil, 0);
    }
    // The level counts only for a member listed that is not public, and the
    // table asks for it then: most lookups pass a class's tables by, finding
    // nothing. Each table is asked once; binding the members of one changes
    // no other's entries.
    const bool statics = (flags & kLookupStatic) != 0;
    const bool instances = (flags & kLookupInstance) != 0;
    OwnTables* const made = ownTables_;
    const IndexList* staticFields = statics && made != nullptr ? made->staticProperties.indexesOf(member) : nullptr;
    const IndexList* staticFunctions = statics && made != nullptr ? made->staticMethods.indexesOf(member) : nullptr;
    const IndexList* fields = instances ? dynamicProperties.indexesOf(member) : nullptr;
    const IndexList* functions = instances ? dynamicMethods.indexesOf(member) : nullptr;
    Container* const argumentTable = made != nullptr ? &made->templateArgumentTable : nullptr;
    const IndexList* arguments = argumentTable != nullptr ? argumentTable->indexesOf(member) : nullptr;
    const bool listed = staticFields || staticFunctions || fields || functions || arguments;
    constexpr uint32_t level = kLevelOfViewerClass;
    if (listed) {
        if (statics && made != nullptr) {
            made->staticProperties.lookupListed<true>(context, this, staticFields, member, level, flags);
            made->staticMethods.lookupListed<true>(context, this, staticFunctions, member, level, flags);
        } else if (statics && context.candidateCount() == 0) {
            noteStaticFailureBeforeMade(context, member);
        }
        if (instances) {
            dynamicProperties.lookupListed<true>(context, this, fields, member, level, flags);
            dynamicMethods.lookupListed<true>(context, this, functions, member, level, flags);
        }
    } else if (context.candidateCount() == 0) {
        // No table binds a candidate, so the count is asked once: each table
        // notes the failure, as its own lookup would.
        if (statics && made != nullptr) {
            made->staticProperties.collectSimilarNames(context, member);
            made->staticMethods.collectSimilarNames(context, member);
        } else if (statics) {
            noteStaticFailureBeforeMade(context, member);
        }
        if (instances) {
            dynamicProperties.collectSimilarNames(context, member);
            dynamicMethods.collectSimilarNames(context, member);
        }
    }
    collectCandidates(context, memberName, flags);
    // A table never made has no member to bind or to name as a near miss.
    if (argumentTable != nullptr) argumentTable->lookupListed<true>(context, this, arguments, member, level, flags);
    return true;
}

bool ClassObject::resolveMember(ModelContext& context, const qestl::HashedText& member, uint32_t flags,
                                uint32_t depth) {
    return resolveHere(context, member, flags, depth);
}

IRResult& ModelContext::candidateAt(size_t index) { return (*candidateList_)[index]; }

bool ClassObject::bindHere(ModelContext& context, const qestl::HashedText& memberName, uint32_t flags) {
    resolveHere(context, memberName, flags, 0);
    if (memberName == "super" || (flags & kLookupNoEnclosing)) return true;
    flags &= ~kLookupAccessInstruction;
    // Outward from this class: what each class captured, then the scope
    // around it, until one holds a value or a method of the name. Past a
    // static class there is no instance to reach further out through.
    bool instanceAround = true;
    walkOutward(this, [&](IRObject& scope, uint32_t steps) {
        ClassObject* klass = asClass(&scope);
        if (steps > 0) {
            const size_t first = context.candidateCount();
            if (klass != nullptr) {
                const bool loaded = (flags & kLookupInstance) != 0;
                klass->resolveHere(context, memberName, loaded ? flags | kLookupAccessInstruction : flags, steps);
                klass->reachThroughEnclosing(context, first, steps);
            } else {
                scope.bindIntrinsicMember(context, memberName, flags);
                for (size_t i = first; i < context.candidateCount(); ++i) context.candidateAt(i).reach = reachAt(steps);
            }
        }
        if (Container* captured = klass != nullptr ? klass->rareClass().captureContainer : nullptr) {
            const size_t first = context.candidateCount();
            captured->lookupVisible(context, klass, memberName, 0, flags);
            klass->reachCaptured(context, first, steps, instanceAround);
        }
        if (hidesOuterScopes(context)) return false;
        // A class made in a method sees what the method's class sees.
        if (klass == nullptr) return scope.isFunction();
        if (klass->isStatic()) {
            flags = kLookupStatic;
            instanceAround = false;
        }
        return true;
    });
    return true;
}

void ClassObject::reachThroughEnclosing(ModelContext& context, size_t first, uint32_t depth) {
    const size_t end = context.candidateCount();
    if (first == end) return;
    const IRResult owner = enclosingInstance(*this, depth);
    for (size_t i = first; i < end; ++i) {
        IRResult& candidate = context.candidateAt(i);
        candidate.reach = reachAt(depth);
        // A nested class is loaded from the enclosing instance too.
        readThrough(candidate, owner.operand);
        IRObject* member = candidate.objectPtr();
        if (member == nullptr || member->isStatic() || member->isConstructor() ||
            (member->kind != kKindVariable && member->kind != kKindFunction && member->kind != kKindOperator))
            continue;
        candidate.object = makeInstance(candidate.object, owner, context.builtins().classType);
    }
}

void ClassObject::reachCaptured(ModelContext& context, size_t first, uint32_t depth, bool reachable) {
    for (size_t i = first; i < context.candidateCount(); ++i) {
        IRResult& candidate = context.candidateAt(i);
        if (candidate.operand.kind != kStackSlot) continue;
        // The frame that made this class is one step further out.
        candidate.reach = reachAt(depth + 1);
        if (reachable) readCaptured(candidate, *this, depth);
        else candidate.operand = Operand::error(kErrCaptureOutOfReach);
    }
}

bool ClassObject::bindIntrinsicMember(ModelContext& context, const qestl::HashedText& member, uint32_t flags) {
    return bindHere(context, member, flags);
}

}  // namespace model
