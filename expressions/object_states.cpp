// What a comparison or a "!" tells about nilptr: the value states that hold
// where the condition holds, recorded on the condition's result for the
// branches that follow, and the warnings for a test whose outcome they
// already decide.
#include "codegen/compile_context.h"
#include "diagnostics/diagnostics.h"
#include "expressions/operand_checks.h"
#include "model/builtin_types.h"
#include "model/ir_object.h"
#include "statements/compile_walk.h"

namespace expressions {
namespace {

bool isNil(const model::IRObject* object) { return model::isBuiltin(object, model::Builtin::NilConstant); }

uint32_t stateOf(const model::IRObject* object) { return object != nullptr ? object->modifiers & model::kStateMask : 0; }

bool isKnownNotNilptr(const model::IRObject* object) {
    return object != nullptr && !isNil(object) && (stateOf(object) & model::kStateDefinite) != 0;
}

// Known nilptr becomes known not nilptr, anything else undetermined.
uint64_t opposite(uint64_t bits) {
    return (bits & model::kStateOther) != 0 ? model::kStateDefinite : model::kStateUndetermined;
}

void copyStates(model::IRResult& result, const model::IRResult& from, bool inverted) {
    result.stateWord = from.stateWord;
    for (const model::ObjectStateMap::Entry& entry : from.states)
        result.states.set(entry.object, inverted ? opposite(entry.value) : entry.value);
}

// The literals true and false are constants of their own.
bool isBoolConstant(const model::IRObject* object, int64_t value) {
    if (object == nullptr || !object->hasConstantValue()) return false;
    const model::Operand constant = object->constantValue();
    return constant.kind == model::kImmBool && constant.value == value;
}

// A bool value compared with one that carries states.
void recordComparisonFacts(model::IRResult& result, const model::IRResult& plain, const model::IRResult& withStates,
                           std::string_view text) {
    const model::IRObject* object = plain.objectPtr();
    if (isBoolConstant(object, 1)) {
        copyStates(result, withStates, text == "==");
    } else if (isBoolConstant(object, 0)) {
        copyStates(result, withStates, text != "==");
    } else {
        result.stateWord = withStates.stateWord;
        for (const model::ObjectStateMap::Entry& entry : withStates.states)
            result.states.set(entry.object, model::kStateUndetermined);
    }
}

// 325 and 326 when A is known to be nilptr; true when it warned.
bool warnRedundantCondition(CompileContext& context, const model::IRObject* a, const model::IRObject* b,
                            const StatementNode& node, std::string_view text) {
    if (stateOf(a) != model::kStateOther) return false;
    const bool bNotNil = (stateOf(b) & model::kStateDefinite) != 0;
    const bool bNil = stateOf(b) == model::kStateOther;
    const Diagnostic* warning = nullptr;
    if (text == "==") warning = bNotNil ? &diag::ImpossibleTest : bNil ? &diag::RedundantTest : nullptr;
    else if (text == "!=") warning = bNotNil ? &diag::RedundantTest : bNil ? &diag::ImpossibleTest : nullptr;
    if (warning == nullptr) return false;
    context.reportWarning(*warning, node);
    return true;
}

}  // namespace

void recordNotStates(model::IRResult& result, const model::IRResult& operand) { copyStates(result, operand, true); }

void recordComparisonStates(CompileContext& context, model::IRResult& result, const model::IRResult& left,
                            const model::IRResult& right, const StatementNode& node) {
    model::IRObject* leftObject = left.objectPtr();
    model::IRObject* rightObject = right.objectPtr();
    if (leftObject == nullptr || rightObject == nullptr) return;
    const std::string_view text = node->text.view();
    const qestl::SmartPtr leftType = leftObject->valueType();
    const bool boolValues = model::convertible(&context, model::asObject(context.builtins().boolType), leftType, true);
    if (boolValues) {
        const bool leftStates = !left.states.empty();
        const bool rightStates = !right.states.empty();
        if (leftStates && rightStates) {
            for (const model::IRResult* side : {&left, &right})
                for (const model::ObjectStateMap::Entry& entry : side->states)
                    result.states.set(entry.object, model::kStateUndetermined);
            result.stateWord = left.stateWord;
            result.stateWord = right.stateWord;
        } else if (leftStates) {
            recordComparisonFacts(result, right, left, text);
        } else if (rightStates) {
            recordComparisonFacts(result, left, right, text);
        }
        return;
    }
    if (!left.isTransientValue(context) || !right.isTransientValue(context)) return;
    uint64_t state = 0;
    if (text == "==") {
        state = isNil(leftObject) || isNil(rightObject) ? model::kStateOther
                : isKnownNotNilptr(leftObject) || isKnownNotNilptr(rightObject) ? model::kStateDefinite
                                                                                 : model::kStateUndetermined;
    } else if (text == "!=") {
        state = isNil(leftObject) || isNil(rightObject) ? model::kStateDefinite : model::kStateUndetermined;
    }
    if (state != 0) {
        result.mergeObjectState(left.object, state);
        result.mergeObjectState(right.object, state);
    }
    const model::FlowNode* flow = context.emitter().function() != nullptr ? context.emitter().function()->currentFlow
                                                                          : nullptr;
    if (flow != nullptr && flow->loopCondition) return;
    if (!warnRedundantCondition(context, leftObject, rightObject, node, text))
        warnRedundantCondition(context, rightObject, leftObject, node, text);
}

}  // namespace expressions
