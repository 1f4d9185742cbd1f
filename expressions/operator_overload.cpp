// An operator applied to a class value: when the class declares a method
// named like the operator, the operator is that method's call.
#include "codegen/compile_context.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "expressions/expression_state.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint32_t kProbeFlags = 7;

// The operand's class asked for the name, unless it said no before
// (expressions/operator_probe_cache.h).
void askClass(CompileContext& context, model::IRObject* klass, const qestl::HashedText& name) {
    OperatorProbeCache& cache = expressionState(context).operatorProbes;
    const size_t stamp = OperatorProbeCache::stampOf(context, klass);
    if (stamp == OperatorProbeCache::kNotKept) {
        klass->bindIntrinsicMember(context, name, kProbeFlags);
        return;
    }
    if (cache.knownAbsent(klass, name.text, stamp)) return;
    const size_t before = context.lookup().candidates().size();
    klass->bindIntrinsicMember(context, name, kProbeFlags);
    if (before == 0 && context.lookup().candidates().empty()) cache.noteAbsent(klass, name.text, stamp);
}

// Does the operand or its class hold a member of the name? Asked silently:
// the lookup's candidates are dropped again. The name is hashed once for
// every table asked.
bool operandDeclares(CompileContext& context, model::IRObject* object, const qestl::HashedText& name) {
    if (object == nullptr) return false;
    object->bindIntrinsicMember(context, name, kProbeFlags);
    // A variable answers for itself; its class for the methods.
    if (object->isKind(model::kKindVariable)) {
        model::IRObject* klass = model::asObject(object->valueType());
        if (klass != nullptr && klass != object) askClass(context, klass, name);
    }
    const bool found = !context.lookup().candidates().empty();
    context.lookup().clearResults();
    return found;
}

bool anyOperandDeclares(CompileContext& context, model::IRValueList& operands, const qestl::HashedText& name) {
    bool found = false;
    for (model::IRResult& operand : operands) found = operandDeclares(context, operand.objectPtr(), name) || found;
    return found;
}

}  // namespace

bool operatorOverloadDeclared(CompileContext& context, model::IRValueList& operands, const StatementNode& node) {
    const std::string_view name = operatorOverloadName(node);
    context.lookup().clearResults();
    return anyOperandDeclares(context, operands, name);
}

bool operatorOverloadDeclaredOn(CompileContext& context, const model::IRResult& operand, const StatementNode& node) {
    const std::string_view name = operatorOverloadName(node);
    context.lookup().clearResults();
    return operandDeclares(context, operand.objectPtr(), name);
}

bool findOperatorOverload(CompileContext& context, model::IRValueList& operands, IRValueListArray& arguments,
                          const StatementNode& node) {
    return operatorOverloadDeclared(context, operands, node) &&
           callOperatorOverload(context, operands, arguments, node);
}

bool callOperatorOverload(CompileContext& context, model::IRValueList& operands, IRValueListArray& arguments,
                          const StatementNode& node) {
    StatementNode first, second;
    int32_t count = 0;
    const std::string_view name = operatorOverloadSignature(node, first, second, count);
    resolveMemberAccess(context, first, &operands, name, node, model::IRValueList());
    model::IRValueList methods;
    context.lookup().takeResults(methods);
    if (methods.empty()) {
        context.reportError(diag::NoOperatorOverload, node);
        return false;
    }
    if (!compileCallToCandidates(context, methods, arguments, node)) return false;

    model::IRResult value = context.lookup().candidates()[0];
    model::IRObject* object = value.objectPtr();
    value.operand = model::Operand(model::kEax, model::kRegister,
                                   object != nullptr ? model::typeCodeOf(object) : uint32_t{model::kTypeObject});
    value.markerByte = 1;
    context.lookup().setResults(value);
    return true;
}
