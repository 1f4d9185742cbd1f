// try, catch and finally. The body runs in a protected region whose every
// way out lands on a `uist seh` of its exit code (0 falling off, 1 return,
// 2 break, 3 continue) and then on `setef`; each `jex` after it carries one
// exit on to the target outside. A clause's `mapseh` names its class and the
// distance to its handler; `finally` runs from the `inst seh` label and
// leaves through `exit_finally`.
#include <array>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "model/candidate_rank.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/control_flow.h"
#include "statements/walk_state.h"

namespace {

constexpr std::array<uint32_t, 3> kExitKinds{kJumpReturn, kJumpBreak, kJumpContinue};
constexpr uint32_t kFinallyFlags = kFunctionInFinally | kFunctionNoBreak | kFunctionNoContinue;

// One instruction per exit code 0..3, empty where an exit was not taken.
using RegionRecord = std::array<qestl::SmartPtr, 4>;

uint32_t exitCodeOf(uint32_t kind) { return kind == kJumpReturn ? 1 : kind == kJumpBreak ? 2 : 3; }

using control::labelReference;

void pointAt(const qestl::SmartPtr& instruction, size_t operand, const qestl::SmartPtr& target) {
    codegen::setInstructionOperand(*instruction.as<model::cbircode>(), operand, control::instructionReference(target, 0));
}

qestl::SmartPtr appendBare(CompileContext& context, qestl::SmartPtr instruction) {
    return context.emitter().emit(std::move(instruction), model::NodeHandle());
}

void openFlow(CompileContext& context, uint32_t kind) { control::openBranch(context, kind, 0, nullptr); }

// The classes a catch type names. Until the declaration pass's type
// resolution lands, the type node is looked up like any name.
void resolveCatchType(CompileContext& context, const StatementNode& typeNode, model::IRValueList& out) {
    compileStatement(context, typeNode, true);
    context.lookup().takeResults(out);
}

// The protected region: `inst seh`, the body, the landing pads.
void emitTryJumps(CompileContext& context, const StatementNode& body, uint32_t catchCount, model::Operand* finallyLabel,
                  RegionRecord& landings, RegionRecord& jumps) {
    JumpScope region;
    context.emitter().inheritJumpScope(region);
    const uint64_t mark = context.emitter().localMark();
    const model::Operand second =
        finallyLabel != nullptr ? labelReference(finallyLabel) : model::Operand(0, model::kImmInt, model::kTypeInt);
    appendBare(context, codegen::makeInstructionWithTwoOperands(
                            model::kOpInstSeh, model::Operand(catchCount, model::kImmInt, model::kTypeInt), second));
    const uint64_t start = context.emitter().current().size();
    openFlow(context, finallyLabel != nullptr ? model::FlowNode::kAlternativeB : model::FlowNode::kAlternative);
    compileTree(context, body);
    control::closeBranch(context);
    context.emitter().popLocals(mark);
    landings[0] = appendBare(context, codegen::makeInstructionWithOperand(
                                          model::kOpUistSeh, model::Operand(0, model::kImmInt, model::kTypeInt)));
    jumps[0] = appendBare(context, codegen::makeJump(model::kOpJmp, 0));
    for (uint32_t kind : kExitKinds) {
        if ((region.mask() & kind) == 0) continue;
        const uint32_t code = exitCodeOf(kind);
        landings[code] = appendBare(context, codegen::makeInstructionWithOperand(
                                                 model::kOpUistSeh, model::Operand(code, model::kImmInt, model::kTypeInt)));
        jumps[code] = appendBare(context,
                                 codegen::makeInstructionWithOperand(model::kOpJmp, labelReference(region.savedList(kind))));
        region.target(kind).setObjectRef(landings[code], 0);
    }
    region.restore(kJumpAll);
    context.bindLabels(start, context.emitter().current().size());
}

// The first pass over one clause: its `mapseh`, or null after reporting.
qestl::SmartPtr mapClause(CompileContext& context, const StatementNode& tryNode, const StatementNode& clause) {
    if (!clause) {
        context.reportError(diag::CatchMissing, tryNode);
        return qestl::SmartPtr();
    }
    const StatementNode typeNode = clause->operands.empty() ? StatementNode() : clause->operands[0];
    if (!typeNode) {
        context.reportError(diag::CatchTypeWrong, tryNode);
        return qestl::SmartPtr();
    }
    model::IRValueList candidates;
    resolveCatchType(context, typeNode, candidates);
    const model::IRResult* accepted = nullptr;
    for (const model::IRResult& candidate : candidates) {
        if (accepted != nullptr) {
            qestl::qestringA listing;
            dumpScopeSymbols(context, candidates, listing);
            context.reportError(diag::AmbiguousObject, typeNode, listing);
            return qestl::SmartPtr();
        }
        model::IRObject* object = candidate.objectPtr();
        if (object != nullptr && model::convertible(&context, object, context.builtins().exceptionType, true)) {
            accepted = &candidate;
        }
    }
    // A clause of no exception class would leave a handler no `mapseh`
    // leads to.
    if (accepted == nullptr) {
        context.reportError(diag::CatchTypeWrong, typeNode);
        return qestl::SmartPtr();
    }
    context.noteThrownType(accepted->object);
    return context.emitter().emit(codegen::makeMapseh(accepted->operand), typeNode);
}

// The class of a clause's second resolution: the lowest rank.
const model::IRResult* pickCatchClass(const model::IRValueList& candidates) {
    const model::IRResult* best = nullptr;
    model::CandidateRank bestScore;
    bool tie = false;
    for (const model::IRResult& candidate : candidates) {
        const model::CandidateRank score = model::rankOf(candidate);
        if (best == nullptr || score < bestScore) {
            best = &candidate;
            bestScore = score;
            tie = false;
        } else if (score == bestScore) {
            tie = true;
        }
    }
    return tie ? nullptr : best;
}

// The flow node the statement's parts open theirs in; null outside a body.
model::FlowNode* statementFlow(CompileContext& context) {
    FunctionCompileState* state = context.emitter().function();
    return state != nullptr ? state->currentFlow : nullptr;
}

// Do the body and every handler, the parts opened from `first` on, all end
// their paths (a return or a throw)? A clause without a handler falls
// through.
bool everyPartLeaves(const model::FlowNode& around, size_t first, size_t clauseCount) {
    if (around.children.size() - first != clauseCount + 1) return false;
    constexpr uint32_t kLeaves = model::FlowNode::kExitReturns | model::FlowNode::kExitTerminates;
    for (size_t i = first; i < around.children.size(); ++i)
        if ((around.children[i].sealedBits & kLeaves) == 0) return false;
    return true;
}

// The `finally` block compiled alone, for a try without a body.
void compileLoneFinally(CompileContext& context, const StatementNode& block) {
    const uint64_t mark = context.emitter().localMark();
    openFlow(context, model::FlowNode::kSequence);
    compileTree(context, block);
    control::closeBranch(context);
    context.emitter().popLocals(mark);
}

}  // namespace

// The statement `try { } catch (T e) { } finally { }` (a Try node).
uint32_t compileTryStatement(CompileContext& context, const StatementNode& node) {
    const auto operand = [&node](size_t i) { return i < node->operands.size() ? node->operands[i] : StatementNode(); };
    const StatementNode body = operand(0);
    const StatementNode catches = operand(1);
    const StatementNode finallyBlock = operand(2);
    if (!body) {
        if (finallyBlock) compileLoneFinally(context, finallyBlock);
        return 0;
    }
    JumpScope statement;
    context.emitter().inheritJumpScope(statement);
    const size_t clauseCount = catches ? catches->operands.size() : 0;
    std::vector<qestl::SmartPtr> mapsehs(clauseCount);
    std::vector<uint64_t> afterMapseh(clauseCount);
    const uint64_t start = context.emitter().current().size();
    context.beginThrowScope();

    for (size_t i = 0; i < clauseCount; ++i) {
        mapsehs[i] = mapClause(context, node, catches->operands[i]);
        if (!mapsehs[i]) return 0;
        afterMapseh[i] = context.emitter().current().size();
    }
    model::Operand finallyLabel;
    RegionRecord landings, jumps;
    model::FlowNode* around = statementFlow(context);
    const size_t firstPart = around != nullptr ? around->children.size() : 0;
    emitTryJumps(context, body, static_cast<uint32_t>(clauseCount), finallyBlock ? &finallyLabel : nullptr, landings,
                 jumps);
    if ((context.lookup().scopes().declarationMode() & 1) != 0) {
        model::IRObject* owner = model::asObject(context.lookup().scopes().frame->owner);
        if (owner != nullptr && owner->isFunction()) static_cast<model::FunctionObject*>(owner)->popCatchScope();
    }
    if (context.diagnostics().hasErrors()) return 0;

    for (size_t i = 0; i < clauseCount; ++i) {
        const uint64_t handlerStart = context.emitter().current().size();
        const StatementNode& clause = catches->operands[i];
        const StatementNode& typeNode = clause->operands[0];
        model::IRValueList candidates;
        resolveCatchType(context, typeNode, candidates);
        const model::IRResult* chosen = pickCatchClass(candidates);
        if (chosen == nullptr) {
            context.reportError(diag::UndefinedName, typeNode);
            return 0;
        }
        walkState(context).pendingBlockVariable = model::makeObject(clause->text.view(), model::kKindVariable,
                                                                    chosen->object, 0);
        // Its warnings (never used) point at the clause that declares it.
        model::asObject(walkState(context).pendingBlockVariable)->setDeclarationNode(clause);
        const StatementNode handler = clause->operands.size() > 1 ? clause->operands[1] : StatementNode();
        if (handler) {
            const uint64_t mark = context.emitter().localMark();
            // A handler written as statements, not a block node, declares
            // its variable here.
            if (handler->kind != NodeKind::Block) declarePendingBlockVariable(context);
            const bool catchesAll = model::isBuiltin(chosen->objectPtr(), model::Builtin::Exception);
            openFlow(context, catchesAll ? model::FlowNode::kClosingAlternative : model::FlowNode::kAlternative);
            compileTree(context, handler);
            control::closeBranch(context);
            context.emitter().popLocals(mark);
            if (context.diagnostics().hasErrors()) {
                walkState(context).pendingBlockVariable.reset();
                return 0;
            }
        }
        codegen::setInstructionOperand(*mapsehs[i].as<model::cbircode>(), 1,
                                       model::Operand(static_cast<int64_t>(codegen::codeSize(
                                           context.emitter().current(), afterMapseh[i], handlerStart))));
        qestl::SmartPtr back = context.emitter().emit(codegen::makeJump(model::kOpJmp, 0), node);
        pointAt(back, 0, landings[0]);
        walkState(context).pendingBlockVariable.reset();
    }
    // The alternatives of a try have no closing one, yet together they are
    // every way through it: when each leaves, nothing runs past the
    // statement.
    const bool partsLeave = around != nullptr && everyPartLeaves(*around, firstPart, clauseCount);
    control::settleExits(context);
    // Restoring clears the mask; the saved targets stay readable.
    const uint32_t statementMask = statement.mask();
    statement.restore(kJumpAll);
    appendBare(context, codegen::makeJump(model::kOpJmp, 0));
    const uint64_t finallyStart = context.emitter().current().size();

    if (finallyBlock) {
        JumpScope inFinally;
        context.emitter().enterJumpScope(
            inFinally, context.emitter().jumpTarget(kJumpReturn) != nullptr ? uint32_t{kJumpReturn} : 0u);
        // A finally inside a finally gives the outer one its flags back.
        const uint32_t savedFlags = context.emitter().function() != nullptr
                                        ? context.emitter().function()->flags & kFinallyFlags
                                        : 0;
        if (context.emitter().function() != nullptr) context.emitter().function()->flags |= kFinallyFlags;
        const uint64_t mark = context.emitter().localMark();
        openFlow(context, model::FlowNode::kSequenceB);
        compileTree(context, finallyBlock);
        model::IRObject* returnType = context.emitter().function() != nullptr
                                          ? model::asObject(context.emitter().function()->returnType)
                                          : nullptr;
        qestl::SmartPtr overTail = appendBare(context, codegen::makeJump(model::kOpJmp, 0));
        qestl::SmartPtr pop = appendBare(context, codegen::makePopRegister(model::kEdx, returnType));
        appendBare(context, codegen::makePushRegister(model::kEax, returnType));
        qestl::SmartPtr exitFinally = appendBare(context, codegen::makeInstruction(model::kOpExitFinally, 0));
        pointAt(overTail, 0, exitFinally);
        if ((inFinally.mask() & kJumpReturn) != 0) inFinally.target(kJumpReturn).setObjectRef(pop, 0);
        control::closeBranch(context);
        context.emitter().popLocals(mark);
        if (context.emitter().function() != nullptr)
            context.emitter().function()->flags = (context.emitter().function()->flags & ~kFinallyFlags) | savedFlags;
        if (context.diagnostics().hasErrors()) return 0;
        finallyLabel.setObjectRef(context.emitter().codeAt(finallyStart), 0);
        inFinally.restore(kJumpAll);
        context.bindLabels(start, context.emitter().current().size());
    }

    for (uint32_t kind : kExitKinds) {
        if ((statementMask & kind) == 0) continue;
        qestl::SmartPtr jump = context.emitter().emit(codegen::makeJump(model::kOpJmp, 0), model::NodeHandle());
        pointAt(jump, 0, landings[exitCodeOf(kind)]);
        statement.target(kind).setObjectRef(jump, 0);
    }
    qestl::SmartPtr setef = appendBare(context, codegen::makeInstruction(model::kOpSetef, 0));
    for (const qestl::SmartPtr& jump : jumps)
        if (jump) pointAt(jump, 0, setef);
    for (uint32_t kind : kExitKinds) {
        if ((statementMask & kind) == 0) continue;
        appendBare(context, codegen::makeJex(static_cast<int32_t>(exitCodeOf(kind)), labelReference(statement.savedList(kind))));
    }
    context.bindLabels(start, context.emitter().current().size());
    if (partsLeave) around->exitBits |= model::FlowNode::kExitReturns;
    return 0;
}
