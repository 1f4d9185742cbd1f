// Choosing the one value an operand denotes.
#include "codegen/candidate_pickers.h"
#include "codegen/compile_context.h"
#include "expressions/compile_expression.h"
#include "statements/compile_walk.h"

namespace {

bool chooseIdentifier(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                      model::IRResult& result, const uint32_t* kinds, size_t kindCount, bool take) {
    model::IRResult* chosen = pickIdentifier(context, node, candidates, kinds, kindCount);
    if (chosen == nullptr) return false;
    if (take) result = std::move(*chosen);
    else result = *chosen;
    settleIdentifier(result, node);
    return true;
}

}  // namespace

model::IRResult* pickIdentifier(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                                const uint32_t* kinds, size_t kindCount) {
    // An operand's name nearly always has one candidate, and an operand
    // takes any kind: it is the one picked.
    if (candidates.size() == 1 && kindCount == 1 && kinds[0] == codegen::kAnyKind &&
        candidates[0].objectPtr() != nullptr)
        return &candidates[0];
    return pickSingleObject(context, candidates, node, kinds, kindCount);
}

void settleIdentifier(model::IRResult& result, const StatementNode& node) {
    model::IRObject* object = result.objectPtr();
    if (object != nullptr && object->hasConstantValue()) {
        // A named constant is used as its immediate: the code that would
        // load it (and reach its owner) is dropped. What it was reached
        // through (Shape in Shape.SIDES) is used all the same, also when
        // the value folds and no use check follows.
        object->checkUse(nullptr, node);
        result.operand = object->constantValue();
        object->ownerResult.clearCodeChain();
        result.pending.clear();
    }
}

bool resolveIdentifier(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                       model::IRResult& result, const uint32_t* kinds, size_t kindCount) {
    return chooseIdentifier(context, node, candidates, result, kinds, kindCount, false);
}

bool takeIdentifier(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                    model::IRResult& result, const uint32_t* kinds, size_t kindCount) {
    return chooseIdentifier(context, node, candidates, result, kinds, kindCount, true);
}
