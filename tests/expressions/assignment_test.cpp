// The rank of an assignment's pairs and the choice among them, and the trial
// compilation of deferred values (once per node, a failed trial stays
// failed).
#include <gtest/gtest.h>

#include "codegen/compile_context.h"
#include "expressions/compile_expression.h"
#include "expressions/expression_state.h"
#include "expressions/stores.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/ir_object.h"
#include "model/kept_objects.h"
#include "source/ast_nodes.h"

namespace {

using model::NodeHandle;
using qestl::SmartPtr;
using Outcome = expressions::AssignmentPairs::Outcome;

model::IRResult slotValue(bool parameter, uint32_t matchRank = 0) {
    SmartPtr object = model::makeObject(parameter ? "p" : "v", model::kKindVariable, SmartPtr(), 0);
    if (parameter) model::asObject(object)->flagsC |= model::kFlagParameter;
    model::IRResult value(object, model::Operand(1, model::kStackSlot, model::kTypeInt));
    value.matchRank = matchRank;
    return value;
}

expressions::AssignmentPairKey key(uint64_t left, uint64_t right) { return {{left, 0}, {right, 0}}; }

TEST(AssignmentPairs, LocalsRankBeforeParametersOnTheLeftAndAfterThemOnTheRight) {
    const model::IRResult local = slotValue(false);
    const model::IRResult parameter = slotValue(true);
    EXPECT_EQ(expressions::assignmentPairKey(local, parameter), key(1, 1));
    EXPECT_EQ(expressions::assignmentPairKey(parameter, local), key(5, 2));
    // The match rank joins each side; a value without object ranks 7.
    EXPECT_EQ(expressions::assignmentPairKey(slotValue(false, 0x100), model::IRResult()), key(0x101, 7));
}

TEST(AssignmentPairs, TheLowestKeyIsChosenUnlessItHoldsSeveralPairs) {
    size_t index = 99;
    EXPECT_EQ(expressions::AssignmentPairs().choose(index), Outcome::None);

    expressions::AssignmentPairs one;
    one.add(key(5, 0), 0, false);
    EXPECT_EQ(one.choose(index), Outcome::Chosen);
    EXPECT_EQ(index, 0u);
    expressions::AssignmentPairs bare;
    bare.add(key(5, 0), 0, true);
    EXPECT_EQ(bare.choose(index), Outcome::BareRegister);

    expressions::AssignmentPairs several;
    several.add(key(9, 0), 0, false);
    several.add(key(3, 0), 1, false);
    several.add(key(9, 0), 2, false);
    EXPECT_EQ(several.choose(index), Outcome::ChosenOfSeveral);
    EXPECT_EQ(index, 1u);
    several.add(key(3, 0), 3, true);  // a second pair with the lowest key
    EXPECT_EQ(several.choose(index), Outcome::Ambiguous);

    expressions::AssignmentPairs first;
    first.add(key(3, 0), 0, true);  // the first pair of a key decides its flag
    first.add(key(4, 0), 1, false);
    EXPECT_EQ(first.choose(index), Outcome::BareRegister);
}

// A compile context inside a method, the built-in int type declared.
struct TrialFixture {
    TrialFixture() {
        model::BuiltinTypes& b = context.builtins();
        b.set(model::Builtin::Int, model::makeClass("int", b.classType));
        model::asObject(b.intType)->typeCode = model::kTypeInt;
        model::asObject(b.intType)->numericRank = 4;
        context.emitter().setFunction(&state);
        context.lookup().scopes().pushFrame(SmartPtr());
    }
    ~TrialFixture() {
        context.lookup().clearResults();
        expressionState(context).trials.clear();
        context.emitter().setFunction(nullptr);
        for (SmartPtr& object : held) object.as<model::cbSmartCore>()->detach();
        model::asObject(context.builtins().intType)->detach();
    }
    // A deferred value whose expression is `node`.
    model::IRResult deferred(const NodeHandle& node) {
        model::IRResult value(model::makeObject("call", model::kKindVariable, SmartPtr(), 0));
        value.secondObject = value.object;
        value.secondNode = node;
        held.push_back(value.object);
        return value;
    }
    model::IRValueList target() {
        model::IRValueList targets;
        SmartPtr place = model::makeObject("t", model::kKindVariable, context.builtins().intType, 0);
        held.push_back(place);
        targets.pushBack(model::IRResult(place));
        return targets;
    }
    model::IRValueList filter(model::IRValueList values) {
        model::IRValueList targets = target();
        DiagnosticCapture capture;
        filterCandidatesByTrial(capture, context, targets, values);
        EXPECT_TRUE(targets.empty());
        return values;
    }

    CompileContext context;
    FunctionCompileState state;
    std::vector<SmartPtr> held;
};

TEST(TrialCompilation, ANodeIsCompiledOnceAndItsResultsHandedOutAsCopies) {
    TrialFixture f;
    const NodeHandle seven = makeAstNode(NodeKind::IntegerLiteral, "7");
    model::IRValueList values;
    values.pushBack(f.deferred(seven));
    values.pushBack(f.deferred(seven));  // the same node twice: tried once
    const model::IRValueList first = f.filter(values);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].operand.value, 7);
    // A literal makes a fresh object each time it is compiled: the second
    // trial hands out the object of the first.
    const model::IRValueList second = f.filter(values);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].object.get(), first[0].object.get());
    EXPECT_EQ(expressionState(f.context).trials.size(), 1u);
    EXPECT_EQ(f.context.errorCount(), 0u);
}

TEST(TrialCompilation, AFailedTrialContributesNothingLaterEitherAndReportsNothing) {
    TrialFixture f;
    // x++ on a variable never assigned: the step compiles, and its use is
    // reported as an error.
    SmartPtr x = model::makeObject("x", model::kKindVariable, f.context.builtins().intType, 0);
    model::asObject(x)->flagsC |= model::kFlagUnassigned;
    f.held.push_back(x);
    f.context.lookup().scopes().setDeclarationMode(kDeclareLocal);
    f.context.lookup().scopes().declareObject("x", x, false);
    NodeHandle step = makeAstNode(NodeKind::Expression, "++");
    step->operands.pushBack(makeAstNode(NodeKind::Name, "x"));
    model::IRValueList values;
    values.pushBack(f.deferred(step));
    values.pushBack(model::IRResult(f.target()[0]));  // a plain value stays
    EXPECT_EQ(f.filter(values).size(), 1u);
    const auto cached = expressionState(f.context).trials.find(step->serial);
    ASSERT_NE(cached, expressionState(f.context).trials.end());
    EXPECT_TRUE(cached->second.failed);
    EXPECT_EQ(cached->second.results.size(), 1u);
    // Taken from the cache, the failed results still count for nothing.
    EXPECT_EQ(f.filter(values).size(), 1u);
    EXPECT_EQ(expressionState(f.context).trials.size(), 1u);
    EXPECT_EQ(f.context.errorCount(), 0u);
    EXPECT_EQ(f.context.diagnostics().activeCapture(), nullptr);
}

TEST(TrialCompilation, ATargetIsMadeOnlyForADeferredValueAndTakesItsSerialEitherWay) {
    TrialFixture f;
    const SmartPtr type = f.context.builtins().intType;
    model::IRValueList plain = f.target();
    model::IRValueList targets;
    const uint64_t before = model::serialMark();
    addTrialTarget(targets, plain, type);
    EXPECT_TRUE(targets.empty());
    EXPECT_EQ(model::serialMark(), before + 1);  // later objects number as if it were made
    model::IRValueList deferred;
    deferred.pushBack(f.deferred(makeAstNode(NodeKind::IntegerLiteral, "7")));
    const uint64_t made = model::serialMark() + 1;
    addTrialTarget(targets, deferred, type);
    ASSERT_EQ(targets.size(), 1u);
    f.held.push_back(targets[0].object);
    EXPECT_EQ(model::asObject(targets[0].object)->serial(), made);
}

}  // namespace
