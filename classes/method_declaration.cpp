// Methods the declaration pass did not declare (template method instances
// above all) are declared by the compile pass, with every failure reported
// at once; and the throws list of a method declared here.
#include "classes/compile_method.h"
#include "codegen/compile_context.h"
#include "codegen/suggestions.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_state.h"
#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/container.h"
#include "model/function_object.h"

namespace {

using model::FunctionObject;
using model::IRObject;
using model::NodeHandle;
using qestl::SmartPtr;

// The single type a type node resolves to; null after reporting `unknown`
// or `ambiguous` at the node.
SmartPtr resolveOneType(CompileContext& context, const NodeHandle& node, const Diagnostic& unknown,
                        const Diagnostic& ambiguous) {
    resolveTypeReference(context, node);
    const model::IRValueList candidates = declare::takeCandidates(context);
    size_t types = 0;
    SmartPtr type = declare::firstType(candidates, &types);
    if (types > 1) {
        context.reportError(ambiguous, node);
        return SmartPtr();
    }
    if (!type) context.reportError(unknown, node);
    return type;
}

bool declareParameters(CompileContext& context, const model::IRFunction& view, FunctionObject& function) {
    for (size_t i = 0; i < view.parameterCount(); ++i) {
        const NodeHandle parameterNode = view.parameterNode(i);
        SmartPtr made = model::makeObject(view.parameterName(i).view(), model::kKindVariable,
                                          context.builtins().anyType, 0);
        IRObject* parameter = model::asObject(made);
        parameter->setDeclarationNode(parameterNode);
        parameter->flagsC |= model::kFlagParameter;
        const bool notNil = (parameter->modifiers & NodeFlag::NotNilptr) != 0;
        parameter->modifiers = (parameter->modifiers & ~model::kStateMask) |
                               (notNil ? model::kStateDefinite : model::kStateUndetermined);
        if (const NodeHandle typeNode = view.parameterType(i)) {
            SmartPtr type = resolveOneType(context, typeNode, diag::UnknownParameterType, diag::AmbiguousParameterType);
            if (!type) return false;
            parameter->setType(type);
        }
        if (!function.addParameter(made, &declarationState(context).parameterNames)) {
            context.reportError(diag::DuplicateParameter, parameterNode);
            return false;
        }
    }
    return true;
}

// D7's refusal: in a class, the message lists the members of that name.
void reportRefusal(CompileContext& context, FunctionObject& function, int64_t reason, const NodeHandle& node) {
    IRObject* scope = model::asObject(context.currentScopeObject());
    if (scope == nullptr || !scope->isKind(model::kKindClass)) {
        context.reportError(function.isOverride() ? diag::NotAClassMember : diag::DuplicateObject, node);
        return;
    }
    // 152, 156 and any code without a text of its own: no base prototype.
    qestl::qestringA listing;
    context.lookup().clearResults();
    scope->resolveMember(context, function.name.view(), model::kLookupStatic | model::kLookupInstance, 0);
    const model::IRValueList members = declare::takeCandidates(context);
    describeMethodCandidates(members, listing);
    appendDidYouMean(context, listing, node);
    context.reportError(model::memberError(reason), node, listing);
}

}  // namespace

SmartPtr declareMethodInCompilePass(CompileContext& context, const model::IRFunction& view, const NodeHandle& node,
                                    bool isOperator, bool isStatic) {
    SmartPtr made = model::adoptLive(new FunctionObject());
    auto* function = static_cast<FunctionObject*>(model::asObject(made));
    if (isOperator) function->flagsA |= model::kFlagOperator;
    function->setOverride(view.isOverride());
    function->setDeclarationNode(node);
    function->setName(view.name().view());
    function->setFinal(view.isFinal());
    function->setStatic(isStatic);
    if ((function->modifiers & NodeFlag::NotNilptr) == 0) function->modifiers |= model::kStateUndetermined;
    // The owner first: it decides what a constructor is.
    function->setOwner(model::IRResult(context.currentScopeObject()));

    if (const Diagnostic* shape = declare::operatorShapeError(view, function->name.view())) {
        context.reportError(*shape, node);
        return SmartPtr();
    }
    if (!declareParameters(context, view, *function)) return SmartPtr();

    SmartPtr returnType;
    if (const NodeHandle returnNode = view.returnType()) {
        returnType = resolveOneType(context, returnNode, diag::UnknownReturnType, diag::AmbiguousReturnType);
        if (!returnType) return SmartPtr();
        if (declare::isComparisonOperator(function->name.view()) &&
            !model::isBuiltin(model::asObject(returnType), model::Builtin::Bool)) {
            context.reportError(diag::ComparisonNotBool, returnNode);
            return SmartPtr();
        }
    } else if (!function->isConstructor()) {
        context.reportError(diag::ReturnTypeMissing, node);
        return SmartPtr();
    }
    function->setType(returnType);
    function->buildLinkName();
    model::bindObjectToNode(node, function);

    if (!view.isTemplate()) {
        const model::Operand placed = context.lookup().scopes().declareMethod(context, made, false);
        if (placed.kind == model::kErrorOperand) {
            reportRefusal(context, *function, placed.value, node);
            return SmartPtr();
        }
    }
    compileThrowsList(context, made, view.throwsList());
    return made;
}

int32_t compileThrowsList(CompileContext& context, const SmartPtr& functionRef, const NodeHandle& list) {
    auto* function = dynamic_cast<FunctionObject*>(model::asObject(functionRef));
    if (function == nullptr || !list) return 0;
    for (const NodeHandle& item : list->operands) {
        declare::resolveThrownType(context, SmartPtr(), item, true);
        const model::IRValueList candidates = declare::takeCandidates(context);
        size_t types = 0;
        const SmartPtr type = declare::firstType(candidates, &types);
        if (types > 1) {
            context.reportError(diag::AmbiguousReturnType, item);
            return 0;
        }
        if (!type) {
            context.reportError(diag::UnknownReturnType, item);
            return 0;
        }
        if (!function->addThrows(type)) {
            context.reportWarning(diag::ThrowsListedTwice, item);
            return 0;
        }
    }
    return 0;
}
