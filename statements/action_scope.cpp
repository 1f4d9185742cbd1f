// The exits of an action scope: falling off the end pushes 0, each
// redirected target pushes a reference to its outer label; all jump to
// close_actionscope, which runs the cleanup and then leaves for what was
// pushed.
#include "statements/action_scope.h"

#include <vector>

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "model/opcodes.h"

namespace {

// Appended with the frame's owner and no source node.
qestl::SmartPtr appendBare(CompileContext& context, qestl::SmartPtr instruction) {
    return context.emitter().emit(std::move(instruction), model::NodeHandle());
}

qestl::SmartPtr appendExitJump(CompileContext& context, std::vector<qestl::SmartPtr>& exits) {
    qestl::SmartPtr jump = appendBare(context, codegen::makeJump(model::kOpJmp, 0));
    exits.push_back(jump);
    return jump;
}

}  // namespace

void openActionScope(CompileContext& context, ActionScope& scope) {
    scope.opening = appendBare(context, codegen::makeInstruction(model::kOpNewActionscope, 2));
    scope.start = context.emitter().current().size();
    context.emitter().inheritJumpScope(scope.jumps);
}

void closeActionScope(CompileContext& context, ActionScope& scope, CodeList* cleanup) {
    std::vector<qestl::SmartPtr> exits;
    appendBare(context, codegen::makePushIntImmediate(0));
    appendExitJump(context, exits);
    for (uint32_t kind : {kJumpReturn, kJumpBreak, kJumpContinue}) {
        if ((scope.jumps.mask() & kind) == 0) continue;
        model::Operand outer(0, model::kPendingLabel, 0);
        outer.linkTo(scope.jumps.savedList(kind));
        qestl::SmartPtr pad = appendBare(context, codegen::makeInstructionWithOperand(model::kOpPushRef, outer));
        appendExitJump(context, exits);
        scope.jumps.target(kind).setObjectRef(pad, 0);
    }
    qestl::SmartPtr cleanupEntry;
    if (cleanup != nullptr && !cleanup->empty()) {
        cleanupEntry = (*cleanup)[0];
        appendBare(context, codegen::makeJump(model::kOpJmp,
                                              static_cast<int64_t>(codegen::codeSize(*cleanup, 0, cleanup->size()))));
        context.emitter().appendCode(*cleanup);
    }
    appendBare(context, codegen::makeInstruction(model::kOpExitActionscope, 0));
    qestl::SmartPtr closing = appendBare(context, codegen::makeInstruction(model::kOpCloseActionscope, 1));

    CodeList& list = context.emitter().current();
    auto* opening = scope.opening.as<model::cbircode>();
    codegen::setInstructionOperand(
        *opening, 1, model::Operand(static_cast<int64_t>(codegen::codeSize(list, scope.start, list.size()))));
    for (qestl::SmartPtr& jump : exits) {
        model::Operand reference;
        reference.setObjectRef(closing, 0);
        codegen::setInstructionOperand(*jump.as<model::cbircode>(), 0, reference);
    }
    auto* close = closing.as<model::cbircode>();
    if (!cleanupEntry) {
        codegen::setInstructionOperand(*close, 0, model::Operand(0, model::kImmInt, model::kTypeInt));
    } else {
        model::Operand reference;
        reference.setObjectRef(cleanupEntry, 0);
        codegen::setInstructionOperand(*opening, 0, reference);
        codegen::setInstructionOperand(*close, 0, reference);
    }
    scope.jumps.restore(kJumpAll);
    context.bindLabels(scope.start, list.size());
}
