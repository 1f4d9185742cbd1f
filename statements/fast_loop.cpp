// The loop instruction shared by the counted and collection loops, and the
// recogniser of three-clause loops the virtual machine can count itself:
// for(init; a OP b; c++ or c--) with plain operands becomes one JLOOP 105
// that carries a, b, the comparison, c and the direction.
#include <iterator>

#include "declare/declaration_entries.h"
#include "expressions/compile_expression.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/control_flow.h"
#include "statements/counted_loop.h"

namespace {

// The encoded size of a loop instruction: opcode and 7 operands.
constexpr int64_t kLoopInstructionSize = 4 + 7 * 12;

bool isPlainOperandNode(const StatementNode& node) {
    return node && (node->kind == NodeKind::Name || node->kind == NodeKind::IntegerLiteral ||
                    node->kind == NodeKind::FloatLiteral);
}

// May a byte be stored in the value? (The counter and its bound count.)
bool acceptsByte(CompileContext& context, const model::IRResult& value) {
    model::IRObject* object = value.objectPtr();
    if (object == nullptr) return false;
    return model::convertible(&context, model::asObject(context.builtins().byteType), object->valueType(), true);
}

// The one value a name may denote, as the loop would read it; null when
// it denotes none, several equally, or a register.
bool resolvesToPlainValue(CompileContext& context, const StatementNode& node, bool registerAllowed) {
    resolveTypeReference(context, node);
    model::IRValueList found;
    context.lookup().takeResults(found);
    const model::IRResult* chosen = control::pickValue(found);
    if (chosen == nullptr) return false;
    if (!registerAllowed && chosen->operand.kind == model::kRegister) return false;
    return acceptsByte(context, *chosen);
}

// Code still to run before the value can be read, its own or of the
// objects it is reached through.
bool hasPendingCode(const model::IRResult& value) {
    if (!value.pending.empty()) return true;
    model::IRObject* object = value.objectPtr();
    for (int depth = 0; depth < 64; ++depth) {
        if (object == nullptr) return false;
        if (object->ownerResult.hasPendingCode()) return true;
        object = object->ownerResult.objectPtr();
    }
    return true;
}

// Compiles an operand node and keeps its one value; false when it has
// none or an error was counted.
bool compileLoopOperand(CompileContext& context, const StatementNode& node, model::IRResult& out) {
    model::IRValueList taken;
    if (!control::compileValue(context, node, taken)) return false;
    const model::IRResult* chosen = control::pickValue(taken);
    if (chosen == nullptr) return false;
    out = *chosen;
    return true;
}

}  // namespace

model::Operand comparisonKindOf(std::string_view text) {
    static constexpr std::string_view kTexts[] = {"==", "!=", "<", ">", "<=", ">="};
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        if (kTexts[i] == text) return model::Operand(static_cast<int64_t>(i), model::kListedCC, model::kTypeInt);
    }
    return model::Operand(33, model::kErrorOperand, model::kTypeInt);
}

void emitCountedLoop(CompileContext& context, PrivateCodeList& list, const model::cbircode& loop,
                     const StatementNode& source, const StatementNode& body, uint64_t codeMark) {
    JumpScope scope;
    context.emitter().enterJumpScope(scope, kJumpAll);
    const qestl::SmartPtr instruction = context.emitter().emitCopyOf(loop, source);
    compileTree(context, body);
    const model::NodeHandle none;
    context.emitter().emit(codegen::makeJspin(), none);
    const qestl::SmartPtr jbreak = context.emitter().emit(codegen::makeJbreak(), none);
    const qestl::SmartPtr jcontinue = context.emitter().emit(codegen::makeJcontinue(), none);
    const qestl::SmartPtr jret = context.emitter().emit(codegen::makeJret(), none);
    scope.target(kJumpBreak) = control::instructionReference(jbreak, 0);
    scope.target(kJumpReturn) = control::instructionReference(jret, 0);
    scope.target(kJumpContinue) = control::instructionReference(jcontinue, 0);
    model::Operand* outerReturn = scope.savedList(kJumpReturn);
    const int64_t following = static_cast<int64_t>(codegen::codeSize(list.code, 0, list.code.size())) - kLoopInstructionSize;
    auto* loopInstruction = instruction.as<model::cbircode>();
    codegen::setInstructionOperand(*loopInstruction, 5, model::Operand(following));
    list.spliceIntoOuter();
    scope.restore(kJumpAll);
    codegen::setInstructionOperand(*loopInstruction, 6, control::labelReference(outerReturn));
    context.bindLabels(codeMark, context.emitter().current().size());
}

bool tryFastLoop(CompileContext& context, const StatementNode& node, uint32_t codeMark) {
    const StatementNode condition = nodeChild(node, 1);
    const StatementNode step = nodeChild(node, 2);
    if (!condition || !step || !step->children.empty()) return false;
    if (condition->kind != NodeKind::Expression) return false;
    StatementNode left;
    StatementNode right;
    int32_t count = 0;
    if (classifyOperator(condition, left, right, count) != model::kOpCmp || !left || !right) return false;
    if (!isPlainOperandNode(left) || !resolvesToPlainValue(context, left, false)) return false;
    if (!resolvesToPlainValue(context, right, false)) return false;
    StatementNode stepLeft;
    StatementNode stepRight;
    const uint32_t stepCode = classifyOperator(step, stepLeft, stepRight, count);
    if (stepCode < model::kOpFinc || stepCode > model::kOpBdec) return false;
    const StatementNode counted = stepLeft ? stepLeft : stepRight;
    if (!isPlainOperandNode(counted) || !resolvesToPlainValue(context, counted, true)) return false;
    const model::Operand comparison = comparisonKindOf(condition->text.view());
    if (comparison.kind == model::kErrorOperand) return false;

    PrivateCodeList list(context.emitter());
    model::IRResult first;
    model::IRResult bound;
    model::IRResult stepped;
    if (!compileLoopOperand(context, left, first) || !compileLoopOperand(context, right, bound)) return false;
    model::IRValueList stepValues;
    compileStatement(context, counted, false);
    context.lookup().takeResults(stepValues);
    if (context.diagnostics().hasErrors()) return false;
    const model::IRResult* chosenStep = control::pickValue(stepValues);
    if (chosenStep == nullptr) return false;
    stepped = *chosenStep;
    // The instruction reads the bound and the counter on every pass: code
    // that computes them would be lost.
    if (hasPendingCode(bound) || hasPendingCode(stepped)) return false;
    context.emitter().flushResult(first);

    model::cbircode loop(model::kOpJLoop, 7);
    codegen::setInstructionOperand(loop, 0, first.operand);
    codegen::setInstructionOperand(loop, 1, bound.operand);
    codegen::setInstructionOperand(loop, 2, comparison);
    codegen::setInstructionOperand(loop, 3, stepped.operand);
    const bool upward = stepCode == model::kOpFinc || stepCode == model::kOpBinc;
    codegen::setInstructionOperand(loop, 4, model::Operand(upward ? 1 : 0, model::kListedCC, model::kTypeInt));
    emitCountedLoop(context, list, loop, node, nodeChild(node, 3), codeMark);
    first.checkUse(&context, left);
    bound.checkUse(&context, right);
    stepped.checkUse(&context, counted);
    return true;
}
