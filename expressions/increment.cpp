// "++" and "--", prefix and postfix: an overloaded operator of the operand's
// class first (a postfix overload receives an int 0 it can tell itself
// apart by), else the built-in step on the modifiable variable the operand
// denotes, chosen among several as an assignment chooses its target, its
// value left in register 0.
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "expressions/stores.h"
#include "model/builtin_types.h"
#include "model/ir_object.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

// The argument a postfix overload receives.
model::IRResult postfixArgument(CompileContext& context) {
    qestl::SmartPtr zero = model::makeObject("", model::kKindVariable, context.builtins().intType, 0);
    const model::Operand value(0, model::kImmInt, model::kTypeInt);
    model::asObject(zero)->setConstantValue(value, true);
    return model::IRResult(zero, value);
}

}  // namespace

void compileIncDec(CompileContext& context, const StatementNode& node, uint32_t code) {
    StatementNode operandNode = nodeChild(node, 1);
    if (!operandNode) operandNode = nodeChild(node, 0);
    context.lookup().clearResults();
    compileStatement(context, operandNode, false);
    model::IRValueList candidates;
    context.lookup().takeResults(candidates);
    // The operand's own error is the statement's only report.
    if (context.diagnostics().hasErrors()) return;

    IRValueListArray arguments;
    if (isPostfixIncDec(node)) {
        arguments.emplace_back();
        arguments.back().pushBack(postfixArgument(context));
    }
    if (findOperatorOverload(context, candidates, arguments, node)) return;
    if (candidates.empty()) {
        context.reportError(diag::NothingToOperateOn, node);
        return;
    }

    const qestl::SmartPtr owner = context.frameOwner();
    model::IRValueList results;
    expressions::AssignmentPairs targets;
    bool notModifiable = false;
    for (model::IRResult candidate : candidates) {
        model::IRObject* object = candidate.objectPtr();
        // A value without an object is nothing to step.
        if (object == nullptr) continue;
        if (expressions::isUnmodifiable(candidate)) {
            notModifiable = true;
            continue;
        }
        // The step itself is a byte.
        const qestl::SmartPtr type = object->valueType();
        if (object->kindOf() != model::kKindVariable || !type ||
            !model::asObject(type)->assignOperatorAllowed(&context, code, context.builtins().byteType))
            continue;
        const expressions::AssignmentPairKey key = expressions::storeTargetKey(candidate);
        uint32_t fusedOpcode = 0;
        const bool fused = expressions::fuseIntoLoad(candidate, code, fusedOpcode) != nullptr;
        model::IRResult result;
        result.appendResult(candidate);
        if (!fused) {
            model::cbircode step(code, 1);
            codegen::setInstructionOperand(step, 0, candidate.operand);
            result.appendInstruction(result.pending, step, owner, node);
        }
        targets.add(key, results.size(), !fused && candidate.operand.kind == model::kRegister);
        result.object = candidate.object;
        const uint8_t dataType = model::typeCodeOf(object);
        result.operand = model::Operand(model::kEax, model::kRegister, dataType != 0 ? dataType : uint8_t{model::kTypeObject});
        candidate.checkUse(&context, node);
        results.pushBack(result);
    }

    size_t chosen = 0;
    using Outcome = expressions::AssignmentPairs::Outcome;
    switch (targets.choose(chosen)) {
    case Outcome::None:
        context.reportError(notModifiable ? diag::NotModifiable : diag::NothingToOperateOn, node);
        return;
    case Outcome::Ambiguous: {
        qestl::qestringA listing;
        dumpScopeSymbols(context, results, listing);
        context.reportError(diag::AmbiguousIncrement, node, listing);
        return;
    }
    case Outcome::BareRegister: context.reportError(diag::NotModifiable, node); return;
    case Outcome::Chosen:
    case Outcome::ChosenOfSeveral: context.lookup().setResults(std::move(results[chosen])); return;
    }
}
