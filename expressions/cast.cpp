// Casts: `(T) value`. The target type and the value are each chosen among
// their candidates by rank (the nearest wins, a tie chooses nothing); the
// cast instruction joins the value's pending code and the value then lies in
// register 0, typed by the target.
#include "codegen/compile_context.h"
#include "codegen/diagnostic_capture.h"
#include "codegen/instructions.h"
#include "declare/declaration_entries.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

void reportNoObject(CompileContext& context, const model::IRValueList& candidates, const StatementNode& node) {
    qestl::qestringA listing;
    dumpScopeSymbols(context, candidates, listing);
    context.reportError(diag::ObjectNotFound, node, listing);
}

model::Operand objectReference(const qestl::SmartPtr& object) {
    model::Operand operand;
    operand.setObjectRef(object, 0);
    return operand;
}

// opcode 10 to a class (an enum converts as int), 11 to an array: its
// element class and dimension count - 1.
qestl::SmartPtr makeCastInstruction(CompileContext& context, const model::IRResult& target,
                                    const model::Operand& value) {
    model::IRObject* type = target.objectPtr();
    if (type->isArray()) {
        uint32_t depth = 0;
        const qestl::SmartPtr element = type->selfRef(depth);
        qestl::SmartPtr cast = codegen::makeInstruction(model::kOpCastTo, 3);
        codegen::setOperandTriple(*cast.as<model::cbircode>(), 0, objectReference(element), value,
                                  model::Operand(static_cast<int64_t>(depth) - 1, model::kImmInt, model::kTypeInt));
        return cast;
    }
    const model::Operand typeOperand = type->isEnum() ? objectReference(context.builtins().intType) : target.operand;
    return codegen::makeInstructionWithTwoOperands(model::kOpCast, typeOperand, value);
}

}  // namespace

// The cast `(T)x` (a Cast node).
uint32_t compileCast(CompileContext& context, const StatementNode& node) {
    const StatementNode typeNode = nodeChild(node, 0);
    resolveTypeReference(context, typeNode);
    model::IRValueList types;
    context.lookup().takeResults(types);

    static constexpr uint32_t kTypeKinds[] = {model::kKindClass, model::kKindArray};
    const model::IRResult* chosenType = lowestRankedCandidate(types, kTypeKinds, std::size(kTypeKinds));
    if (chosenType == nullptr || !isTypeObject(chosenType->objectPtr())) {
        reportNoObject(context, types, node);
        return 0;
    }
    const model::IRResult target = *chosenType;
    const qestl::SmartPtr targetType(target.objectPtr());

    model::IRValueList values;
    {
        NameLookup::ExpectedType expected(context.lookup(), targetType);
        compileStatement(context, nodeChild(node, 1), true);
        context.lookup().takeResults(values);
    }
    if (context.diagnostics().hasErrors()) return 0;
    {
        // Deferred values (template method calls) are tried against a place
        // of the target type.
        DiagnosticCapture capture;
        model::IRValueList targets;
        addTrialTarget(targets, values, targetType);
        filterCandidatesByTrial(capture, context, targets, values);
    }

    static constexpr uint32_t kValueKinds[] = {model::kKindVariable, model::kKindFunction, model::kKindOperator};
    const model::IRResult* chosen = lowestRankedCandidate(values, kValueKinds, std::size(kValueKinds));
    if (chosen == nullptr) {
        reportNoObject(context, values, node);
        return 0;
    }

    model::IRResult result = *chosen;
    result.checkUse(&context, nodeChild(node, 1));
    // The value is replaced by the cast's own: code still held by its owner
    // (the call in `(long) p.self().b`) must come along first.
    result.prependOwnerCode();
    const qestl::SmartPtr owner = context.lookup().scopes().frame != nullptr ? context.lookup().scopes().frame->owner
                                                                             : qestl::SmartPtr();
    result.appendInstruction(result.pending, makeCastInstruction(context, target, chosen->operand), owner, node);
    result.object = model::makeObject("", model::kKindVariable, targetType, 0);
    result.operand = codegen::makeEaxOperand(model::asObject(targetType));
    result.sourceNode = node;
    recordNullState(context, result.objectPtr(), *chosen, chosen->objectPtr());
    context.lookup().setResults(std::move(result));
    return 0;
}
