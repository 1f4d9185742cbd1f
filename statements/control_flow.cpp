// The pieces the control statements share (statements/control_flow.h).
#include "statements/control_flow.h"

#include <iterator>

#include "codegen/candidate_pickers.h"
#include "statements/compile_walk.h"

namespace control {

model::IRResult* pickValue(model::IRValueList& candidates) {
    static constexpr uint32_t kValueKinds[] = {model::kKindVariable, model::kKindFunction, model::kKindOperator};
    model::IRResult* chosen = nullptr;
    codegen::pickBestOverloadForArgs(candidates, kValueKinds, std::size(kValueKinds), chosen);
    return chosen;
}

bool compileValue(CompileContext& context, const StatementNode& node, model::IRValueList& out) {
    compileStatement(context, node, false);
    out.clear();
    context.lookup().takeResults(out);
    return !context.diagnostics().hasErrors();
}

model::IRResult* pickLoopValue(CompileContext& context, model::IRValueList& candidates, const StatementNode& node) {
    model::IRResult* chosen = pickSingleObject(context, candidates, node);
    if (chosen == nullptr) return nullptr;
    model::IRObject* object = chosen->objectPtr();
    if (object != nullptr && object->hasConstantValue()) {
        chosen->operand = object->constantValue();
        chosen->clearCodeChain();
    }
    return chosen;
}

void settleExits(CompileContext& context) {
    if (context.emitter().function() != nullptr && context.emitter().function()->currentFlow != nullptr) {
        resolveBlockExits(*context.emitter().function()->currentFlow);
    }
}

void closeBranch(CompileContext& context) {
    popFlowNode(context);
    settleExits(context);
}

LoopConditionMark::LoopConditionMark(CompileContext& context)
    : flow_(context.emitter().function() != nullptr ? context.emitter().function()->currentFlow : nullptr) {
    if (flow_ != nullptr) flow_->loopCondition = 1;
}

LoopConditionMark::~LoopConditionMark() {
    if (flow_ != nullptr) flow_->loopCondition = 0;
}

model::IRResult takeCondition(CompileContext& context) {
    model::IRValueList taken;
    context.lookup().takeResults(taken);
    if (taken.size() != 1) return model::IRResult();
    context.emitter().flushResult(taken[0]);
    return taken[0];
}

}  // namespace control
