// Plain and compound assignment: every pair of a value the left side may
// denote and a value the right side may denote is tried, each accepted pair
// builds its own store, and the pair reached through the cheapest storage
// is the value of the expression (in register 0).
#include <optional>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "expressions/stores.h"
#include "model/ir_object.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

// The values of the left side, or false when the assignment is complete
// (the "." operator took it) or failed.
bool compileLeftValues(CompileContext& context, const StatementNode& leftNode, const model::IRValueList& rights,
                       const StatementNode& node, model::IRValueList& lefts) {
    context.lookup().clearResults();
    if (leftNode && leftNode->text.view() == ".") {
        const StatementNode member = nodeChild(leftNode, 1);
        if (resolveMemberAccess(context, nodeChild(leftNode, 0), nullptr,
                                member ? member->text.view() : std::string_view(), node, rights))
            return false;
        if (context.diagnostics().hasErrors()) return false;
    } else {
        compileStatement(context, leftNode, false);
    }
    context.lookup().takeResults(lefts);
    return true;
}

// Reports an entry that takes the listings of the left and the right values.
template <typename Report>
void reportWithListings(CompileContext& context, const model::IRValueList& lefts, const model::IRValueList& rights,
                        Report report) {
    qestl::qestringA left;
    dumpScopeSymbols(context, lefts, left);
    qestl::qestringA right;
    dumpScopeSymbols(context, rights, right);
    report(left, right);
}

struct PairBuilder {
    CompileContext& context;
    uint32_t code;
    const StatementNode& node;
    const StatementNode& rightNode;
    model::IRValueList results;
    expressions::AssignmentPairs pairs;
    // The type names of each pair that cannot be operated on.
    std::vector<std::pair<qestl::qestringA, qestl::qestringA>> mismatches;
    bool notModifiable = false;

    // One pair: accepted (its result appended) or rejected. An accepted
    // pair's values are worked on as copies, or taken when `take` (the only
    // pair: once it is accepted, no message lists the values).
    void tryPair(model::IRResult& leftValue, model::IRResult& rightValue, bool take) {
        model::IRObject* leftObject = leftValue.objectPtr();
        model::IRObject* rightObject = rightValue.objectPtr();
        // A value without an object has neither constness nor type.
        if (leftObject == nullptr || rightObject == nullptr) return;
        if (expressions::isUnmodifiable(leftValue)) {
            notModifiable = true;
            return;
        }
        const qestl::SmartPtr leftType = leftObject->valueType();
        const qestl::SmartPtr rightType = rightObject->valueType();
        if (!leftType || !rightType) return;
        if (!model::asObject(leftType)->assignOperatorAllowed(&context, code, rightType)) return;
        if (!model::convertible(&context, model::asObject(rightType), leftType, true)) {
            mismatches.emplace_back(model::asObject(leftType)->getName(), model::asObject(rightType)->getName());
            return;
        }
        // Taken values are worked on where they lie: a result is some forty
        // words to move.
        std::optional<model::IRResult> leftCopy;
        std::optional<model::IRResult> rightCopy;
        model::IRResult& left = take ? leftValue : leftCopy.emplace(leftValue);
        model::IRResult& right = take ? rightValue : rightCopy.emplace(rightValue);
        const expressions::AssignmentPairKey key = expressions::assignmentPairKey(left, right);
        const qestl::SmartPtr owner = context.frameOwner();
        uint32_t fusedOpcode = 0;
        model::cbircode* fused = expressions::fuseIntoLoad(left, code, fusedOpcode);
        const model::Operand rightOperand = rightObject->isFunction() ? rightObject->makeObjectOperand()
                                                                      : right.operand;
        bool pushed = false;
        if (fused == nullptr) {
            if (right.isInAccumulator()) {
                // The left side's code may overwrite eax: keep the value on the stack.
                right.appendInstructionRef(codegen::makePushRegister(model::kEax, model::asObject(rightType)));
                right.operand = codegen::makeEbxOperand(model::asObject(rightType));
                pushed = true;
            }
        } else {
            if (code == model::kOpMov) {
                fused->opcode = expressions::typedStoreOpcode(
                    model::asObject(leftType), fusedOpcode == model::kOpMovElem ? expressions::StoreForm::Element
                                                                                : expressions::StoreForm::Property);
            }
            model::Operand value = rightOperand;
            if (left.pending.size() > 1 && right.isInAccumulator()) {
                right.appendInstructionRef(codegen::makePushRegister(model::kEax, model::asObject(rightType)));
                value = codegen::makeEbxOperand(model::asObject(rightType));
                right.operand = value;
                const qestl::SmartPtr pop = codegen::makePopRegister(model::kEbx, model::asObject(rightType));
                left.insertInstructionCopy(left.pending.size() - 1, *pop.as<model::cbircode>());
            }
            codegen::setInstructionOperand(*fused, fused->operandCount, value);
            ++fused->operandCount;
        }

        // The sides' states are the result's now; their code goes to it,
        // moved, once the right side's use is checked (which reads where
        // that code starts).
        right.prependOwnerCode();
        // Made where the list of results keeps it.
        const size_t resultIndex = results.size();
        model::IRResult& result = results.emplaceBack();
        if (!right.states.empty()) result.mergeObjectStatesFrom(right);
        if (!left.states.empty()) result.mergeObjectStatesFrom(left);
        result.stateWord = left.stateWord;
        qestl::SmartPtr made;
        qestl::SmartPtr restoreRight;
        bool dropPush = false;
        if (fused == nullptr) {
            uint32_t opcode = code;
            if (code == model::kOpMov && !model::asObject(leftType)->sameType(model::asObject(rightType)) &&
                left.operand.kind != model::kRegister)
                opcode = expressions::typedStoreOpcode(model::asObject(leftType), expressions::StoreForm::Plain);
            // Made where the result keeps it, rather than copied there.
            made = codegen::makeInstruction(opcode, 2);
            model::cbircode& store = *made.as<model::cbircode>();
            codegen::setInstructionOperand(store, 0, left.operand);
            model::Operand stored = pushed ? right.operand : rightOperand;
            if (pushed) {
                if (left.pending.empty()) {
                    // Nothing runs between: the value is still in eax.
                    dropPush = true;
                    stored = codegen::makeEaxOperand(model::asObject(rightType));
                } else {
                    restoreRight = codegen::makePopRegister(model::kEbx, model::asObject(rightType));
                }
            }
            codegen::setInstructionOperand(store, 1, stored);
        }
        recordNullState(context, leftObject, right, rightObject);
        result.object = left.object;
        result.operand = model::Operand(model::kEax, model::kRegister, model::typeCodeOf(leftObject));
        right.checkUse(&context, rightNode);
        if (dropPush) right.pending.popBack();
        if (!right.pending.empty()) result.pending.appendTaken(right.pending);
        if (!left.pending.empty()) result.pending.appendTaken(left.pending);
        if (restoreRight) result.appendInstructionRef(restoreRight);
        if (made) result.appendInstruction(result.pending, std::move(made), owner, node);
        pairs.add(key, resultIndex, fused == nullptr && left.operand.kind == model::kRegister);
        leftObject->noteWrite();
        leftObject->flagsB |= model::kFlagAssigned;
        leftObject->checkUse(&context, node);
    }
};

}  // namespace

void compileAssignment(CompileContext& context, const StatementNode& node, uint32_t code) {
    const StatementNode leftNode = nodeChild(node, 0);
    const StatementNode rightNode = nodeChild(node, 1);
    RecycledValueList rights(context.lookup());
    if (leftNode && leftNode->text.view() == "[]") {
        switch (compileOperatorCall(context, node, rights)) {
        case IndexerCall::Bound: return;
        case IndexerCall::Failed: return;
        case IndexerCall::NotBound: break;
        }
    } else {
        FlagGuard flag = context.lookup().pushFlag(1);
        context.lookup().clearResults();
        compileStatement(context, rightNode, false);
        context.lookup().takeResults(rights);
    }
    // After an error in the statement the assignment reports nothing more.
    if (context.diagnostics().hasErrors()) return;
    RecycledValueList lefts(context.lookup());
    if (!compileLeftValues(context, leftNode, rights, node, lefts) || context.diagnostics().hasErrors()) return;
    {
        DiagnosticCapture capture;
        model::IRValueList targets;
        if (anyDeferredValue(rights)) targets = lefts;
        filterCandidatesByTrial(capture, context, targets, rights);
    }
    if (operatorOverloadDeclared(context, lefts, node)) {
        IRValueListArray arguments;
        arguments.push_back(rights);
        if (callOperatorOverload(context, lefts, arguments, node)) return;
    }

    for (model::IRResult& left : lefts) expressions::takeOwnerCode(left);
    PairBuilder builder{context, code, node, rightNode, {}, {}, {}, false};
    const bool onlyPair = rights.size() == 1 && lefts.size() == 1;
    for (model::IRResult& right : rights)
        for (model::IRResult& left : lefts) builder.tryPair(left, right, onlyPair);

    size_t chosen = 0;
    const expressions::AssignmentPairs::Outcome outcome = builder.pairs.choose(chosen);
    using Outcome = expressions::AssignmentPairs::Outcome;
    if (outcome == Outcome::None) {
        if (builder.notModifiable) {
            context.reportError(diag::NotModifiable, node);
            return;
        }
        reportWithListings(context, lefts, rights, [&](const qestl::qestringA& left, const qestl::qestringA& right) {
            context.reportError(diag::NoMatchingOperands, node, left, right);
        });
        for (const auto& [left, right] : builder.mismatches)
            context.reportError(diag::CannotOperateOn, node, left, right);
        return;
    }
    if (outcome == Outcome::Ambiguous) {
        reportWithListings(context, lefts, rights, [&](const qestl::qestringA& left, const qestl::qestringA& right) {
            context.reportError(diag::OperandsNotUnique, node, left, right);
        });
        return;
    }
    if (outcome == Outcome::BareRegister) {
        // After several pairs the chosen one stays the value.
        if (builder.pairs.pairCount() > 1) context.lookup().setResults(builder.results[chosen]);
        context.reportError(diag::NotModifiable, node);
        return;
    }
    context.lookup().setResults(std::move(builder.results[chosen]));
    if (outcome == Outcome::ChosenOfSeveral) {
        reportWithListings(context, lefts, rights, [&](const qestl::qestringA& left, const qestl::qestringA& right) {
            context.reportWarning(diag::AmbiguousOperands, node, left, right);
        });
    }
}

void recordNullState(CompileContext& context, model::IRObject* variable, const model::IRResult& value,
                     model::IRObject* source) {
    if (variable == nullptr) return;
    if (!value.isTransientValue(context)) {
        variable->noteWrite();
        variable->modifiers = (variable->modifiers & ~model::kStateMask) | model::kStateUndetermined;
        return;
    }
    if (context.emitter().function() != nullptr) {
        model::FlowNode* flow = context.emitter().function()->currentFlow;
        if (flow != nullptr && flow->kind != model::FlowNode::kSequence) {
            // The alternative restores what the variable held before it.
            flow->result.statesApplied = 1;
            if (!flow->result.states.contains(variable))
                flow->result.states.set(variable->selfRef(), variable->modifiers & model::kStateMask);
        }
    }
    if (source != nullptr) variable->inheritValueState(*source);
}
