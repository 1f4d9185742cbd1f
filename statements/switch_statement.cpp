// switch: every body first, in source order, into one list (a body without
// break runs on into the next); then the selector and one of three
// dispatch forms ahead of the bodies: a compare chain run by `autoswitch`
// (String cases, or constant objects without a value), a jump table for
// dense integral cases, a sorted lookup for sparse ones.
#include <map>
#include <vector>

#include "codegen/compile_utilities.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/control_flow.h"
#include "statements/switch_form.h"

namespace {

// One case entry: its place among the bodies (`at.index`, the bodies'
// length when its body began), its value and the operand a compare chain
// pushes.
struct CaseEntry {
    SwitchCaseRecord at;
    int64_t value = 0;
    model::Operand valueOperand;
};

// Map of the integral values to their entries' positions in `cases`.
using CaseValueMap = std::map<int64_t, size_t>;

struct SwitchParts {
    std::vector<CaseEntry> cases;  // accepted non-default entries, in order
    CaseValueMap values;
    CaseEntry fallback;  // the default entry, or the end of the switch
    CodeList* bodies = nullptr;
};

bool isStringType(model::IRObject* type) {
    return type != nullptr && model::sameTypeRefs(type, model::asObject(model::builtinTypes().stringType));
}

bool isSwitchableType(model::IRObject* type) {
    if (type == nullptr) return false;
    return type->isEnum() || isIntegralType(type) || isStringType(type);
}


model::Operand longImmediate(int64_t value) { return model::Operand(value, model::kImmLong, model::kTypeLong); }
model::Operand intImmediate(int64_t value) { return model::Operand(value, model::kImmInt, model::kTypeInt); }

void emitOne(CompileContext& context, uint32_t opcode, const model::Operand& operand, const StatementNode& node) {
    context.emitter().emit(codegen::makeInstructionWithOperand(opcode, operand), node);
}

void emitTwo(CompileContext& context, uint32_t opcode, const model::Operand& a, const model::Operand& b,
             const StatementNode& node) {
    context.emitter().emit(codegen::makeInstructionWithTwoOperands(opcode, a, b), node);
}

model::Operand bodyLabel(const SwitchParts& parts, const CaseEntry& entry) {
    return labelOperandAt(entry.at, *parts.bodies);
}

// Reads one case value into `entry`; false after reporting.
bool readCaseValue(CompileContext& context, const StatementNode& valueNode, CaseEntry& entry, bool& chainMode) {
    model::IRValueList found;
    compileStatement(context, valueNode, false);
    context.lookup().candidates().swap(found);
    context.lookup().clearResults();
    if (context.diagnostics().hasErrors()) return false;
    model::IRResult* value = control::pickValue(found);
    if (value == nullptr) {
        context.reportError(diag::UnknownObject, valueNode);
        return false;
    }
    model::IRObject* object = value->objectPtr();
    const qestl::SmartPtr type = object->valueType();
    if (!type) {
        context.reportError(diag::UnknownType, valueNode);
        return false;
    }
    if (!isSwitchableType(model::asObject(type))) {
        context.reportError(diag::CaseTypeWrong, valueNode);
        return false;
    }
    if (isStringType(model::asObject(type))) chainMode = true;
    // A member reached through its class (K.A) is an instance standing for
    // the member: its constness and value are the member's.
    model::IRObject* constant = object->classRef();
    if (constant->hasConstantValue()) {
        entry.valueOperand = constant->constantValue();
    } else if (constant->isConst()) {
        entry.valueOperand = value->operand;
        chainMode = true;
    } else {
        context.reportError(diag::CaseNotConstant, valueNode);
        return false;
    }
    value->checkUse(&context, valueNode);
    entry.value = entry.valueOperand.value;
    return true;
}

void emitCompareChain(CompileContext& context, const StatementNode& node, const model::Operand& selector,
                      const SwitchParts& parts, bool selectorIsString) {
    context.emitter().emit(codegen::makeJump(model::kOpJmp, 0), node);
    // Back over itself and the jmp: the address of that jmp.
    const qestl::SmartPtr jump = context.emitter().lastInstruction();
    const int64_t back = 2 * static_cast<int64_t>(jump.as<model::cbircode>()->encodedSize());
    emitOne(context, model::kOpPushAddr, model::Operand(-back), node);
    for (const CaseEntry& entry : parts.cases) {
        emitOne(context, model::kOpPush, entry.valueOperand, node);
        emitOne(context, model::kOpPushAddr, bodyLabel(parts, entry), node);
    }
    model::cbircode dispatch(model::kOpAutoswitch, 5);
    codegen::setInstructionOperand(dispatch, 0, longImmediate(-1));
    codegen::setInstructionOperand(dispatch, 1, selector);
    codegen::setInstructionOperand(dispatch, 2, intImmediate(static_cast<int64_t>(parts.cases.size())));
    codegen::setInstructionOperand(dispatch, 3, bodyLabel(parts, parts.fallback));
    codegen::setInstructionOperand(dispatch, 4, intImmediate(selectorIsString ? 2 : 0));
    context.emitter().emitCopyOf(dispatch, node);
}

void emitSparse(CompileContext& context, const StatementNode& node, const model::Operand& selector,
                const SwitchParts& parts) {
    model::cbircode lookup(model::kOpLookup, 3);
    codegen::setInstructionOperand(lookup, 0, selector);
    codegen::setInstructionOperand(lookup, 1, intImmediate(static_cast<int64_t>(parts.values.size())));
    codegen::setInstructionOperand(lookup, 2, bodyLabel(parts, parts.fallback));
    context.emitter().emitCopyOf(lookup, node);
    for (const auto& [value, position] : parts.values) {
        emitTwo(context, model::kOpCjmp, longImmediate(value), bodyLabel(parts, parts.cases[position]), node);
    }
}

void emitJumpTable(CompileContext& context, const StatementNode& node, const model::Operand& selector,
                   const SwitchParts& parts, int64_t smallest, int64_t largest) {
    const model::Operand fallback = bodyLabel(parts, parts.fallback);
    emitTwo(context, model::kOpCmp, selector, longImmediate(smallest), node);
    emitOne(context, model::kOpJb, fallback, node);
    emitTwo(context, model::kOpCmp, selector, longImmediate(largest), node);
    emitOne(context, model::kOpJg, fallback, node);
    emitTwo(context, model::kOpSub, selector, longImmediate(smallest), node);
    const model::Operand eax = model::Operand(model::kEax, model::kRegister, model::kTypeInt);
    // Each entry is a jmp of one operand: 4 + 12 bytes.
    emitTwo(context, model::kOpMul, eax, intImmediate(16), node);
    emitOne(context, model::kOpJmpTable, eax, node);
    // Stepping in unsigned arithmetic reaches largest without overflow.
    for (uint64_t v = static_cast<uint64_t>(smallest);; ++v) {
        const auto found = parts.values.find(static_cast<int64_t>(v));
        emitOne(context, model::kOpJmp, found != parts.values.end() ? bodyLabel(parts, parts.cases[found->second]) : fallback,
                node);
        if (v == static_cast<uint64_t>(largest)) break;
    }
}

}  // namespace

// The statement `switch (x) { case ...: }` (a Switch node).
uint32_t compileSwitchStatement(CompileContext& context, const StatementNode& node) {
    const uint64_t mark = context.emitter().localMark();
    const uint64_t codeMark = context.emitter().current().size();
    JumpScope scope;
    context.emitter().enterJumpScope(scope, kJumpBreak);
    CodeList bodies;
    SwitchParts parts;
    parts.bodies = &bodies;
    bool chainMode = false;
    bool haveDefault = false;
    int64_t smallest = 0;
    int64_t largest = 0;

    const StatementNode caseList = nodeChild(node, 1);
    const size_t entryCount = caseList ? caseList->operands.size() : 0;
    for (size_t i = 0; i < entryCount; ++i) {
        const StatementNode& caseNode = caseList->operands[i];
        if (!caseNode) continue;
        const StatementNode valueNode = nodeChild(caseNode, 0);
        const StatementNode bodyNode = nodeChild(caseNode, 1);
        CaseEntry entry;
        entry.at.value = valueNode;
        entry.at.body = bodyNode;
        entry.at.index = bodies.size();
        if (bodyNode) {
            CodeEmitter::ListScope inBodies(context.emitter(), bodies);
            const uint64_t bodyMark = context.emitter().localMark();
            control::openBranch(context, valueNode ? model::FlowNode::kAlternativeC : model::FlowNode::kClosingAlternative,
                                0, nullptr);
            compileTree(context, bodyNode);
            popFlowNode(context);
            context.emitter().popLocals(bodyMark);
        }
        if (!valueNode) {
            parts.fallback = entry;
            haveDefault = true;
            continue;
        }
        if (!readCaseValue(context, valueNode, entry, chainMode)) {
            context.emitter().popLocals(mark);
            return 1;
        }
        if (parts.cases.empty() || entry.value < smallest) smallest = entry.value;
        if (parts.cases.empty() || entry.value > largest) largest = entry.value;
        if (parts.values.count(entry.value) != 0 && !chainMode) {
            context.reportError(diag::CaseRepeated, valueNode);
            context.emitter().popLocals(mark);
            return 1;
        }
        parts.values.emplace(entry.value, parts.cases.size());
        parts.cases.push_back(entry);
    }
    control::settleExits(context);
    if (!haveDefault) parts.fallback.at.index = bodies.size();
    if (bodies.empty()) {
        context.emitter().popLocals(mark);
        return 0;
    }

    const StatementNode selectorNode = nodeChild(node, 0);
    model::IRValueList found;
    compileStatement(context, selectorNode, true);
    context.lookup().candidates().swap(found);
    context.lookup().clearResults();
    if (context.diagnostics().hasErrors()) {
        context.emitter().popLocals(mark);
        return 1;
    }
    model::IRResult* selector = control::pickValue(found);
    if (selector == nullptr) {
        qestl::qestringA listing;
        appendDidYouMean(context, listing, selectorNode);
        context.reportError(diag::UndefinedIdentifier, selectorNode, listing);
        context.emitter().popLocals(mark);
        return 1;
    }
    model::IRObject* selectorObject = selector->objectPtr();
    const qestl::SmartPtr selectorType = selectorObject->valueType();
    if (!isSwitchableType(model::asObject(selectorType))) {
        context.reportError(diag::CaseTypeWrong, selectorNode);
        context.emitter().popLocals(mark);
        return 1;
    }
    model::setDataTypeFromValue(selector->operand, selectorObject);
    model::Operand selectorOperand;
    context.flushResultInto(selector, selectorOperand);
    selector->checkUse(&context, selectorNode);

    if (chainMode) {
        emitCompareChain(context, node, selectorOperand, parts, isStringType(model::asObject(selectorType)));
    } else if (chooseSwitchForm(parts.values.size(), smallest, largest).table) {
        emitJumpTable(context, node, selectorOperand, parts, smallest, largest);
    } else {
        emitSparse(context, node, selectorOperand, parts);
    }
    context.emitter().appendCode(bodies);
    scope.target(kJumpBreak) = control::pastList(context.emitter().current());
    context.bindLabels(codeMark, context.emitter().current().size());
    scope.restore(kJumpAll);
    context.emitter().popLocals(mark);
    return 0;
}
