// A braced block: its statements in a list of their own, spliced in after
// them; its locals, and the variable a catch clause left pending for it, are
// gone after it.
#include "codegen/compile_context.h"
#include "statements/compile_walk.h"
#include "codegen/code_emitter.h"
#include "statements/walk_state.h"

void declarePendingBlockVariable(CompileContext& context) {
    qestl::SmartPtr& pending = walkState(context).pendingBlockVariable;
    if (!pending) return;
    qestl::SmartPtr variable = std::move(pending);
    pending.reset();
    context.lookup().scopes().declareObject(model::asObject(variable)->name.view(), variable, false);
}

// The block `{ ... }` (a Block node).
uint32_t compileBlock(CompileContext& context, const StatementNode& node) {
    const CodeEmitter::LocalsMark locals(context.emitter());
    declarePendingBlockVariable(context);
    PrivateCodeList list(context.emitter());
    for (const StatementNode& statement : node->operands) compileTree(context, statement);
    list.spliceIntoOuter();
    return 0;
}
