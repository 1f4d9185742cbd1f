// An expression node (kind 40) goes to the compiler of its operator; a
// comparison used as a value becomes a bool in register 0.
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/walk_state.h"

namespace {

bool isAssignmentCode(uint32_t code) {
    return code == model::kOpMov || (code >= model::kOpShlm && code <= model::kOpXorm);
}

}  // namespace

// The operator expression, as a statement or a value (an Expression node).
uint32_t compileExpressionStatement(CompileContext& context, const StatementNode& node) {
    const uint32_t code = operatorCodeOf(node);
    switch (code) {
    case model::kOpLogicalAnd:
    case model::kOpLogicalOr: return compileLogicalNode(context, node);
    case model::kOpMember: compileMemberExpression(context, node); return 0;
    case model::kOpCmp: compileComparisonExpression(context, node); return 0;
    case model::kOpFinc:
    case model::kOpFdec:
    case model::kOpBinc:
    case model::kOpBdec: compileIncDec(context, node, code); return 0;
    default: break;
    }
    if (isAssignmentCode(code)) compileAssignment(context, node, code);
    else compileExpression(context, node);
    return 0;
}

void compileComparisonExpression(CompileContext& context, const StatementNode& node) {
    bool& hint = walkState(context).compareOnly;
    const bool compareOnly = hint;
    hint = false;
    if (compareOnly) {
        compileExpression(context, node);
        return;
    }
    uint32_t jump = model::kOpJe;
    if (compileConditionJump(context, node, jump, false) != 0) return;
    RecycledValueList taken(context.lookup());
    context.lookup().exchangeResults(taken);
    if (taken.size() != 1) {
        context.reportError(diag::BadExpression, node);
        return;
    }
    model::IRResult& result = taken[0];
    result.checkUse(&context, node);
    const model::BuiltinTypes& types = context.builtins();
    model::IRObject* boolType = model::asObject(types.boolType);
    const qestl::SmartPtr owner = context.frameOwner();
    const qestl::SmartPtr setTrue = codegen::makeInstructionWithTwoOperands(
        model::kOpMov, codegen::makeEaxOperand(boolType), model::makeImmediate(1, model::kImmBool));
    const qestl::SmartPtr setFalse = codegen::makeInstructionWithTwoOperands(
        model::kOpMov, codegen::makeEaxOperand(boolType), model::makeImmediate(0, model::kImmBool));
    // Taken when the comparison holds: over the move of false.
    model::cbircode jumpOver(jump, 1);
    codegen::setInstructionOperand(jumpOver, 0,
                                   model::Operand(static_cast<int64_t>(setFalse.as<model::cbircode>()->encodedSize())));
    result.appendInstruction(result.pending, *setTrue.as<model::cbircode>(), owner, node);
    result.appendInstruction(result.pending, jumpOver, owner, node);
    result.appendInstruction(result.pending, *setFalse.as<model::cbircode>(), owner, node);
    result.operand = codegen::makeEaxOperand(boolType);
    result.object = model::makeObject("", model::kKindVariable, types.boolType, 0);
    context.lookup().setResults(std::move(result));
}
