// switch: every body first, in source order, into one list (a body without
// break runs on into the next); then the selector and one of three
// dispatch forms ahead of the bodies: a compare chain run by `autoswitch`
// (String cases, or constant objects without a value), a jump table for
// dense integral cases, a sorted lookup for sparse ones.
#include <algorithm>
#include <vector>

#include "codegen/compile_utilities.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/case_look_ahead.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/control_flow.h"
#include "statements/switch_form.h"

namespace {

constexpr uint32_t kPlainOperand = ~uint32_t{0};

// One case entry: its place among the bodies (`index`, the bodies' length
// when its body began), its value and the operand a compare chain pushes.
// That operand is nearly always a plain immediate, kept as its kind and data
// type beside the value; another is kept whole apart (`whole`). A switch of
// a million cases keeps a million entries.
struct CaseEntry {
    uint64_t index = 0;
    int64_t value = 0;
    uint16_t kind = 0;
    uint16_t dataType = 0;
    uint32_t whole = kPlainOperand;
};

struct SwitchParts {
    std::vector<CaseEntry> cases;  // accepted non-default entries, in order
    std::vector<model::Operand> wholeOperands;
    CaseValueSet values;  // of the entries, while no entry asks for a compare chain
    CaseEntry fallback;   // the default entry, or the end of the switch
    CodeList* bodies = nullptr;

    void keepOperand(CaseEntry& entry, const model::Operand& operand) {
        entry.value = operand.value;
        if (operand.link() == nullptr && !operand.target && operand.displacement == 0 && operand.encodedValue() == 0 &&
            operand.encodedKind == 0) {
            entry.kind = operand.kind;
            entry.dataType = operand.dataType;
            return;
        }
        entry.whole = static_cast<uint32_t>(wholeOperands.size());
        wholeOperands.push_back(operand);
    }
    model::Operand operandOf(const CaseEntry& entry) const {
        if (entry.whole != kPlainOperand) return wholeOperands[entry.whole];
        model::Operand operand;
        operand.value = entry.value;
        operand.kind = entry.kind;
        operand.dataType = entry.dataType;
        return operand;
    }
};

bool isStringType(model::IRObject* type) {
    return type != nullptr && model::isBuiltin(type->classRef(), model::Builtin::String);
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
    return labelOperandAt(entry.index, *parts.bodies);
}

// Reads one case value into `entry`; false after reporting.
bool readCaseValue(CompileContext& context, const StatementNode& valueNode, SwitchParts& parts, CaseEntry& entry,
                   bool& chainMode) {
    model::IRValueList found;
    compileStatement(context, valueNode, false);
    context.lookup().takeResults(found);
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
        parts.keepOperand(entry, constant->constantValue());
    } else if (constant->isConst()) {
        parts.keepOperand(entry, value->operand);
        chainMode = true;
    } else {
        context.reportError(diag::CaseNotConstant, valueNode);
        return false;
    }
    value->checkUse(&context, valueNode);
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
        emitOne(context, model::kOpPush, parts.operandOf(entry), node);
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

// `byValue`: the entries in rising order of their (distinct) values.
void emitSparse(CompileContext& context, const StatementNode& node, const model::Operand& selector,
                const SwitchParts& parts, const std::vector<CaseEntry>& byValue) {
    model::cbircode lookup(model::kOpLookup, 3);
    codegen::setInstructionOperand(lookup, 0, selector);
    codegen::setInstructionOperand(lookup, 1, intImmediate(static_cast<int64_t>(byValue.size())));
    codegen::setInstructionOperand(lookup, 2, bodyLabel(parts, parts.fallback));
    context.emitter().emitCopyOf(lookup, node);
    for (const CaseEntry& entry : byValue) {
        emitTwo(context, model::kOpCjmp, longImmediate(entry.value), bodyLabel(parts, entry), node);
    }
}

void emitJumpTable(CompileContext& context, const StatementNode& node, const model::Operand& selector,
                   const SwitchParts& parts, const std::vector<CaseEntry>& byValue, int64_t smallest, int64_t largest) {
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
    // Stepping in unsigned arithmetic reaches largest without overflow; the
    // entries, in rising order, are met one after the other.
    size_t next = 0;
    for (uint64_t v = static_cast<uint64_t>(smallest);; ++v) {
        const bool hit = next < byValue.size() && byValue[next].value == static_cast<int64_t>(v);
        emitOne(context, model::kOpJmp, hit ? bodyLabel(parts, byValue[next++]) : fallback, node);
        if (v == static_cast<uint64_t>(largest)) break;
    }
}

}  // namespace

// The statement `switch (x) { case ...: }` (a Switch node).
uint32_t compileSwitchStatement(CompileContext& context, const StatementNode& node) {
    const CodeEmitter::LocalsMark locals(context.emitter());
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
        model::loadCasesAhead(*caseList, i, entryCount);
        const StatementNode& caseNode = caseList->operands[i];
        if (!caseNode) continue;
        const NodeList& halves = caseNode->operands;
        const StatementNode valueNode = !halves.empty() ? halves[0] : StatementNode();
        const StatementNode bodyNode = halves.size() > 1 ? halves[1] : StatementNode();
        CaseEntry entry;
        entry.index = bodies.size();
        if (bodyNode) {
            CodeEmitter::ListScope inBodies(context.emitter(), bodies);
            const CodeEmitter::LocalsMark bodyLocals(context.emitter());
            // A break leaves the switch, not the block around it: the case
            // absorbs it, or every switch whose cases all break would make
            // the statements after it unreachable.
            control::openBranch(context,
                                valueNode ? model::FlowNode::kAlternativeC : model::FlowNode::kClosingAlternative,
                                model::FlowNode::kExitBreaks, nullptr);
            compileTree(context, bodyNode);
            popFlowNode(context);
        }
        if (!valueNode) {
            parts.fallback = entry;
            haveDefault = true;
            continue;
        }
        if (!readCaseValue(context, valueNode, parts, entry, chainMode)) {
            return 1;
        }
        if (parts.cases.empty() || entry.value < smallest) smallest = entry.value;
        if (parts.cases.empty() || entry.value > largest) largest = entry.value;
        // Once a compare chain is chosen, a repeated value is allowed and the
        // values are not asked for again.
        if (!chainMode && !parts.values.insert(entry.value)) {
            context.reportError(diag::CaseRepeated, valueNode);
            return 1;
        }
        parts.cases.push_back(entry);
    }
    control::settleExits(context);
    if (!haveDefault) parts.fallback.index = bodies.size();

    const StatementNode selectorNode = nodeChild(node, 0);
    model::IRValueList found;
    compileStatement(context, selectorNode, true);
    context.lookup().takeResults(found);
    if (context.diagnostics().hasErrors()) {
        return 1;
    }
    model::IRResult* selector = control::pickValue(found);
    if (selector == nullptr) {
        qestl::qestringA listing;
        appendDidYouMean(context, listing, selectorNode);
        context.reportError(diag::UndefinedIdentifier, selectorNode, listing);
        return 1;
    }
    model::IRObject* selectorObject = selector->objectPtr();
    const qestl::SmartPtr selectorType = selectorObject->valueType();
    if (!isSwitchableType(model::asObject(selectorType))) {
        context.reportError(diag::CaseTypeWrong, selectorNode);
        return 1;
    }
    model::setDataTypeFromValue(selector->operand, selectorObject);
    model::Operand selectorOperand;
    context.flushResultInto(selector, selectorOperand);
    selector->checkUse(&context, selectorNode);
    // Without a body there is nowhere to go, but the selector still runs: its
    // calls and the exceptions it raises belong to the program.
    if (bodies.empty()) return 0;

    // The dispatch names the bodies' instructions themselves, no label: the
    // walk that binds the breaks passes over it (an entry per case value).
    const uint64_t dispatchMark = context.emitter().current().size();
    if (chainMode) {
        emitCompareChain(context, node, selectorOperand, parts, isStringType(model::asObject(selectorType)));
    } else {
        // No value repeats here: each entry's was new when it came.
        std::vector<CaseEntry> sorted;
        if (!parts.values.rising()) {
            sorted = parts.cases;
            std::sort(sorted.begin(), sorted.end(),
                      [](const CaseEntry& a, const CaseEntry& b) { return a.value < b.value; });
        }
        const std::vector<CaseEntry>& byValue = parts.values.rising() ? parts.cases : sorted;
        if (chooseSwitchForm(byValue.size(), smallest, largest).table)
            emitJumpTable(context, node, selectorOperand, parts, byValue, smallest, largest);
        else emitSparse(context, node, selectorOperand, parts, byValue);
    }
    const uint64_t bodiesMark = context.emitter().current().size();
    context.emitter().appendCode(bodies);
    scope.target(kJumpBreak) = control::pastList(context.emitter().current());
    context.bindLabels(codeMark, dispatchMark);
    context.bindLabels(bodiesMark, context.emitter().current().size());
    scope.restore(kJumpAll);
    return 0;
}
