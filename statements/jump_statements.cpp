// The statements that leave a block: return, throw, break and continue.
// None jumps to its target directly: each jumps to whichever label the
// enclosing constructs name as the current return, break or continue
// target, so a try or synchronized region in between can run its landing
// code. Also the choice of the one value an expression left.
#include "codegen/candidate_pickers.h"
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/function_object.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

model::FlowNode* currentFlow(CompileContext& context) {
    return context.emitter().function() != nullptr ? context.emitter().function()->currentFlow : nullptr;
}

uint32_t functionFlags(const CompileContext& context) {
    return context.emitter().function() != nullptr ? context.emitter().function()->flags : 0;
}

void emitJumpTo(CompileContext& context, model::Operand* label, const StatementNode& node) {
    model::Operand pending(0, model::kPendingLabel, 0);
    pending.linkTo(label);
    context.emitter().emit(codegen::makeInstructionWithOperand(model::kOpJmp, pending), node);
}

// break and continue share everything but their flag, label, text and bit.
uint32_t compileLoopJump(CompileContext& context, const StatementNode& node, uint32_t forbidden, model::Operand* label,
                         const Diagnostic& outside, uint32_t exitBit) {
    if ((functionFlags(context) & forbidden) != 0) {
        context.reportError(diag::NotAllowedHere, node);
        return 0;
    }
    if (label == nullptr) {
        context.reportError(outside, node);
        return 0;
    }
    emitJumpTo(context, label, node);
    if (model::FlowNode* flow = currentFlow(context)) flow->exitBits |= exitBit;
    return 0;
}

model::FunctionObject* frameFunction(CompileContext& context) {
    model::IRObject* owner = context.lookup().scopes().frame ? model::asObject(context.lookup().scopes().frame->owner)
                                                             : nullptr;
    return owner != nullptr && owner->isFunction() ? static_cast<model::FunctionObject*>(owner) : nullptr;
}

bool isVoid(const model::IRObject* type) { return type == nullptr || model::isBuiltin(type, model::Builtin::Void); }

model::IRObject* valueTypeOf(model::IRObject* object) {
    qestl::SmartPtr type = object->valueType();
    return type ? model::asObject(type) : object;
}

// Compiles the value child of return or throw and takes the one value out
// of the context; null (reported) when there is none.
model::IRResult* compileValue(CompileContext& context, const StatementNode& value, model::IRValueList& taken) {
    compileStatement(context, value, false);
    if (context.diagnostics().hasErrors()) return nullptr;
    context.lookup().takeResults(taken);
    // Until the expression compilers land, an operator expression leaves
    // nothing without having failed: that is no undefined name.
    if (taken.empty() && value->kind != NodeKind::Name) return nullptr;
    return pickSingleObject(context, taken, value);
}

// The value of return and throw: operand 0, empty without one.
StatementNode valueOf(const StatementNode& node) {
    return node->operands.empty() ? StatementNode() : node->operands[0];
}

}  // namespace

uint32_t moveOpcodeForType(const model::IRObject* type) {
    if (type == nullptr) return model::kOpMov;
    struct Row {
        model::Builtin type;
        uint32_t opcode;
    };
    const Row rows[] = {{model::Builtin::Int, 108},    {model::Builtin::Long, 109}, {model::Builtin::Char, 110},
                        {model::Builtin::Short, 112},  {model::Builtin::Byte, 180}, {model::Builtin::Float, 205},
                        {model::Builtin::Double, 107}, {model::Builtin::Any, 210}};
    for (const Row& row : rows)
        if (model::isBuiltin(type, row.type)) return row.opcode;
    return model::kOpMov;
}

// The statement `break;` (a Break node).
uint32_t compileBreak(CompileContext& context, const StatementNode& node) {
    return compileLoopJump(context, node, kFunctionNoBreak, context.emitter().jumpTarget(kJumpBreak),
                           diag::BreakOutsideLoop, model::FlowNode::kExitBreaks);
}

// The statement `continue;` (a Continue node).
uint32_t compileContinue(CompileContext& context, const StatementNode& node) {
    return compileLoopJump(context, node, kFunctionNoContinue, context.emitter().jumpTarget(kJumpContinue),
                           diag::ContinueOutsideLoop, model::FlowNode::kExitContinues);
}

namespace {
void compileReturnValue(CompileContext& context, model::IRResult& taken, const StatementNode& value,
                        model::IRObject* returnType, const StatementNode& node);
}  // namespace

// The statement `return;` or `return x;` (a Return node).
uint32_t compileReturn(CompileContext& context, const StatementNode& node) {
    if ((functionFlags(context) & kFunctionInFinally) != 0) {
        context.reportWarning(diag::ReturnInFinally, node);
    }
    // A return where no method or construct set a return label would leave
    // a jump nothing ever binds.
    if (context.emitter().jumpTarget(kJumpReturn) == nullptr) {
        context.reportError(diag::NotAllowedHere, node);
        return 0;
    }
    model::IRObject* returnType = context.emitter().function() != nullptr
                                      ? model::asObject(context.emitter().function()->returnType)
                                      : nullptr;
    const StatementNode value = valueOf(node);
    if (!value) {
        if (!isVoid(returnType)) {
            context.reportError(diag::ReturnValueNeeded, node);
            return 0;
        }
    } else {
        model::IRValueList taken;
        model::IRResult* result = compileValue(context, value, taken);
        // A value that failed was reported; one that left nothing without a
        // report (an expression form still to come) leaves the jump alone.
        if (result == nullptr && (context.diagnostics().hasErrors() || !taken.empty())) return 0;
        if (result != nullptr) compileReturnValue(context, *result, value, returnType, node);
        if (context.diagnostics().hasErrors()) return 0;
    }
    emitJumpTo(context, context.emitter().jumpTarget(kJumpReturn), node);
    if (model::FlowNode* flow = currentFlow(context)) {
        flow->terminated = 1;
        flow->foldedExitBits = flow->foldExitBits(false);
    }
    return 0;
}

namespace {

void compileReturnValue(CompileContext& context, model::IRResult& taken, const StatementNode& value,
                        model::IRObject* returnType, const StatementNode& node) {
    model::IRResult* result = &taken;
    {
        if (isVoid(returnType)) {
            context.reportError(diag::ReturnValueNotNeeded, node);
            return;
        }
        model::IRObject* object = result->objectPtr();
        if (!model::convertible(&context, valueTypeOf(object), context.emitter().function()->returnType, true)) {
            context.reportError(diag::ReturnTypeMismatch, node);
            return;
        }
        if ((context.emitter().function()->flags & kFunctionNotNilResult) != 0 &&
            (object->modifiers & (model::kStateUndetermined | model::kStateOther)) != 0) {
            context.reportWarning(diag::NilptrIntoNotNil, node);
        }
        model::Operand operand;
        if (!object->isFunction()) {
            context.emitter().flushResult(*result);
            operand = result->operand;
        } else {
            operand = object->makeObjectOperand();
        }
        if (model::isBuiltin(object, model::Builtin::NilConstant) &&
            (context.lookup().scopes().declarationMode() & 1) != 0) {
            model::FunctionObject* owner = frameFunction(context);
            if (owner != nullptr && owner->isNotNilptr()) {
                context.reportError(diag::NilptrReturned, node);
                return;
            }
        }
        result->checkUse(&context, value);
        model::IRObject* type = valueTypeOf(object);
        const uint32_t opcode = type->sameType(returnType) ? model::kOpMov : moveOpcodeForType(returnType);
        if (opcode != model::kOpMov || !operand.isRegister(model::kEax)) {
            model::Operand eax(model::kEax, model::kRegister, model::dataTypeOfType(returnType));
            context.emitter().emit(codegen::makeInstructionWithTwoOperands(opcode, eax, operand), value);
        }
    }
}

}  // namespace

// The statement `throw x;` (a Throw node).
uint32_t compileThrow(CompileContext& context, const StatementNode& node) {
    const StatementNode value = valueOf(node);
    model::IRValueList taken;
    model::IRResult* result = compileValue(context, value, taken);
    if (result == nullptr) return 0;
    context.emitter().flushResult(*result);
    const model::Operand thrown = result->operand;
    result->checkUse(&context, value);
    model::IRObject* object = result->objectPtr();
    if (object == nullptr ||
        !model::convertible(&context, valueTypeOf(object), context.builtins().exceptionType, true)) {
        context.reportError(diag::ThrowNotException, node);
        return 0;
    }
    model::IRObject* type = valueTypeOf(object);
    model::FunctionObject* owner = (context.lookup().scopes().declarationMode() & 1) != 0 ? frameFunction(context)
                                                                                          : nullptr;
    if (owner == nullptr || !owner->coversException(type->classRef())) {
        context.reportWarning(diag::ThrowUncovered, node, type->displayName());
    }
    context.emitter().emit(codegen::makeInstructionWithOperand(model::kOpThrow, thrown), value);
    if (model::FlowNode* flow = currentFlow(context)) {
        flow->exitBits |= model::FlowNode::kExitReturns;
        flow->foldedExitBits = flow->foldExitBits(false);
    }
    return 0;
}

