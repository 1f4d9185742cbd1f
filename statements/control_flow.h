// What the control statements (conditions, if, ?:, loops, switch) share:
// operands that name a point in the code, the choice of one value among an
// expression's candidates, and the flow-tree steps around a branch.
#pragma once

#include <cstdint>

#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "statements/compile_walk.h"

namespace control {

// A reference to an instruction plus a displacement in bytes: 0 names its
// start, its encoded size the point just after it.
inline model::Operand instructionReference(const qestl::SmartPtr& instruction, int64_t displacement) {
    model::Operand reference;
    reference.setObjectRef(instruction, displacement);
    return reference;
}

// A label still to be bound: it takes whatever target `label` gets.
inline model::Operand labelReference(model::Operand* label) {
    model::Operand reference(0, model::kPendingLabel, 0);
    reference.linkTo(label);
    return reference;
}

// The point just past a finished list: a code offset of 0 for an empty one
// (the jump lands on what follows it anyway).
inline model::Operand pastList(const CodeList& list) {
    if (list.empty()) return model::Operand(0);
    const qestl::SmartPtr& last = list.back();
    return instructionReference(last, static_cast<int64_t>(last.as<model::cbircode>()->encodedSize()));
}

// Emits a jump of `opcode` to the operand.
inline qestl::SmartPtr emitJump(CompileContext& context, uint32_t opcode, const model::Operand& target,
                                const StatementNode& node) {
    return context.emitter().emit(codegen::makeInstructionWithOperand(opcode, target), node);
}

// The function the instructions being compiled belong to.
inline qestl::SmartPtr ownerFunction(const CompileContext& context) {
    return context.lookup().scopes().frame != nullptr ? context.lookup().scopes().frame->owner : qestl::SmartPtr();
}

// The one value among an expression's candidates: variables, functions and
// operators take part, the lowest address code wins, a tie forgets the best
// and the scan goes on. Null when none is left.
model::IRResult* pickValue(model::IRValueList& candidates);

// Compiles a value node and takes its candidates out of the context; false
// when an error is pending afterwards.
bool compileValue(CompileContext& context, const StatementNode& node, model::IRValueList& out);

// The reduction a loop applies to its variable, source or bound: "未定义的
// 标识符 " with the did-you-mean listing for no candidate, "对象不明确" with
// the candidates for no single best, both at `node`; a named constant
// becomes its immediate without load code. Null after reporting.
model::IRResult* pickLoopValue(CompileContext& context, model::IRValueList& candidates, const StatementNode& node);

// Opens a branch node of the flow tree (when a method is being compiled).
inline void openBranch(CompileContext& context, uint32_t kind, uint32_t mask, const model::IRResult* condition) {
    pushFlowNode(context, kind, mask, condition);
}
// Closes it and settles the exits of the node around it.
void closeBranch(CompileContext& context);
// Settles the exits of the current flow node.
void settleExits(CompileContext& context);

// Sets the loop-condition byte of the current flow node while it lives.
class LoopConditionMark {
public:
    explicit LoopConditionMark(CompileContext& context);
    ~LoopConditionMark();
    LoopConditionMark(const LoopConditionMark&) = delete;
    LoopConditionMark& operator=(const LoopConditionMark&) = delete;

private:
    model::FlowNode* flow_;
};

// Takes the condition result out of the context: when exactly one is left
// its code goes to the current list and it is handed back; else an empty
// result.
model::IRResult takeCondition(CompileContext& context);

}  // namespace control
