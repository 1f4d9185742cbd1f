// The member pass's callbacks: methods, constructors and operators get their
// signatures, fields and enum constants their objects, before any body is
// compiled. Objects are made once and kept by their node, so a later cycle
// completes the same object; errors are deferred.
#include <optional>

#include "codegen/suggestions.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "declare/declaration_state.h"
#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "model/function_object.h"

using model::ClassObject;
using model::FunctionObject;
using model::IRObject;

namespace declare {
namespace {

// Resolves a type node: the type, or empty after a deferred error. With
// `detailed` an ambiguity lists the candidates.
SmartPtr resolveDeclaredType(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool detailed) {
    resolveTypeExpression(context, scope, node);
    const model::IRValueList candidates = takeCandidates(context);
    if (candidates.empty()) {
        qestl::qestringA listing;
        appendDidYouMean(context, listing, node);
        context.deferError(diag::UnknownTypeListed, node, listing);
        return SmartPtr();
    }
    size_t types = 0;
    SmartPtr type = firstType(candidates, &types);
    if (types > 1) {
        if (detailed) {
            qestl::qestringA listing;
            describeTypeCandidates(candidates, listing);
            context.deferError(diag::TypeNotUniqueListed, node, listing);
        } else {
            context.deferError(diag::TypeNotUnique, node);
        }
        return SmartPtr();
    }
    if (!type) context.deferError(diag::UnknownType, node);
    return type;
}

// The object of a field or constant declarator, owned by `scope`, its
// declaration still pending until its type settles. Its name reads the
// declarator's stored text in place: a class of many fields had a heap
// block for each name.
SmartPtr makeFieldObject(const NodeHandle& declarator, const SmartPtr& scope, bool isStatic, bool isFinal,
                         const NodeHandle& declarationNode) {
    const NodeText& text = declarator->text;
    SmartPtr made = text.empty() ? model::makeObject(text.view(), model::kKindVariable, SmartPtr(), 0)
                                 : model::makeNamedObject(text.inPlace(), model::kKindVariable, SmartPtr(), 0);
    IRObject* object = model::asObject(made);
    object->setDeclared(false);
    object->setOwner(model::IRResult(scope));
    object->setStatic(isStatic);
    object->setFinal(isFinal);
    object->setDeclarationNode(declarationNode);
    return made;
}

// Gives a declarator's object its type. Without one yet the declarator stays
// open, so a later cycle tries it again.
void settleDeclarator(CompileContext& context, IRObject* object, const NodeHandle& declarator, const SmartPtr& type) {
    object->setType(type);
    if (!type) return;
    object->setDeclared(true);
    context.diagnostics().deferred().noteDeclared();
    markDeclared(declarator);
}

SmartPtr declareTemplateMethod(CompileContext& context, const SmartPtr& scope, const model::IRFunction& view) {
    const NodeHandle& node = view.node;
    SmartPtr made = model::adoptLive(new model::TemplateFunctionObject());
    IRObject* function = model::asObject(made);
    function->setName(view.name().view());
    function->setStatic((node->flags & (NodeFlag::Static | NodeFlag::Native)) != 0);
    function->setFinal(view.isFinal());
    function->setOwner(model::IRResult(context.currentScopeObject()));
    function->buildLinkName();
    function->setDeclarationNode(node);
    model::bindObjectToNode(node, function);
    if (ClassObject* klass = model::asClass(model::asObject(scope))) {
        klass->editRareClass().templateMethodIndex.insert(function->name.view(), made);
        context.noteTemplateMethodsListed();
    } else {
        context.lookup().globalTemplates().findOrAdd(function->name.view(), made);
    }
    markDeclared(node);
    function->setDeclared(true);
    context.diagnostics().deferred().noteDeclared();
    return SmartPtr();
}

// The function object of the node: the one an earlier cycle made, or a new
// one entered in its scope while its declaration is still pending.
FunctionObject* functionFor(CompileContext& context, const SmartPtr& scope, const model::IRFunction& view,
                            bool isOperator) {
    const NodeHandle& node = view.node;
    if (auto* owned = dynamic_cast<FunctionObject*>(ownerObjectOf(node))) return owned;
    SmartPtr made = model::adoptLive(new FunctionObject());
    auto* function = static_cast<FunctionObject*>(model::asObject(made));
    function->setDeclared(false);
    if (isOperator) function->flagsA |= model::kFlagOperator;
    function->setOverride(view.isOverride());
    // Name and owner are set as fields: the link name is built once they
    // and the flags are all in place, and nothing reads it before.
    function->noteWrite();
    function->name = view.name();
    const bool isStatic = (node->flags & (NodeFlag::Static | NodeFlag::Native)) != 0;
    function->setStatic(isStatic);
    function->setFinal(view.isFinal());
    function->ownerResult.setObject(context.currentScopeObject());
    function->buildLinkName();
    ClassObject* klass = model::asClass(model::asObject(scope));
    const model::Operand placed = klass != nullptr ? klass->addMethod(context, function->name.view(), made, isStatic)
                                                   : context.lookup().scopes().declareMethod(context, made, false);
    // A function no table took (one of the same signature is there) is held
    // by its node alone, and holds the node.
    if (placed.kind == model::kErrorOperand) context.detachAtTeardown(made);
    function->setDeclarationNode(node);
    model::bindObjectToNode(node, function);
    return function;
}

// Step 9: the parameters, from an empty list (a retried declaration must
// not meet its own parameters). False after a deferred error.
bool declareParameters(CompileContext& context, const SmartPtr& scope, const model::IRFunction& view,
                       FunctionObject& function) {
    function.parameters.clear();
    for (size_t i = 0; i < view.parameterCount(); ++i) {
        const NodeHandle parameterNode = view.parameterNode(i);
        const NodeHandle typeNode = view.parameterType(i);
        SmartPtr type;
        if (!typeNode) {
            context.deferError(diag::UnknownType, typeNode);
        } else {
            type = resolveDeclaredType(context, scope, typeNode, false);
        }
        if (!type) {
            function.parameters.clear();
            return false;
        }
        SmartPtr made = model::makeObject(view.parameterName(i).view(), model::kKindVariable, type, 0);
        IRObject* parameter = model::asObject(made);
        parameter->setDeclarationNode(parameterNode);
        parameter->flagsC |= model::kFlagParameter;
        const bool notNil = parameterNode && (parameterNode->flags & NodeFlag::NotNilptr) != 0;
        parameter->modifiers = (parameter->modifiers & ~model::kStateMask) |
                               (notNil ? model::kStateDefinite : model::kStateUndetermined);
        if (!function.addParameter(made, &declarationState(context).parameterNames)) {
            // A real duplicate ends the declaration unmarked, so the next
            // cycle meets it again and keeps the message.
            context.deferError(diag::DuplicateParameter, parameterNode ? parameterNode : view.node);
            function.parameters.clear();
            return false;
        }
    }
    return true;
}

bool declareReturnAndThrows(CompileContext& context, const SmartPtr& scope, FunctionObject& function,
                            const NodeHandle& throwsList) {
    if (!throwsList) return true;
    for (const NodeHandle& thrown : throwsList->operands) {
        resolveThrownType(context, scope, thrown);
        const model::IRValueList candidates = takeCandidates(context);
        size_t types = 0;
        SmartPtr type = firstType(candidates, &types);
        if (types > 1) {
            context.deferError(diag::AmbiguousReturnType, thrown);
            return false;
        }
        if (!type) {
            context.deferError(diag::UnknownReturnType, thrown);
            return false;
        }
        function.addThrows(type);
    }
    return true;
}

SmartPtr declareMethodSignature(CompileContext& context, const SmartPtr& scope, const model::IRFunction& view,
                                uint32_t kind, bool isOperator) {
    const NodeHandle& node = view.node;
    if (!node || isDeclared(node)) return SmartPtr();
    if (view.isTemplate()) return declareTemplateMethod(context, scope, view);
    context.pushScopeMode(view.isStatic());
    FunctionObject* function = functionFor(context, scope, view, isOperator);
    const std::string_view name = function->name.view();
    const NodeHandle returnNode = view.returnType();
    SmartPtr returnType;
    if (returnNode) {
        if (function->isConstructor()) {
            context.deferError(diag::ConstructorReturnType, node);
            return SmartPtr();
        }
        returnType = resolveDeclaredType(context, scope, returnNode, true);
        if (!returnType) return SmartPtr();
    } else if (!function->isConstructor()) {
        context.deferError(diag::ReturnTypeMissing, node);
        return SmartPtr();
    }
    if (isComparisonOperator(name) && !model::isBuiltin(model::asObject(returnType), model::Builtin::Bool)) {
        context.deferError(diag::ComparisonNotBool, returnNode);
        return SmartPtr();
    }
    function->setType(returnType);
    if (const Diagnostic* shape = operatorShapeError(view, name)) {
        context.deferError(*shape, node);
        return SmartPtr();
    }
    if (!declareParameters(context, scope, view, *function)) return SmartPtr();
    if (!declareReturnAndThrows(context, scope, *function, view.throwsList())) return SmartPtr();
    markDeclared(node);
    if ((kind == NodeKind::Method || kind == NodeKind::Operator) && (node->flags & NodeFlag::Bodiless) != 0)
        function->flagsA |= model::kFlagAbstract;
    function->setDeclared(true);
    context.diagnostics().deferred().noteDeclared();
    return SmartPtr();
}

}  // namespace

bool isComparisonOperator(std::string_view name) {
    return name == "==" || name == "!=" || name == ">" || name == ">=" || name == "<" || name == "<=";
}

namespace {

const char* typeText(const NodeHandle& parameter) {
    const NodeHandle type = model::IRCore::operandOf(parameter, 0);
    return type ? type->text.c_str() : "";
}

}  // namespace

const Diagnostic* operatorShapeError(const model::IRFunction& view, std::string_view name) {
    const size_t n = view.parameterCount();
    if (name == "&&" || name == "||") return &diag::NotOverloadable;
    if (name == "++" || name == "--") {
        if (n == 0) return nullptr;
        if (n == 1 && std::string_view(typeText(view.parameterNode(0))) == "int") return nullptr;
        return &diag::PostfixNeedsInt;
    }
    if (name == "[]") {
        if (n == 0) return &diag::SubscriptTooFew;
        if (n > 2) return &diag::SubscriptTooMany;
        return nullptr;
    }
    if (name == ".") {
        if (n == 0) return &diag::DotTooFew;
        if (n > 2 || std::string_view(typeText(view.parameterNode(0))) != "String") return &diag::DotNeedsString;
    }
    return nullptr;
}

SmartPtr declareFunction(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind) {
    return declareMethodSignature(context, scope, model::IRFunction(node), kind, false);
}

SmartPtr declareOperator(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind) {
    return declareMethodSignature(context, scope, model::IROperator(node), kind, true);
}

SmartPtr declareVariable(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t) {
    if (isDeclared(node)) return SmartPtr();
    context.pushScopeMode((node->flags & NodeFlag::Static) != 0);
    const bool typed = node->operands.size() == 2;
    const NodeHandle typeNode = typed ? node->operands[0] : NodeHandle();
    const NodeHandle declarators = typed ? node->operands[1] : model::IRCore::operandOf(node, 0);
    const bool isStatic = (node->flags & NodeFlag::Static) != 0;
    ClassObject* klass = model::asClass(model::asObject(scope));
    // The class's place for a name is loaded while the object is made, and
    // for the first name while the type is resolved: a class of many fields
    // has its table far outside the caches, and making the object alone did
    // not cover the wait (bench/hostile_shapes.py static_fields).
    const model::Container* table = klass == nullptr ? nullptr
                                    : isStatic       ? klass->staticPropertiesIfMade()
                                                     : &klass->dynamicProperties;
    const NodeHandle* firstDeclarator = declarators && !declarators->operands.empty() && declarators->operands[0]
                                            ? &declarators->operands[0]
                                            : nullptr;
    std::optional<qestl::HashedText> firstName;
    if (table != nullptr && firstDeclarator != nullptr && !isDeclared(*firstDeclarator) &&
        ownerObjectOf(*firstDeclarator) == nullptr)
        table->prefetchPlace(firstName.emplace((*firstDeclarator)->text.view()));
    SmartPtr type = resolveDeclaredType(context, scope, typeNode, false);
    if (declarators) {
        for (const NodeHandle& declarator : declarators->operands) {
            if (!declarator || isDeclared(declarator)) continue;
            IRObject* object = ownerObjectOf(declarator);
            if (object == nullptr) {
                const bool first = firstName && qestl::sameStorage(firstName->text, declarator->text.view());
                const qestl::HashedText name = first ? *firstName : qestl::HashedText(declarator->text.view());
                if (table != nullptr && !first) table->prefetchPlace(name);
                SmartPtr made =
                    makeFieldObject(declarator, scope, isStatic, (node->flags & NodeFlag::Final) != 0, node);
                object = model::asObject(made);
                object->opcode = 153;
                const model::Operand placed = klass != nullptr ? klass->addProperty(name, made, isStatic)
                                                               : context.lookup().scopes().declareObject(
                                                                     object->name.view(), made, isStatic);
                if (placed.kind == model::kErrorOperand) {
                    context.deferError(diag::DuplicateObject, node);
                    return SmartPtr();
                }
                model::bindObjectToNode(declarator, object);
            }
            settleDeclarator(context, object, declarator, type);
        }
    }
    if (type) markDeclared(node);
    return SmartPtr();
}

SmartPtr declareConstant(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t) {
    if (isDeclared(node)) return SmartPtr();
    ClassObject* klass = model::asClass(model::asObject(scope));
    // A global constant has no class to live in: the compile pass declares it.
    if (klass == nullptr) return SmartPtr();
    const bool inEnum = klass->isEnum();
    if (inEnum) context.pushScopeMode(true);
    for (const NodeHandle& declarator : node->operands) {
        if (!declarator || isDeclared(declarator)) continue;
        IRObject* object = ownerObjectOf(declarator);
        if (object == nullptr) {
            const qestl::HashedText name(declarator->text.view());
            if (const model::Container* statics = klass->staticPropertiesIfMade()) statics->prefetchPlace(name);
            SmartPtr made = makeFieldObject(declarator, scope, true, true, declarator);
            object = model::asObject(made);
            object->modifiers |= 0x40;
            object->flagsB |= 0x40;
            // Entered once: a later cycle takes the object from its node and
            // never meets it as its own duplicate.
            const bool taken = klass->indexOfMember(*object, name) != 0 ||
                               klass->staticProperties().findOrCreateHashed(name, made).kind == model::kErrorOperand;
            if (taken) {
                context.deferError(diag::DuplicateObject, declarator);
                return SmartPtr();
            }
            model::bindObjectToNode(declarator, object);
        }
        settleDeclarator(context, object, declarator, inEnum ? SmartPtr(klass) : SmartPtr());
    }
    if (inEnum) markDeclared(node);
    return SmartPtr();
}

SmartPtr declareNativeImport(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind) {
    compileNativeImportDeclaration(context, node, scope, true, kind == NodeKind::DynamicNativeImport);
    return SmartPtr();
}

SmartPtr declareNativeFunction(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t) {
    compileNativeDeclaration(context, node, scope, true);
    return SmartPtr();
}

}  // namespace declare
