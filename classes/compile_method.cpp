// Method, constructor and operator definitions in the compile pass: the
// method the declaration pass made is found on its node, checked, its body
// compiled, and the program's entry and exit points recognised.
#include <optional>

#include "classes/compile_method.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "diagnostics/diagnostics.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/function_object.h"
#include "options/compile_options.h"
#include "statements/compile_walk.h"

namespace {

bool isType(const model::IRObject* object, model::Builtin tag) { return model::isBuiltin(object, tag); }

model::IRObject* parameterType(const model::FunctionObject& function, uint64_t i) {
    model::IRObject* parameter = model::asObject(function.parameter(i));
    return parameter != nullptr ? model::asObject(parameter->type) : nullptr;
}

// main, _entry and _exit, after a body compiled cleanly.
void registerEntryPoints(CompileContext& context, const qestl::SmartPtr& functionRef, const StatementNode& node) {
    auto* function = functionRef.as<model::FunctionObject>();
    const std::string_view name = function->name.view();
    const uint32_t mode = context.lookup().scopes().declarationMode();
    model::IRObject* returns = model::asObject(function->type);
    if (context.options() != nullptr && context.options()->sharedModule != 0) {
        if (mode != kDeclareGlobal || !isType(returns, model::Builtin::Void)) return;
        if (name == "_exit" && function->parameterCount() == 0) {
            context.setExitMethod(functionRef);
            function->checkUse(&context, node);
        } else if (name == "_entry" && function->parameterCount() == 2 &&
                   isType(parameterType(*function, 0), model::Builtin::Int) &&
                   isType(parameterType(*function, 1), model::Builtin::Int)) {
            context.setEntryMethod(functionRef, context.currentScopeObject(), node);
            function->checkUse(&context, node);
        }
        return;
    }
    if (name != "main" || !isType(returns, model::Builtin::Int) || function->parameterCount() != 1) return;
    model::IRObject* argument = parameterType(*function, 0);
    if (argument == nullptr || !argument->isArray()) return;
    if (!isType(static_cast<model::ArrayObject*>(argument)->element(), model::Builtin::String)) return;
    if (mode == kDeclareGlobal || (mode == kDeclareMember && function->isStatic())) {
        context.setEntryMethod(functionRef, context.currentScopeObject(), node);
        function->checkUse(&context, node);
    }
}

}  // namespace

int32_t compileMethodDefinition(const model::IRFunction& view, CompileContext& context, const StatementNode& node,
                                bool isOperator) {
    // The declaration pass made the method and bound it to its node; a
    // template instance is declared here, afresh.
    qestl::SmartPtr functionRef;
    if (!view.isTemplate() && node->owner() != nullptr) functionRef = qestl::SmartPtr(node->owner());
    model::IRObject* object = model::asObject(functionRef);
    if (object != nullptr) {
        // A method the declaration pass dropped (detached: no declaration
        // node any more) was reported there and is not compiled.
        if (!object->isFunction() || !object->declarationNode) return 0;
        // Nor one it refused after making it: its parameters were taken back.
        if (object->parameterCount() != view.parameterCount()) return 0;
    }

    bool isStatic = view.isStatic();
    const bool native = (node->flags & NodeFlag::Native) != 0;
    if (native) {
        if (!isStatic && context.lookup().scopes().declarationMode() == kDeclareMember) {
            context.reportError(diag::NativeNotStatic, node);
            return 0;
        }
        isStatic = true;
    }
    std::optional<ScopeModeGuard> lookupMode;
    if (context.lookup().scopes().declarationMode() == kDeclareMember) {
        context.pushScopeMode(isStatic);
        lookupMode.emplace(context);
        context.lookup().clearResults();
    }
    if (object == nullptr) {
        functionRef = declareMethodInCompilePass(context, view, node, isOperator, isStatic);
        object = model::asObject(functionRef);
        if (object == nullptr) return 0;
    }

    if ((object->isKind(model::kKindFunction) || object->isKind(model::kKindOperator)) && object->declarationNode &&
        (object->declarationNode.flags() & NodeFlag::Bodiless) != 0) {
        object->flagsA |= model::kFlagAbstract;
        if (object->isConstructor()) {
            context.reportError(diag::AbstractConstructor, node);
            return 0;
        }
        if (!object->type) {
            context.reportError(diag::ReturnTypeRequired, node);
            return 0;
        }
        const qestl::SmartPtr record = model::makeInterfaceInstruction();
        const auto* iface = record.as<model::cbircode>();
        object->opcode = iface->opcode;
        object->operandCount = iface->operandCount;
        for (uint64_t i = 0; i < iface->operandCount; ++i) object->operands[i] = iface->operands[i];
        if (native) bindNativeCall(context, view, functionRef, node);
        return 0;
    }
    if (!compileMethodBody(context, view, functionRef, node)) return 0;
    registerEntryPoints(context, functionRef, node);
    if (native) bindNativeCall(context, view, functionRef, node);
    return 0;
}

// The method or constructor definition (Method and FunctionDeclaration nodes).
uint32_t compileFunctionDeclaration(CompileContext& context, const StatementNode& node) {
    const model::IRFunction view(node);
    if (view.isTemplate()) return 0;
    // The labels of the enclosing code are none of a method's business.
    CodeEmitter::JumpsSetAside outer(context.emitter());
    return static_cast<uint32_t>(compileMethodDefinition(view, context, node, false));
}

// The operator definition `T operator + (...)` (an Operator node).
uint32_t compileOperatorDefinition(CompileContext& context, const StatementNode& node) {
    const model::IROperator view(node);
    CodeEmitter::JumpsSetAside outer(context.emitter());
    compileMethodDefinition(view, context, node, true);
    return 0;
}

void compileTemplateMethodClone(CompileContext& context, const model::IRFunction& clone) {
    CodeEmitter::JumpsSetAside outer(context.emitter());
    compileMethodDefinition(clone, context, clone.node, false);
}
