// Operator expressions on built-in values: the operands compiled and reduced
// to one value each, an overloaded operator given the first chance, the
// operand check (which may fold two constants), then one instruction whose
// opcode is the operator code, its value left in register 0.
#include <optional>

#include "codegen/candidate_pickers.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "expressions/operand_checks.h"
#include "expressions/stores.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

using Checker = bool (*)(CompileContext&, uint32_t, int32_t, const model::IRResult&, const model::IRResult&,
                         qestl::SmartPtr&, const StatementNode&);

Checker checkerFor(uint32_t code) {
    switch (code) {
    case model::kOpLoadElement: return expressions::foldArraySubscript;
    case model::kOpShl:
    case model::kOpShr:
    case model::kOpMod:
    case model::kOpAnd:
    case model::kOpOr:
    case model::kOpXor: return expressions::foldIntegerOperator;
    case model::kOpAdd:
    case model::kOpSub:
    case model::kOpMul:
    case model::kOpDiv: return expressions::foldArithmetic;
    case model::kOpCmp: return expressions::foldComparison;
    case model::kOpNot: return expressions::foldBitwiseNot;
    default: return nullptr;
    }
}

qestl::SmartPtr valueTypeOf(const model::IRResult& value) {
    const model::IRObject* object = value.objectPtr();
    return object != nullptr ? object->valueType() : qestl::SmartPtr();
}

// "!" and increments check their one operand here: the result type, or
// empty after reporting.
qestl::SmartPtr checkOneOperand(CompileContext& context, uint32_t code, int32_t values, const model::IRResult& value,
                                const StatementNode& node) {
    if (values != 1) {
        context.reportError(diag::MissingOperand, node);
        return qestl::SmartPtr();
    }
    qestl::SmartPtr type = valueTypeOf(value);
    if (code == model::kOpCpl) {
        if (!model::isBuiltin(model::asObject(type), model::Builtin::Bool)) {
            context.reportError(diag::NotBoolOperand, node);
            return qestl::SmartPtr();
        }
    } else if (!isIntegralType(model::asObject(type))) {
        context.reportError(diag::NoIncrementType, node);
        return qestl::SmartPtr();
    }
    return type;
}

}  // namespace

bool compileToCandidates(CompileContext& context, const StatementNode& node, model::IRValueList& out) {
    out.clear();
    // What the expression emits while it is compiled (a choice, a short
    // circuit) belongs to its value, not to the list being built: it runs
    // where the caller places the value, after the code pending before it.
    CodeList scratch;
    {
        CodeEmitter::ListScope inScratch(context.emitter(), scratch);
        compileStatement(context, node, false);
    }
    if (context.diagnostics().hasErrors()) {
        codegen::dropCodeList(scratch);
        return false;
    }
    if (context.lookup().candidates().empty()) {
        codegen::dropCodeList(scratch);
        qestl::qestringA listing;
        appendDidYouMean(context, listing, node);
        context.reportError(diag::UndefinedIdentifier, node, listing);
        return false;
    }
    context.lookup().exchangeResults(out);
    if ((node->flags & NodeFlag::ByReference) != 0) {
        for (model::IRResult& candidate : out) candidate.addressOf = 1;
    }
    if (scratch.empty()) return true;
    if (out.size() > 1) {
        codegen::dropCodeList(scratch);
        context.reportError(diag::ObjectUndetermined, node);
        return false;
    }
    out[0].pending.insertRange(0, scratch.data(), scratch.size());
    return true;
}

namespace {

// settleIdentifier, asked only of a named constant, the one value it
// changes: every operand of an operator is settled.
void settleOperand(model::IRResult& value, const StatementNode& node) {
    const model::IRObject* object = value.objectPtr();
    if (object != nullptr && object->hasConstantValue()) settleIdentifier(value, node);
}

// compileOperatorNode's work, written out in compileExpression too: every
// operator node passes here.
[[gnu::always_inline]] inline void compileOperatorHere(CompileContext& context, uint32_t code, int32_t count,
                                                       const StatementNode& firstNode, const StatementNode& secondNode,
                                                       model::IRValueList& first, model::IRValueList& second,
                                                       const StatementNode& node) {
    // The first list is read no more: its value is worked on where it lies.
    // A value of its own is made only for an operator without a first
    // operand (most have one, and a result is some forty words to clear).
    std::optional<model::IRResult> ownLeft;
    model::IRResult* leftValue = nullptr;
    int32_t values = 0;
    const uint32_t anyKind = codegen::kAnyKind;
    if (firstNode) {
        leftValue = pickIdentifier(context, firstNode, first, &anyKind, 1);
        if (leftValue == nullptr) return;
        settleOperand(*leftValue, firstNode);
        ++values;
    } else {
        leftValue = &ownLeft.emplace();
    }
    model::IRResult& left = *leftValue;
    // The second list is an overload's argument, read again only when the
    // first operand's class declares the operator: a named constant's value,
    // which settling changes, is settled in a copy then; any other value is
    // worked on where it lies (settling leaves it as it is, and the list is
    // read no more without an overload).
    model::IRResult* chosen = nullptr;
    if (secondNode && values == 0) {
        if (!resolveIdentifier(context, secondNode, second, left, &anyKind, 1)) return;
        ++values;
    } else if (secondNode) {
        chosen = pickIdentifier(context, secondNode, second, &anyKind, 1);
        if (chosen == nullptr) return;
        ++values;
    }
    const bool overloaded = operatorOverloadDeclaredOn(context, left, node);
    // Made only when the list's value is copied, or there is none.
    std::optional<model::IRResult> copiedRight;
    const bool picked = chosen != nullptr;
    if (picked && overloaded && count == 2 && chosen->objectPtr() != nullptr && chosen->objectPtr()->hasConstantValue())
        chosen = &copiedRight.emplace(*chosen);
    model::IRResult& right = picked ? *chosen : copiedRight.emplace();
    if (picked) settleOperand(right, secondNode);
    if (overloaded) {
        // Both are moved to the overload's call, which takes them: a call
        // that fails reports why, and the operator gives up.
        model::IRValueList leftValues;
        if (values >= 1) leftValues.pushBack(std::move(left));
        IRValueListArray arguments;
        if (count == 2) arguments.push_back(std::move(second));
        callOperatorOverload(context, leftValues, arguments, node, true, &firstNode);
        return;
    }
    if (context.diagnostics().hasErrors()) return;

    qestl::SmartPtr resultType;
    if (code == model::kOpCpl || (code >= model::kOpFinc && code <= model::kOpBdec)) {
        resultType = checkOneOperand(context, code, values, left, node);
        if (!resultType) return;
    } else if (Checker checker = checkerFor(code)) {
        if (!checker(context, code, values, right, left, resultType, node)) return;
    }

    // The operator's value, made where the lookup's results keep it: the
    // operands lie in lists of their own, and nothing below looks a name up.
    model::IRResult& result = context.lookup().setResultInPlace(
        model::makeObject("", model::kKindVariable, resultType, 0));
    // Code that reached the right operand's object runs before the right
    // operand's own.
    if (values == 2) expressions::takeOwnerCode(right);
    qestl::SmartPtr restoreLeft;
    if (values == 2 && left.operand.kind == model::kRegister && !right.pending.empty()) {
        // The right operand's code may overwrite the register holding the
        // left value: save it on the stack and read it back into ecx.
        const qestl::SmartPtr owner = context.frameOwner();
        left.appendInstruction(left.pending, codegen::makeInstructionWithOperand(model::kOpPush, left.operand), owner,
                               firstNode);
        restoreLeft = codegen::makePopRegister(model::kEcx, model::asObject(valueTypeOf(left)));
        left.operand = codegen::makeEcxOperand(model::asObject(valueTypeOf(left)));
    }
    // The operands' states are the result's now; their code goes to it once
    // their uses are checked, which read where that code starts.
    left.prependOwnerCode();
    if (!left.states.empty()) result.mergeObjectStatesFrom(left);
    if (!right.states.empty()) result.mergeObjectStatesFrom(right);
    result.stateWord = right.stateWord;

    const bool negation = values == 1 && code == model::kOpSub;
    // Made where the result keeps it, rather than copied there.
    qestl::SmartPtr made = codegen::makeInstruction(code, negation ? 2 : values);
    model::cbircode& instruction = *made.as<model::cbircode>();
    if (negation) {
        codegen::setInstructionOperand(instruction, 0, model::Operand(0, model::kImmInt, model::kTypeInt));
        codegen::setInstructionOperand(instruction, 1, left.operand);
        left.checkUse(&context, firstNode);
    } else {
        if (values >= 1) {
            codegen::setInstructionOperand(instruction, 0, left.operand);
            left.checkUse(&context, firstNode);
        }
        if (values == 2) {
            codegen::setInstructionOperand(instruction, 1, right.operand);
            right.checkUse(&context, secondNode);
        }
    }
    if (code == model::kOpCpl) expressions::recordNotStates(result, left);
    else if (code == model::kOpCmp) expressions::recordComparisonStates(context, result, left, right, node);
    // Moved rather than copied: the operands are read no more.
    if (!left.pending.empty()) result.pending.appendTaken(left.pending);
    if (!right.pending.empty()) result.pending.appendTaken(right.pending);
    if (restoreLeft) result.appendInstructionRef(restoreLeft);
    const qestl::SmartPtr owner = context.frameOwner();
    result.appendInstruction(result.pending, std::move(made), owner, node);
    result.operand = codegen::makeEaxOperand(model::asObject(resultType));
}

}  // namespace

void compileOperatorNode(CompileContext& context, uint32_t code, int32_t count, const StatementNode& firstNode,
                         const StatementNode& secondNode, model::IRValueList& first, model::IRValueList& second,
                         const StatementNode& node) {
    compileOperatorHere(context, code, count, firstNode, secondNode, first, second, node);
}

void compileExpression(CompileContext& context, const StatementNode& node) {
    StatementNode firstNode;
    StatementNode secondNode;
    int32_t count = 0;
    const uint32_t code = classifyOperator(node, firstNode, secondNode, count);
    RecycledValueList first(context.lookup());
    RecycledValueList second(context.lookup());
    if (firstNode && !compileToCandidates(context, firstNode, first)) return;
    if (secondNode && !compileToCandidates(context, secondNode, second)) return;
    compileOperatorHere(context, code, count, firstNode, secondNode, first, second, node);
}
