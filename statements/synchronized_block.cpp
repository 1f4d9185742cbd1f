// synchronized, synchronized_read and synchronized_write: the lock is taken
// inside an action scope whose cleanup is the matching unlock, so every way
// out of the block releases it. One object keeps one lock record for the
// whole program; exclusive and read/write locking of one object do not mix.
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/action_scope.h"
#include "statements/compile_walk.h"

namespace {

struct LockOpcodes {
    uint32_t lock;
    uint32_t unlock;
};

LockOpcodes lockOpcodesOf(uint32_t kind) {
    switch (kind) {
    case model::kLockRead: return {model::kOpLockread, model::kOpUnlockread};
    case model::kLockWrite: return {model::kOpLockwrite, model::kOpUnlockwrite};
    default: return {model::kOpLock, model::kOpUnlock};
    }
}

// The one object among the candidates; null after reporting.
model::IRResult* pickLockObject(CompileContext& context, model::IRValueList& candidates, const StatementNode& at) {
    if (candidates.empty()) {
        qestl::qestringA listing;
        appendDidYouMean(context, listing, at);
        context.reportError(diag::UndefinedIdentifier, at, listing);
        return nullptr;
    }
    model::IRResult* found = nullptr;
    for (model::IRResult& candidate : candidates) {
        model::IRObject* object = candidate.objectPtr();
        if (object == nullptr || !object->isKind(model::kKindVariable)) continue;
        if (found != nullptr) {
            qestl::qestringA listing;
            dumpScopeSymbols(context, candidates, listing);
            context.reportError(diag::AmbiguousTarget, at, listing);
            return nullptr;
        }
        found = &candidate;
    }
    if (found == nullptr) context.reportError(diag::UndefinedName, at);
    return found;
}

bool lockableType(const model::IRObject* type) {
    if (type == nullptr) return false;
    for (model::Builtin refused :
         {model::Builtin::Byte, model::Builtin::Char, model::Builtin::Short, model::Builtin::Int, model::Builtin::Long,
          model::Builtin::Float, model::Builtin::Double, model::Builtin::String}) {
        if (model::isBuiltin(type, refused)) return false;
    }
    return true;
}

}  // namespace

// The block `synchronized`, `synchronized_read` or `synchronized_write` (x) { ... }.
uint32_t compileSynchronizedBlock(CompileContext& context, const StatementNode& node) {
    if (node->operands.empty()) return 0;
    const StatementNode& target = node->operands[0];
    compileStatement(context, target, false);
    if (context.diagnostics().hasErrors()) return 0;
    model::IRValueList candidates;
    context.lookup().takeResults(candidates);
    model::IRResult* lockObject = pickLockObject(context, candidates, target);
    if (lockObject == nullptr) return 0;
    model::IRObject* object = lockObject->objectPtr();
    const qestl::SmartPtr valueType = object->valueType();
    if (!lockableType(model::asObject(valueType))) {
        context.reportError(diag::NotLockable, node);
        return 0;
    }
    lockObject->checkUse(&context, target);
    const uint32_t kind = node->kind;
    const model::Operand lockRecord = object->lockInstruction(context, kind, target);
    if (lockRecord.kind == model::kErrorOperand) {
        context.reportError(diag::LockKindMixed, target);
        return 0;
    }
    ActionScope scope;
    openActionScope(context, scope);
    const LockOpcodes opcodes = lockOpcodesOf(kind);
    context.emitter().flushResult(*lockObject);
    context.emitter().emit(codegen::makeInstructionWithOperand(opcodes.lock, lockRecord), node);
    if (node->operands.size() >= 2) {
        const uint64_t mark = context.emitter().localMark();
        compileTree(context, node->operands[1]);
        // The compilation fails anyway: the scope stays open.
        if (context.diagnostics().hasErrors()) return 0;
        context.emitter().popLocals(mark);
    }
    CodeList cleanup;
    qestl::SmartPtr unlock = model::adoptLive(new model::cbircode(opcodes.unlock, 0));
    unlock.as<model::cbircode>()->setSource(context.lookup().scopes().frame->owner, node);
    cleanup.pushBack(unlock);
    closeActionScope(context, scope, &cleanup);
    return 0;
}
