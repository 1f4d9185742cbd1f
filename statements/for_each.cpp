// for (v : source) and for (v = start to end): one JLOOP 209 that the
// virtual machine iterates, assigning the loop variable before each pass.
// The mode tells what is iterated: 0 a range, 1 a count, 2 an array, or a
// template container (Vector 40, List 41, Map 43) by its class id.
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/control_flow.h"
#include "statements/counted_loop.h"

namespace {

enum IterationMode : int64_t { kRangeMode = 0, kCountMode = 1, kArrayMode = 2 };
constexpr uint32_t kContainerIds[] = {40, 41, 43};  // Vector, List, Map
constexpr uint32_t kFloatId = 7;
constexpr uint32_t kDoubleId = 8;

// The type an object is judged by: a class itself, anything else by its
// value type.
model::IRObject* judgedType(model::IRObject* object, qestl::SmartPtr& holder) {
    if (object == nullptr || object->kind == model::kKindClass || object->isArray()) return object;
    holder = object->valueType();
    return model::asObject(holder);
}

// Numeric and not floating, judged by the value type.
bool isIntegralValue(model::IRObject* object) {
    qestl::SmartPtr holder;
    model::IRObject* type = judgedType(object, holder);
    if (type == nullptr || type->isArray() || !type->isNumeric()) return false;
    return type->id() != kFloatId && type->id() != kDoubleId;
}

void reportMismatch(CompileContext& context, model::IRObject* target, model::IRObject* source,
                    const StatementNode& node) {
    const std::string_view none;
    context.reportError(diag::LoopTypesMismatch, node, target != nullptr ? target->displayName().view() : none,
                        target != nullptr ? target->linkName().view() : none,
                        source != nullptr ? source->displayName().view() : none,
                        source != nullptr ? source->linkName().view() : none);
}

model::IRObject* valueTypeOf(const model::IRResult& result, qestl::SmartPtr& holder) {
    model::IRObject* object = result.objectPtr();
    holder = object != nullptr ? object->valueType() : qestl::SmartPtr();
    return model::asObject(holder);
}

bool isContainerId(uint32_t id) {
    for (uint32_t container : kContainerIds)
        if (container == id) return true;
    return false;
}

// The mode of a collection loop over an object of a class: the first
// template instance met walking the class and its bases decides. -1 after
// reporting.
int64_t containerMode(CompileContext& context, model::IRObject* variableType, model::IRResult& source,
                      const StatementNode& at) {
    qestl::SmartPtr holder;
    model::IRObject* klass = judgedType(source.objectPtr(), holder);
    for (int depth = 0; klass != nullptr && depth < 256; ++depth) {
        if (klass->hasBuiltinTemplate() || klass->isTemplateInstance()) {
            // Other templates iterate in mode 0, unchecked.
            if (!isContainerId(klass->id())) return kRangeMode;
            model::IRObject* element = klass->templateArguments.empty() ? nullptr : klass->templateArguments[0].objectPtr();
            if (element == nullptr || !model::convertible(&context, element, qestl::SmartPtr(variableType), true)) {
                reportMismatch(context, variableType, element, at);
                return -1;
            }
            return klass->id();
        }
        klass = klass->kind == model::kKindClass ? static_cast<model::ClassObject*>(klass)->base() : nullptr;
    }
    qestl::qestringA listing;
    model::IRValueList listed;
    listed.pushBack(source);
    appendCandidateList(listed, listing);
    context.reportError(diag::TypeUnsupportedListed, at, listing);
    return -1;
}

// Checks the types, chooses the mode and emits the loop.
void compileForRange(const StatementNode& node, CompileContext& context, const StatementNode& variableNode,
                     model::IRResult variable, model::IRResult source, const StatementNode& third, uint32_t codeMark) {
    context.emitter().flushResult(source);
    qestl::SmartPtr variableHolder;
    model::IRObject* variableType = valueTypeOf(variable, variableHolder);
    qestl::SmartPtr sourceHolder;
    model::IRObject* sourceType = valueTypeOf(source, sourceHolder);
    model::Operand endOperand;
    int64_t mode = kRangeMode;
    StatementNode body = third;
    if (node->kind == NodeKind::ForTo) {
        body = nodeChild(node, node->operands.size() - 1);
        if (context.diagnostics().hasErrors()) return;
        model::IRValueList endValues;
        compileStatement(context, third, false);
        context.lookup().takeResults(endValues);
        if (context.diagnostics().hasErrors()) return;
        model::IRResult* end = control::pickLoopValue(context, endValues, third);
        if (end == nullptr) return;
        end->checkUse(&context, third);
        context.emitter().emit(codegen::makeInstructionWithTwoOperands(model::kOpMov, variable.operand, source.operand),
                               variableNode);
        context.emitter().flushResult(*end);
        if (isIntegralValue(source.objectPtr())) {
            if (!isIntegralValue(variable.objectPtr()) || !isIntegralValue(end->objectPtr())) {
                reportMismatch(context, variableType, sourceType, variableNode);
                return;
            }
            endOperand = end->operand;
        }
    } else if (isIntegralValue(source.objectPtr())) {
        if (!isIntegralValue(variable.objectPtr())) {
            reportMismatch(context, variableType, sourceType, variableNode);
            return;
        }
        mode = kCountMode;
    } else if (sourceType != nullptr && sourceType->isArray()) {
        model::IRObject* element = static_cast<model::ArrayObject*>(sourceType)->element();
        if (!model::convertible(&context, element, variableHolder, true)) {
            reportMismatch(context, variableType, element, variableNode);
            return;
        }
        mode = kArrayMode;
    } else {
        mode = containerMode(context, variableType, source, variableNode);
        if (mode < 0) return;
    }

    PrivateCodeList list(context.emitter());
    model::cbircode loop(model::kOpJLoop209, 7);
    codegen::setInstructionOperand(loop, 0, variable.operand);
    codegen::setInstructionOperand(loop, 1, source.operand);
    codegen::setInstructionOperand(loop, 2, model::Operand(mode, model::kImmInt, model::kTypeObject));
    codegen::setInstructionOperand(loop, 3, endOperand);
    codegen::setInstructionOperand(loop, 4, model::Operand());
    emitCountedLoop(context, list, loop, variableNode, body, codeMark);
}

}  // namespace

// The collection loop `for (x : c)` and the counted loop `for (i = a to b)` (ForEach, ForTo).
uint32_t compileForEachLoop(CompileContext& context, const StatementNode& node) {
    const uint64_t mark = context.emitter().localMark();
    const uint32_t codeMark = static_cast<uint32_t>(context.emitter().current().size());
    const size_t plainCount = node->kind == NodeKind::ForTo ? 4 : 3;
    const size_t k = node->operands.size() > plainCount ? 1 : 0;
    if (k == 1) compileTree(context, nodeChild(node, 0));
    const StatementNode variableNode = nodeChild(node, k);
    const StatementNode sourceNode = nodeChild(node, k + 1);
    model::IRValueList variables;
    model::IRValueList sources;
    if (!control::compileValue(context, variableNode, variables) || !control::compileValue(context, sourceNode, sources)) {
        context.emitter().popLocals(mark);
        return 0;
    }
    model::IRResult* variable = control::pickLoopValue(context, variables, variableNode);
    model::IRResult* source = variable != nullptr ? control::pickLoopValue(context, sources, sourceNode) : nullptr;
    if (source == nullptr) {
        context.emitter().popLocals(mark);
        return 0;
    }
    if (variable->operand.kind != model::kStackSlot) {
        context.reportError(diag::LoopNeedsStackVariable, variableNode);
        context.emitter().popLocals(mark);
        return 0;
    }
    if (model::IRObject* object = variable->objectPtr()) {
        object->flagsB |= model::kFlagAssigned;
        object->flagsC &= static_cast<uint8_t>(~model::kFlagUnassigned);
    }
    variable->checkUse(&context, variableNode);
    source->checkUse(&context, sourceNode);
    compileForRange(node, context, variableNode, *variable, *source, nodeChild(node, k + 2), codeMark);
    context.emitter().popLocals(mark);
    return 0;
}
