// while, do-while and the three-clause for. Each loop names its own break
// and continue targets while its body compiles; the jumps to them are bound
// once the loop's code is complete. A for loop is first offered to the
// counted-loop form, which the virtual machine runs itself.
#include "expressions/compile_expression.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/control_flow.h"
#include "statements/counted_loop.h"
#include "codegen/code_emitter.h"

namespace {

constexpr uint32_t kLoopJumps = kJumpBreak | kJumpContinue;

// The loop's exits once its code is in the current list: break just past
// it, continue at the instruction given.
void settleLoopLabels(CompileContext& context, JumpScope& scope, uint64_t continueIndex, uint64_t loopStart) {
    scope.target(kJumpBreak) = control::pastList(context.emitter().current());
    if (const qestl::SmartPtr target = context.emitter().codeAt(continueIndex)) {
        scope.target(kJumpContinue) = control::instructionReference(target, 0);
    }
    context.bindLabels(loopStart, context.emitter().current().size());
    scope.restore(kJumpAll);
}

// The jump back to the loop top, emitted into the body list; it is pointed
// at the top once the loop's code is in place.
void pointAt(const qestl::SmartPtr& jump, const qestl::SmartPtr& target) {
    if (jump && target) {
        codegen::setInstructionOperand(*jump.as<model::cbircode>(), 0, control::instructionReference(target, 0));
    }
}

// A call in a for condition runs on every pass: a tip, neither an error
// nor a warning.
void adviseCallInCondition(CompileContext& context, const StatementNode& condition) {
    if (const StatementNode call = findCallNode(condition))
        context.diagnostics().reportTip(diag::CallInCondition, call);
}

}  // namespace

StatementNode findCallNode(const StatementNode& node) {
    if (!node) return StatementNode();
    if (node->kind == NodeKind::Call) return node;
    for (const StatementNode& operand : node->operands) {
        if (StatementNode found = findCallNode(operand)) return found;
    }
    return StatementNode();
}

// The loop `while (c) s` (a While node).
uint32_t compileWhileLoop(CompileContext& context, const StatementNode& node) {
    const uint64_t mark = context.emitter().localMark();
    JumpScope scope;
    context.emitter().enterJumpScope(scope, kLoopJumps);
    const uint64_t loopStart = context.emitter().current().size();
    uint32_t jump = model::kOpJe;
    {
        control::LoopConditionMark inCondition(context);
        compileConditionJump(context, nodeChild(node, 0), jump, true);
    }
    if (context.diagnostics().hasErrors()) return 0;
    model::IRResult condition = control::takeCondition(context);
    control::openBranch(context, model::FlowNode::kAlternative, model::FlowNode::kLoopTakes, &condition);
    PrivateCodeList body(context.emitter());
    compileTree(context, nodeChild(node, 1));
    control::closeBranch(context);
    const qestl::SmartPtr back = control::emitJump(context, model::kOpJmp, model::Operand(0), node);
    body.resumeOuter();
    control::emitJump(context, jump, control::pastList(body.code), node);
    context.emitter().appendCode(body.code);
    pointAt(back, context.emitter().codeAt(loopStart));
    settleLoopLabels(context, scope, loopStart, loopStart);
    context.emitter().popLocals(mark);
    return 0;
}

// The classic loop `for (init; c; step)` (a For node).
uint32_t compileForLoop(CompileContext& context, const StatementNode& node) {
    const StatementNode condition = nodeChild(node, 1);
    const StatementNode step = nodeChild(node, 2);
    const uint64_t mark = context.emitter().localMark();
    const uint64_t loopStart = context.emitter().current().size();
    compileTree(context, nodeChild(node, 0));
    if (tryFastLoop(context, node, static_cast<uint32_t>(loopStart))) {
        context.emitter().popLocals(mark);
        return 0;
    }
    JumpScope scope;
    context.emitter().enterJumpScope(scope, kLoopJumps);
    uint32_t jump = model::kOpJe;
    const uint64_t conditionStart = context.emitter().current().size();
    if (condition) {
        adviseCallInCondition(context, condition);
        control::LoopConditionMark inCondition(context);
        compileConditionJump(context, condition, jump, true);
    } else {
        jump = 0;
    }
    if (context.diagnostics().hasErrors()) {
        context.emitter().popLocals(mark);
        return 0;
    }
    control::takeCondition(context);
    PrivateCodeList body(context.emitter());
    compileTree(context, nodeChild(node, 3));
    uint64_t stepIndex = body.outer().size() + body.code.size();
    if (step) {
        compileTree(context, step);
        if (context.diagnostics().hasErrors()) {
            context.emitter().popLocals(mark);
            return 0;
        }
    }
    const qestl::SmartPtr back = control::emitJump(context, model::kOpJmp, model::Operand(0), node);
    body.resumeOuter();
    if (jump != 0) {
        control::emitJump(context, jump, control::pastList(body.code), node);
        ++stepIndex;
    }
    context.emitter().appendCode(body.code);
    pointAt(back, context.emitter().codeAt(conditionStart));
    settleLoopLabels(context, scope, stepIndex, loopStart);
    context.emitter().popLocals(mark);
    return 0;
}

// The loop `do s while (c);` (a DoWhile node).
uint32_t compileDoWhileLoop(CompileContext& context, const StatementNode& node) {
    const uint64_t mark = context.emitter().localMark();
    JumpScope scope;
    context.emitter().enterJumpScope(scope, kLoopJumps);
    const uint64_t loopStart = context.emitter().current().size();
    control::openBranch(context, model::FlowNode::kAlternative, model::FlowNode::kLoopTakes, nullptr);
    compileTree(context, nodeChild(node, 0));
    control::closeBranch(context);
    uint32_t jump = model::kOpJe;
    const uint64_t conditionStart = context.emitter().current().size();
    {
        control::LoopConditionMark inCondition(context);
        compileConditionJump(context, nodeChild(node, 1), jump, false);
    }
    control::takeCondition(context);
    if (!context.emitter().current().empty()) {
        if (context.emitter().current().size() > loopStart && !context.diagnostics().hasErrors()) {
            control::emitJump(context, jump, control::instructionReference(context.emitter().codeAt(loopStart), 0),
                              node);
        }
        settleLoopLabels(context, scope, conditionStart, loopStart);
    }
    context.emitter().popLocals(mark);
    return 0;
}
