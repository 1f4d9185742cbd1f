// Conditions: the short-circuit operators, which leave a bool in register
// 0, and the front of every conditional statement, which compiles a
// condition and names the jump to emit. A comparison becomes its own `cmp`
// and the matching jump, with no bool in between.
#include <iterator>
#include <string_view>

#include "codegen/candidate_pickers.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/control_flow.h"
#include "statements/walk_state.h"

namespace {

model::Operand boolImmediate(bool value) { return model::makeImmediate(value ? 1 : 0, model::kImmBool); }

// May the value be stored in a bool? (Its type answers.)
bool isBoolValue(CompileContext& context, model::IRObject* object) {
    if (object == nullptr) return false;
    const qestl::SmartPtr type = object->valueType();
    return model::convertible(&context, model::asObject(type), context.builtins().boolType, true);
}

// One operand of && or ||: compiled, checked to be a bool, its code moved to
// the current list. False after an error (reported here, or already
// pending).
bool compileLogicalOperand(CompileContext& context, const StatementNode& node, model::IRResult& out) {
    compileStatement(context, node, false);
    if (context.diagnostics().hasErrors()) return false;
    RecycledValueList taken(context.lookup());
    context.lookup().exchangeResults(taken);
    if (taken.empty() || taken[0].objectPtr() == nullptr) {
        context.reportError(diag::NoOperandValue, node);
        return false;
    }
    out = taken[0];
    if (!isBoolValue(context, out.objectPtr())) {
        context.reportError(diag::NotBoolExpression, node);
        return false;
    }
    context.emitter().flushResult(out);
    out.checkUse(&context, node);
    return true;
}

// a && b (and) or a || b: each operand compared with the value that
// decides the outcome at once, both exits to the final move of it.
//   code of a; cmp a, K; je L; code of b; cmp b, K; je L;
//   mov eax, !K; jmp over L; L: mov eax, K
uint32_t compileShortCircuit(CompileContext& context, const StatementNode& left, const StatementNode& right,
                             const StatementNode& node, bool isAnd) {
    const bool decisive = !isAnd;  // the value that settles the outcome
    model::IRResult first;
    if (!compileLogicalOperand(context, left, first)) return 0;
    context.emitter().emit(
        codegen::makeInstructionWithTwoOperands(model::kOpCmp, first.operand, boolImmediate(decisive)), node);
    const qestl::SmartPtr firstExit = context.emitter().emit(codegen::makeJump(model::kOpJe, 0), node);

    first.applyObjectStates();
    model::IRResult second;
    const bool secondCompiled = compileLogicalOperand(context, right, second);
    first.restoreObjectStates();
    if (!secondCompiled) return 0;
    context.emitter().emit(
        codegen::makeInstructionWithTwoOperands(model::kOpCmp, second.operand, boolImmediate(decisive)), node);
    const qestl::SmartPtr secondExit = context.emitter().emit(codegen::makeJump(model::kOpJe, 0), node);

    model::IRObject* boolType = model::asObject(context.builtins().boolType);
    context.emitter().emit(makeResultMove(boolType, boolImmediate(!decisive)), node);
    const qestl::SmartPtr over = context.emitter().emit(codegen::makeJump(model::kOpJmp, 0), node);
    const qestl::SmartPtr settled = context.emitter().emit(makeResultMove(boolType, boolImmediate(decisive)), node);
    for (const qestl::SmartPtr& exit : {firstExit, secondExit}) {
        codegen::setInstructionOperand(*exit.as<model::cbircode>(), 0, control::instructionReference(settled, 0));
    }
    codegen::setInstructionOperand(*over.as<model::cbircode>(), 0,
                                   model::Operand(static_cast<int64_t>(settled.as<model::cbircode>()->encodedSize())));

    model::IRResult result(model::makeObject("", model::kKindVariable, context.builtins().boolType, 0),
                           codegen::makeEaxOperand(boolType));
    result.stateWord = isAnd ? model::kOpLogicalAnd : model::kOpLogicalOr;
    result.mergeObjectStatesFrom(first);
    result.mergeObjectStatesFrom(second);
    context.lookup().setResults(std::move(result));
    return 0;
}

struct ComparisonJump {
    std::string_view text;
    uint32_t holds;  // taken when the comparison holds
    uint32_t fails;  // taken when it fails
};

constexpr ComparisonJump kComparisonJumps[] = {
    {"<", model::kOpJb, model::kOpJnb},  {"<=", model::kOpJng, model::kOpJg}, {">", model::kOpJg, model::kOpJng},
    {">=", model::kOpJnb, model::kOpJb}, {"==", model::kOpJe, model::kOpJne}, {"!=", model::kOpJne, model::kOpJe},
};

}  // namespace

uint32_t compileLogicalNode(CompileContext& context, const StatementNode& node) {
    StatementNode left;
    StatementNode right;
    int32_t count = 0;
    const uint32_t code = classifyOperator(node, left, right, count);
    return compileShortCircuit(context, left, right, node, code == model::kOpLogicalAnd);
}

uint32_t compileConditionJump(CompileContext& context, const StatementNode& node, uint32_t& jumpOpcode, bool invert) {
    const bool comparison = operatorCodeOf(node) == model::kOpCmp;
    if (comparison) walkState(context).compareOnly = true;
    compileStatement(context, node, false);
    walkState(context).compareOnly = false;
    if (context.diagnostics().hasErrors()) return 1;

    model::IRResult* chosen = control::pickValue(context.lookup().resultsInPlace());
    if (chosen == nullptr) {
        qestl::qestringA listing;
        dumpScopeSymbols(context, context.lookup().candidates(), listing);
        context.reportError(diag::ObjectNotFound, node, listing);
        return 1;
    }
    model::IRObject* object = chosen->objectPtr();
    if (chosen->markerByte == 1) {
        const qestl::SmartPtr type = object->valueType();
        if (!type || !model::asObject(type)->sameType(model::asObject(context.builtins().boolType))) {
            context.reportError(diag::NotBoolExpression, node);
            return 1;
        }
    }
    jumpOpcode = 0;
    if (chosen->markerByte == 0 && comparison) {
        // The comparison emitted its cmp alone: the jump tests its flags.
        for (const ComparisonJump& row : kComparisonJumps) {
            if (row.text == node->text.view()) jumpOpcode = invert ? row.fails : row.holds;
        }
        if (jumpOpcode == 0) {
            context.reportError(diag::BadComparison, node);
            return 1;
        }
    } else {
        if (!isBoolValue(context, object)) {
            context.reportError(diag::NotBoolExpression, node);
            return 1;
        }
        jumpOpcode = invert ? model::kOpJne : model::kOpJe;
        chosen->appendInstruction(
            chosen->pending,
            codegen::makeInstructionWithTwoOperands(model::kOpCmp, chosen->operand, boolImmediate(true)),
            control::ownerFunction(context), node);
    }
    object->checkUse(&context, node);
    model::IRResult result = std::move(*chosen);
    context.lookup().setResults(std::move(result));
    return 0;
}
