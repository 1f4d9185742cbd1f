// Operator nodes over hand-made trees: classification, the overload name,
// list cloning, and the compiled operators on literals and locals (folding,
// negation, "~", "!", comparisons as values, the saved left register).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "expressions/compile_expression.h"
#include "expressions/expression_state.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/ir_object.h"
#include "model/opcodes.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"
#include "statements/hand_made_classes.h"
#include "statements/walk_state.h"

namespace {

using model::NodeHandle;
using qestl::SmartPtr;

NodeHandle op(const char* text, NodeHandle left, NodeHandle right) {
    NodeHandle node = makeAstNode(NodeKind::Expression, text);
    node->operands.pushBack(left);
    if (right) node->operands.pushBack(right);
    return node;
}
NodeHandle literal(const char* text) { return makeAstNode(NodeKind::IntegerLiteral, text); }
NodeHandle name(const char* text) { return makeAstNode(NodeKind::Name, text); }

TEST(OperatorCodes, ClassifiesOperandsByForm) {
    StatementNode first, second;
    int32_t count = 0;
    EXPECT_EQ(classifyOperator(op("-", name("a"), name("b")), first, second, count), 63u);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(first->text.view(), "a");
    EXPECT_EQ(second->text.view(), "b");

    second = name("kept");
    EXPECT_EQ(classifyOperator(op("-", NodeHandle(), name("n")), first, second, count), 63u);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(first->text.view(), "n");
    EXPECT_EQ(classifyOperator(op("!", NodeHandle(), name("f")), first, second, count), 75u);
    EXPECT_EQ(first->text.view(), "f");
    EXPECT_EQ(second->text.view(), "kept");

    EXPECT_EQ(classifyOperator(op("++", name("i"), NodeHandle()), first, second, count), 103u);
    EXPECT_EQ(classifyOperator(op("--", NodeHandle(), name("i")), first, second, count), 102u);
    EXPECT_EQ(operatorCodeOf(op("++", name("i"), NodeHandle())), 103u);
    EXPECT_EQ(operatorCodeOf(op("++", NodeHandle(), name("i"))), 101u);
    EXPECT_TRUE(isPostfixIncDec(op("--", name("i"), NodeHandle())));
    EXPECT_FALSE(isPostfixIncDec(op("--", NodeHandle(), name("i"))));

    for (const char* text : {"==", "===", "!=", "<", "<=", ">", ">="}) EXPECT_EQ(operatorCodeOf(op(text, name("a"), name("b"))), 66u);
    EXPECT_EQ(operatorCodeOf(op("^=", name("a"), name("b"))), 122u);
    EXPECT_EQ(operatorCodeOf(op("|=", name("a"), name("b"))), 121u);

    first = NodeHandle();
    count = 7;
    EXPECT_EQ(classifyOperator(op("?:", name("a"), name("b")), first, second, count), 0u);
    EXPECT_FALSE(first);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(classifyOperator(op(" + ", name("a"), name("b")), first, second, count), 0u);
}

TEST(OperatorCodes, OverloadNameTrimsBlanksOnly) {
    StatementNode first, second;
    int32_t count = 0;
    EXPECT_EQ(operatorOverloadSignature(op(" + ", name("a"), name("b")), first, second, count), "+");
    EXPECT_EQ(operatorOverloadSignature(op("-", NodeHandle(), name("n")), first, second, count), "-");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(first->text.view(), "n");
    EXPECT_EQ(operatorOverloadSignature(op("\t+", name("a"), name("b")), first, second, count), "\t+");
}

TEST(OperatorCodes, ClonedListLinksPointIntoTheCopy) {
    qestl::SmartPtrVector source, copy;
    source.pushBack(codegen::makeInstruction(model::kOpJmp, 1));
    source.pushBack(codegen::makeInstruction(model::kOpRet, 0));
    source[0].as<model::cbircode>()->operands[0].setObjectRef(source[1], 0);
    cloneInstructionList(source, copy);
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_NE(copy[0].get(), source[0].get());
    EXPECT_EQ(copy[0].as<model::cbircode>()->operands[0].target.get(), copy[1].get());
    for (auto* list : {&source, &copy})
        for (SmartPtr& instruction : *list) instruction.as<model::cbircode>()->detach();
}

// A method's context with int, long, bool and double, locals declared in a
// frame, and the diagnostics captured.
struct Fixture {
    Fixture() {
        model::BuiltinTypes& b = context.builtins();
        compile_test::makeBuiltinClasses(b,
                                         {{model::Builtin::Int, "int", 4, 4},
                                          {model::Builtin::Long, "long", 5, 5},
                                          {model::Builtin::Bool, "bool", 8},
                                          {model::Builtin::Double, "double", 7, 7},
                                          {model::Builtin::Byte, "byte", 1, 1}},
                                         held);
        context.emitter().setFunction(&state);
        context.lookup().scopes().pushFrame(SmartPtr());
        context.lookup().scopes().setDeclarationMode(kDeclareLocal);
        capture.begin(context.diagnostics());
    }
    ~Fixture() {
        capture.close(context.diagnostics());
        context.lookup().clearResults();
        context.emitter().setFunction(nullptr);
        compile_test::releaseHeld(held);
    }
    model::IRObject* local(const char* text, const SmartPtr& type) {
        SmartPtr object = model::makeObject(text, model::kKindVariable, type, 0);
        context.lookup().scopes().declareObject(text, object, false);
        held.push_back(object);
        return model::asObject(object);
    }
    void constant(const char* text, const SmartPtr& type, int64_t value, uint32_t kind) {
        local(text, type)->setConstantValue(model::makeImmediate(value, kind), true);
    }
    // The compiled node's single value and its pending opcodes.
    std::vector<uint32_t> compile(const NodeHandle& node) {
        compileStatement(context, node, true);
        std::vector<uint32_t> out;
        if (context.lookup().candidates().size() != 1) return {0xFFFFFFFFu};
        for (const SmartPtr& instruction : context.lookup().candidates()[0].pending)
            out.push_back(instruction.as<model::cbircode>()->opcode);
        return out;
    }
    const model::cbircode& last() { return *context.lookup().candidates()[0].pending.back().as<model::cbircode>(); }

    CompileContext context;
    FunctionCompileState state;
    DiagnosticCapture capture;
    std::vector<SmartPtr> held;
};

TEST(OperatorExpressions, ConstantsFoldWithoutCode) {
    Fixture f;
    EXPECT_TRUE(f.compile(op("+", literal("1"), literal("2"))).empty());
    const model::IRResult& sum = f.context.lookup().candidates()[0];
    EXPECT_EQ(sum.operand.value, 3);
    EXPECT_TRUE(sum.objectPtr()->hasConstantValue());
    EXPECT_TRUE(model::isBuiltin(model::asObject(sum.objectPtr()->type), model::Builtin::Int));

    // (7 / 2) * 2: an earlier fold folds again.
    EXPECT_TRUE(f.compile(op("*", op("/", literal("7"), literal("2")), literal("2"))).empty());
    EXPECT_EQ(f.context.lookup().candidates()[0].operand.value, 6);
    EXPECT_TRUE(f.capture.errorText.empty());
}

TEST(OperatorExpressions, NamedConstantsFoldAsImmediates) {
    Fixture f;
    const SmartPtr& longType = f.context.builtins().longType;
    f.constant("M", longType, INT64_MIN, model::kImmLong);
    f.constant("N", longType, -1, model::kImmLong);
    f.local("v", longType);
    // The most negative long by -1 wraps to itself, and % gives 0.
    EXPECT_TRUE(f.compile(op("/", name("M"), name("N"))).empty());
    EXPECT_EQ(f.context.lookup().candidates()[0].operand.value, INT64_MIN);
    EXPECT_EQ(f.context.lookup().candidates()[0].operand.kind, model::kImmLong);
    EXPECT_TRUE(f.compile(op("%", name("M"), name("N"))).empty());
    EXPECT_EQ(f.context.lookup().candidates()[0].operand.value, 0);
    // Against a variable the constant is an immediate operand, not a load.
    EXPECT_EQ(f.compile(op("+", name("v"), name("N"))), std::vector<uint32_t>{model::kOpAdd});
    EXPECT_EQ(f.last().operands[1].kind, model::kImmLong);
    EXPECT_EQ(f.last().operands[1].value, -1);
    EXPECT_TRUE(f.capture.errorText.empty());
}

TEST(OperatorExpressions, FoldingErrorsAreReported) {
    Fixture f;
    f.compile(op("/", literal("10"), literal("0")));
    EXPECT_NE(std::string(f.capture.errorText.view()).find("除零错误"), std::string::npos);
    EXPECT_TRUE(f.context.lookup().candidates().empty());
}

TEST(OperatorExpressions, NegationNotAndComplement) {
    Fixture f;
    f.local("n", f.context.builtins().intType);
    f.local("flag", f.context.builtins().boolType);
    EXPECT_EQ(f.compile(op("-", NodeHandle(), name("n"))), std::vector<uint32_t>{model::kOpSub});
    EXPECT_EQ(f.last().operandCount, 2u);
    EXPECT_EQ(f.last().operands[0].kind, model::kImmInt);
    EXPECT_EQ(f.last().operands[0].value, 0);
    EXPECT_EQ(f.context.lookup().candidates()[0].operand.kind, model::kRegister);

    EXPECT_EQ(f.compile(op("~", NodeHandle(), literal("0"))), std::vector<uint32_t>{model::kOpNot});
    EXPECT_EQ(f.context.lookup().candidates()[0].operand.dataType, model::kTypeInt);
    EXPECT_EQ(f.compile(op("!", NodeHandle(), name("flag"))), std::vector<uint32_t>{model::kOpCpl});
    EXPECT_EQ(f.context.lookup().candidates()[0].operand.dataType, model::kTypeBool);
    EXPECT_TRUE(f.capture.errorText.empty());

    f.compile(op("!", NodeHandle(), name("n")));
    EXPECT_NE(std::string(f.capture.errorText.view()).find("非bool类型无法参与运算"), std::string::npos);
}

TEST(OperatorExpressions, UnaryPlusNeedsTwoOperands) {
    Fixture f;
    f.local("n", f.context.builtins().intType);
    f.compile(op("+", NodeHandle(), name("n")));
    EXPECT_NE(std::string(f.capture.errorText.view()).find("缺少必要的操作数"), std::string::npos);
}

TEST(OperatorExpressions, ComparisonAsValueJumpsOverTheFalseMove) {
    Fixture f;
    f.local("a", f.context.builtins().intType);
    f.local("b", f.context.builtins().intType);
    EXPECT_EQ(f.compile(op("<", name("a"), name("b"))),
              (std::vector<uint32_t>{model::kOpCmp, model::kOpMov, model::kOpJb, model::kOpMov}));
    const model::IRResult& value = f.context.lookup().candidates()[0];
    EXPECT_EQ(value.pending[0].as<model::cbircode>()->operands[0].kind, model::kStackSlot);
    EXPECT_EQ(value.pending[0].as<model::cbircode>()->operands[1].kind, model::kStackSlot);
    EXPECT_EQ(value.pending[2].as<model::cbircode>()->operands[0].value, 28);
    EXPECT_EQ(value.pending[1].as<model::cbircode>()->operands[1].value, 1);
    EXPECT_EQ(value.pending[3].as<model::cbircode>()->operands[1].value, 0);
    EXPECT_EQ(value.operand.dataType, model::kTypeBool);

    walkState(f.context).compareOnly = true;
    EXPECT_EQ(f.compile(op("<", name("a"), name("b"))), std::vector<uint32_t>{model::kOpCmp});
    EXPECT_FALSE(walkState(f.context).compareOnly);
}

TEST(OperatorExpressions, ComparisonWarnings) {
    Fixture f;
    f.local("b", f.context.builtins().byteType);
    f.compile(op("==", name("b"), op("-", NodeHandle(), literal("1"))));
    EXPECT_NE(std::string(f.capture.warningText.view()).find("有符号/无符号不匹配"), std::string::npos);
}

TEST(OperatorExpressions, ConstantConditionsWarnAndStillCompare) {
    Fixture f;
    f.local("b", f.context.builtins().byteType);
    const auto warned = [&](const char* text) {
        return std::string(f.capture.warningText.view()).find(text) != std::string::npos;
    };
    // Literals are constants of their own: 1 == 1 is always true, 1 == 2
    // always false, and b < 0 (read 0 > b) can never hold.
    EXPECT_EQ(f.compile(op("==", literal("1"), literal("1")))[0], model::kOpCmp);
    EXPECT_TRUE(warned("常量值恒为True"));
    EXPECT_FALSE(warned("常量值恒为False"));
    f.compile(op("==", literal("1"), literal("2")));
    EXPECT_TRUE(warned("常量值恒为False"));
    EXPECT_FALSE(warned("无符号整数恒大于等于0"));
    f.compile(op("<", name("b"), literal("0")));
    EXPECT_TRUE(warned("无符号整数恒大于等于0"));
}

TEST(OperatorExpressions, LeftRegisterIsSavedAroundRightCode) {
    Fixture f;
    f.local("a", f.context.builtins().intType);
    f.local("b", f.context.builtins().intType);
    // (a + b) * (a - b): the left value lives in eax while the right one is
    // computed.
    EXPECT_EQ(f.compile(op("*", op("+", name("a"), name("b")), op("-", name("a"), name("b")))),
              (std::vector<uint32_t>{model::kOpAdd, model::kOpPush, model::kOpSub, model::kOpPop, model::kOpMul}));
    EXPECT_TRUE(f.last().operands[0].isRegister(model::kEcx));
    EXPECT_TRUE(f.last().operands[1].isRegister(model::kEax));
}

TEST(MemberAccess, MembersAreReachedThroughTheirOwner) {
    Fixture f;
    SmartPtr klass = model::makeClass("K", f.context.builtins().classType);
    f.held.push_back(klass);
    SmartPtr shared = model::makeObject("s", model::kKindVariable, f.context.builtins().intType, 0);
    SmartPtr field = model::makeObject("x", model::kKindVariable, f.context.builtins().intType, 0);
    shared.as<model::IRObject>()->setStatic(true);
    for (SmartPtr* member : {&shared, &field}) member->as<model::IRObject>()->modifiers |= 0x40;  // public
    f.held.push_back(shared);
    f.held.push_back(field);
    klass.as<model::ClassObject>()->addProperty("s", shared, true);
    klass.as<model::ClassObject>()->addProperty("x", field, false);
    f.context.lookup().scopes().declareObject("K", klass, false);
    f.local("k", klass);

    EXPECT_TRUE(f.compile(op(".", name("K"), name("s"))).empty()) << f.capture.errorText.c_str();
    EXPECT_EQ(f.context.lookup().candidates()[0].objectPtr()->getName().view(), "s");
    // A field reached through a value is loaded from that value into eax.
    EXPECT_EQ(f.compile(op(".", name("k"), name("x"))), std::vector<uint32_t>{model::kOpMember});
    EXPECT_EQ(f.last().operands[0].kind, model::kStackSlot);
    const model::IRResult& member = f.context.lookup().candidates()[0];
    EXPECT_TRUE(member.isInAccumulator());
    EXPECT_EQ(member.objectPtr()->getName().view(), "x");
    EXPECT_EQ(member.storageIndex, 2u);  // through a local on the stack
    EXPECT_TRUE(f.capture.errorText.empty());
    EXPECT_TRUE(expressionState(f.context).valueLists.empty());

    f.compile(op(".", name("k"), name("missing")));
    EXPECT_NE(std::string(f.capture.errorText.view()).find("找不到对象:missing\n在以下对象中获取属性:\n"),
              std::string::npos);
    EXPECT_TRUE(expressionState(f.context).valueLists.empty());
}

}  // namespace
