// if/else and the conditional choice c ? a : b. Each branch is compiled
// into a list of its own, so that the jump over it can name the point just
// past its last instruction; the lists are spliced in at the end.
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/control_flow.h"
#include "codegen/code_emitter.h"

namespace {

// Compiles a branch statement with its own locals, under the object states
// that the way into it establishes (the condition's, or their complement);
// the objects get their own states back after it.
void compileBranch(CompileContext& context, const StatementNode& statement, model::IRResult* states) {
    const uint64_t mark = context.emitter().localMark();
    if (states != nullptr) states->applyObjectStates();
    compileTree(context, statement);
    if (states != nullptr) states->restoreObjectStates();
    context.emitter().popLocals(mark);
}

// One value of a choice and its code in the current list. False after
// reporting that it left nothing.
bool placeChoiceValue(CompileContext& context, const StatementNode& node, model::IRResult& out) {
    RecycledValueList taken(context.lookup());
    context.lookup().takeResults(taken);
    if (taken.empty()) {
        context.reportError(diag::UnknownObject, node);
        return false;
    }
    out = taken[0];
    out.checkUse(&context, node);
    context.emitter().flushResult(out);
    return true;
}

qestl::SmartPtr valueTypeOf(const model::IRResult& result) {
    model::IRObject* object = result.objectPtr();
    return object != nullptr ? object->valueType() : qestl::SmartPtr();
}

// The type of `c ? a : b`: the one type of both; the wider of two numbers,
// so that neither value is cut; else the type that takes the other, the
// first asked first. Empty when none fits.
qestl::SmartPtr choiceType(CompileContext& context, const qestl::SmartPtr& first, const qestl::SmartPtr& second) {
    model::IRObject* a = model::asObject(first);
    model::IRObject* b = model::asObject(second);
    if (a == nullptr || b == nullptr) return {};
    if (a == b) return first;
    if (a->isNumeric() && b->isNumeric()) return model::widerNumericType(first, second, context.builtins().intType);
    if (model::convertible(&context, b, first, true)) return first;
    if (model::convertible(&context, a, second, true)) return second;
    return {};
}

// Moves a branch's value into the result register, converted to the
// choice's type where its own differs.
void emitChoiceMove(CompileContext& context, CodeList& list, const model::IRResult& value, model::IRObject* type,
                    const StatementNode& node) {
    CodeEmitter::ListScope inList(context.emitter(), list);
    model::IRObject* own = model::asObject(valueTypeOf(value));
    const uint32_t opcode = type == nullptr || own == nullptr || own->sameType(type) ? model::kOpMov
                                                                                     : moveOpcodeForType(type);
    if (opcode == model::kOpMov) {
        context.emitter().emit(makeResultMove(own, value.operand), node);
        return;
    }
    const model::Operand eax(model::kEax, model::kRegister, model::dataTypeOfType(type));
    context.emitter().emit(codegen::makeInstructionWithTwoOperands(opcode, eax, value.operand), node);
}

// One side of a choice under the states the way into it establishes, then
// its value placed. False when it failed (the error is pending).
bool compileChoiceSide(CompileContext& context, const StatementNode& side, uint32_t branchKind,
                       model::IRResult& conditionResult, model::IRResult& value) {
    control::openBranch(context, branchKind, 0, &conditionResult);
    conditionResult.applyObjectStates();
    compileStatement(context, side, false);
    conditionResult.restoreObjectStates();
    control::closeBranch(context);
    if (context.diagnostics().hasErrors()) return false;
    return placeChoiceValue(context, side, value);
}

// Splices two alternatives behind the condition: the first ends with a jump
// past the second, the condition's jump in the outer list skips the first.
// Both end up in `first`; the outer list is current after.
void spliceAlternatives(CompileContext& context, PrivateCodeList& first, uint32_t jump, CodeList& second,
                        const StatementNode& node) {
    {
        CodeEmitter::ListScope inFirst(context.emitter(), first.code);
        control::emitJump(context, model::kOpJmp, control::pastList(second), node);
    }
    first.resumeOuter();
    control::emitJump(context, jump, control::pastList(first.code), node);
    first.code.appendRange(second.data(), second.size());
    second.clear();
}

}  // namespace

// The statement `if (c) s else s` (an If node).
uint32_t compileIfStatement(CompileContext& context, const StatementNode& node) {
    const StatementNode condition = nodeChild(node, 0);
    const StatementNode thenStatement = nodeChild(node, 1);
    const StatementNode elseStatement = nodeChild(node, 2);
    uint32_t jump = model::kOpJe;
    compileConditionJump(context, condition, jump, true);
    model::IRResult conditionResult = control::takeCondition(context);

    PrivateCodeList thenList(context.emitter());
    control::openBranch(context, model::FlowNode::kAlternative, 0, &conditionResult);
    compileBranch(context, thenStatement, &conditionResult);
    popFlowNode(context);
    if (context.diagnostics().hasErrors()) return 0;

    // Past the then-branch: a && condition's states held inside it and stay
    // for the rest; any other condition failed to get here by the else way.
    const bool statesStay = conditionResult.stateWord == model::kOpLogicalAnd;
    if (statesStay) {
        conditionResult.applyObjectStates();
        conditionResult.statesApplied = 0;
    } else {
        conditionResult.complementObjectStates();
    }
    control::openBranch(context, model::FlowNode::kClosingAlternative, 0, &conditionResult);
    if (elseStatement) {
        PrivateCodeList elseList(context.emitter());
        compileBranch(context, elseStatement, statesStay ? nullptr : &conditionResult);
        if (context.diagnostics().hasErrors()) return 0;
        spliceAlternatives(context, thenList, jump, elseList.code, node);
    } else {
        thenList.resumeOuter();
        control::emitJump(context, jump, control::pastList(thenList.code), node);
    }
    control::closeBranch(context);
    thenList.spliceIntoOuter();
    return 0;
}

// The conditional operator `c ? a : b` (a Conditional node).
uint32_t compileConditionalChoice(CompileContext& context, const StatementNode& node) {
    const StatementNode condition = nodeChild(node, 0);
    const StatementNode firstNode = nodeChild(node, 1);
    const StatementNode secondNode = nodeChild(node, 2);
    uint32_t jump = model::kOpJe;
    compileConditionJump(context, condition, jump, true);
    if (context.diagnostics().hasErrors()) return 0;
    model::IRResult conditionResult = control::takeCondition(context);

    PrivateCodeList first(context.emitter());
    model::IRResult firstValue;
    if (!compileChoiceSide(context, firstNode, model::FlowNode::kAlternative, conditionResult, firstValue)) return 0;

    PrivateCodeList second(context.emitter());
    conditionResult.complementObjectStates();
    model::IRResult secondValue;
    if (!compileChoiceSide(context, secondNode, model::FlowNode::kClosingAlternative, conditionResult, secondValue)) {
        return 0;
    }

    const qestl::SmartPtr type = choiceType(context, valueTypeOf(firstValue), valueTypeOf(secondValue));
    emitChoiceMove(context, first.code, firstValue, model::asObject(type), firstNode);
    emitChoiceMove(context, second.code, secondValue, model::asObject(type), secondNode);
    spliceAlternatives(context, first, jump, second.code, node);
    context.emitter().appendCode(first.code);

    if (firstValue.objectPtr() == nullptr || secondValue.objectPtr() == nullptr) {
        context.reportError(diag::BadObject, firstValue.objectPtr() == nullptr ? firstNode : secondNode);
        return 1;
    }
    if (!type) {
        context.reportError(diag::ChoiceTypeUnknown, node);
        return 1;
    }
    model::IRResult result(model::makeObject("", model::kKindVariable, type, 0),
                           codegen::makeEaxOperand(model::asObject(type)));
    context.lookup().setResults(std::move(result));
    return 0;
}
