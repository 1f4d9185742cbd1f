// Protected regions compiled inside a method body from hand-made nodes:
// synchronized blocks (the action scope's exact shape and offsets, one lock
// record per object, the refused lock types and lock-kind mixes), blocks and
// their pending catch variable, and try/catch (pads, mapseh offset, jex).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/diagnostic_capture.h"
#include "codegen/jump_scope.h"
#include "expressions/compile_expression.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "model/function_object.h"
#include "model/opcodes.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"
#include "statements/hand_made_classes.h"
#include "statements/walk_state.h"

namespace {

using model::NodeHandle;
using qestl::SmartPtr;

struct Fixture {
    Fixture() {
        model::BuiltinTypes& b = context.builtins();
        compile_test::makeBuiltinClasses(b,
                                         {{model::Builtin::Int, "int", 4},
                                          {model::Builtin::Void, "void", 0},
                                          {model::Builtin::String, "String", 9},
                                          {model::Builtin::Bool, "bool", 8}},
                                         held);
        held.push_back(model::makeClass("Box", context.builtins().classType));
        b.exceptionType = model::makeClass("Exception", context.builtins().classType);
        held.push_back(b.exceptionType);
        context.registerBuiltinClass(SmartPtr(), b.exceptionType);
        capture.begin(context.diagnostics());
    }
    ~Fixture() {
        capture.close(context.diagnostics());
        codegen::releaseCodeList(context.emitter().list(kMemberCodeList));
        codegen::releaseCodeList(context.emitter().list(kRecordList));
        compile_test::releaseHeld(held);
    }
    // void m(<type> o) { body }, compiled; without a parameter type, a
    // method of the return type and no parameters.
    void compileMethod(const SmartPtr& parameterType, NodeHandle body, const char* returnType = "void") {
        NodeHandle node = makeAstNode(NodeKind::Method, "m");
        NodeHandle block = body;
        if (body->kind != NodeKind::Block) {
            block = makeAstNode(NodeKind::Block);
            block->children.pushBack(body);
        }
        // The node's parameter list must match the method's parameters, or
        // the compile pass takes the method for one the declaration pass refused.
        NodeHandle parameters;
        if (parameterType) {
            parameters = makeAstNode(NodeKind::List);
            NodeHandle parameter = makeAstNode(NodeKind::List, "o");
            parameter->operands.pushBack(
                makeAstNode(NodeKind::Name, parameterType.as<model::IRObject>()->name.c_str()));
            parameters->operands.pushBack(parameter);
        }
        for (NodeHandle operand : {NodeHandle(), makeAstNode(NodeKind::Name, returnType), parameters, NodeHandle(), block,
                                   makeAstNode(NodeKind::Empty)})
            node->operands.pushBack(operand);
        const bool isVoid = std::string(returnType) == "void";
        SmartPtr f = model::makeFunction("m", isVoid ? context.builtins().voidType : context.builtins().intType);
        held.push_back(f);
        if (parameterType) {
            SmartPtr parameter = model::makeObject("o", model::kKindVariable, parameterType, 0);
            held.push_back(parameter);
            f.as<model::FunctionObject>()->addParameter(parameter);
        }
        f.as<model::IRObject>()->setDeclarationNode(node);
        model::bindObjectToNode(node, f.as<model::IRObject>());
        compileStatement(context, node, false);
    }
    static NodeHandle lock(uint32_t kind, std::vector<NodeHandle> body = {}, const char* name = "o") {
        NodeHandle node = makeAstNode(kind);
        node->operands.pushBack(makeAstNode(NodeKind::Name, name));
        NodeHandle list = makeAstNode(NodeKind::Block);
        for (NodeHandle& statement : body) list->children.pushBack(statement);
        node->operands.pushBack(list);
        return node;
    }
    const model::cbircode* at(size_t i) { return context.emitter().list(kMemberCodeList)[i].as<model::cbircode>(); }
    std::vector<uint32_t> opcodes() {
        std::vector<uint32_t> out;
        for (const SmartPtr& instruction : context.emitter().list(kMemberCodeList))
            out.push_back(instruction.as<model::cbircode>()->opcode);
        return out;
    }
    std::string errors() const { return capture.errorText.c_str() != nullptr ? capture.errorText.c_str() : ""; }
    SmartPtr box() const { return held[4]; }

    CompileContext context;
    DiagnosticCapture capture;
    std::vector<SmartPtr> held;
};

TEST(SynchronizedBlock, AnEmptyBlockIsAnActionScopeWithTheUnlockAsCleanup) {
    Fixture f;
    f.compileMethod(f.box(), Fixture::lock(NodeKind::Synchronized));
    ASSERT_EQ(f.errors(), "");
    using namespace model;
    const std::vector<uint32_t> scope{kOpNewActionscope, kOpLock,       kOpPush,   kOpJmp,
                                      kOpPushRef,        kOpJmp,        kOpJmp,    kOpUnlock,
                                      kOpExitActionscope, kOpCloseActionscope};
    const std::vector<uint32_t> all = f.opcodes();
    ASSERT_GE(all.size(), scope.size() + 1);
    EXPECT_EQ(std::vector<uint32_t>(all.begin() + 1, all.begin() + 1 + scope.size()), scope);
    const cbircode* opening = f.at(1);
    EXPECT_EQ(opening->operands[1].kind, kCodeOffset);
    EXPECT_EQ(opening->operands[1].value, 120);  // lock to close_actionscope
    EXPECT_EQ(opening->operands[0].target, f.context.emitter().list(kMemberCodeList)[8]);  // the unlock
    const cbircode* closing = f.at(10);
    EXPECT_EQ(closing->operands[0].target, f.context.emitter().list(kMemberCodeList)[8]);
    EXPECT_EQ(f.at(7)->operands[0].kind, kCodeOffset);  // over the 4-byte unlock
    EXPECT_EQ(f.at(7)->operands[0].value, 4);
    for (size_t exit : {4u, 6u})
        EXPECT_EQ(f.at(exit)->operands[0].target, f.context.emitter().list(kMemberCodeList)[10]);
    EXPECT_EQ(f.at(3)->operands[0].kind, kImmInt);
    // The lock takes the object's one lock record, kept in the record list.
    ASSERT_EQ(f.context.emitter().list(kRecordList).size(), 1u);
    EXPECT_EQ(f.at(2)->operands[0].target, f.context.emitter().list(kRecordList)[0]);
    // The method's return, redirected by the scope, is pushed as a reference.
    EXPECT_EQ(f.at(5)->operands[0].kind, kObjectReference);
}

TEST(SynchronizedBlock, OneObjectKeepsOneLockRecordAndReadWriteMixes) {
    Fixture f;
    f.compileMethod(f.box(), Fixture::lock(NodeKind::SynchronizedRead, {Fixture::lock(NodeKind::SynchronizedWrite)}));
    ASSERT_EQ(f.errors(), "");
    EXPECT_EQ(f.context.emitter().list(kRecordList).size(), 1u);
    std::vector<const model::cbircode*> locks;
    for (size_t i = 0; i < f.context.emitter().list(kMemberCodeList).size(); ++i)
        if (f.at(i)->opcode == model::kOpLockread || f.at(i)->opcode == model::kOpLockwrite) locks.push_back(f.at(i));
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[0]->operands[0].target, locks[1]->operands[0].target);
}

TEST(SynchronizedBlock, ExclusiveAfterReadLockingIsRefused) {
    Fixture f;
    f.compileMethod(f.box(), Fixture::lock(NodeKind::SynchronizedRead, {Fixture::lock(NodeKind::Synchronized)}));
    EXPECT_NE(f.errors().find("同步的类型不一致,已经对该对象使用过和当前操作不兼容的同步方法"), std::string::npos);
}

TEST(SynchronizedBlock, PrimitivesAndStringCannotBeLockedButBoolCan) {
    for (auto [type, refused] :
         {std::pair{model::Builtin::Int, true}, {model::Builtin::String, true}, {model::Builtin::Bool, false}}) {
        Fixture f;
        f.compileMethod(f.context.builtins()[type], Fixture::lock(NodeKind::Synchronized));
        EXPECT_EQ(f.errors().find("此类型无法用于同步语法") != std::string::npos, refused);
    }
}

TEST(Block, ThePendingVariableAndTheLocalsLiveOnlyInTheBlock) {
    Fixture f;
    walkState(f.context).pendingBlockVariable = model::makeObject("p", model::kKindVariable, f.box(), 0);
    f.held.push_back(walkState(f.context).pendingBlockVariable);
    NodeHandle block = makeAstNode(NodeKind::Block);
    block->operands.pushBack(Fixture::lock(NodeKind::Synchronized, {}, "p"));
    block->children.pushBack(Fixture::lock(NodeKind::Synchronized, {}, "p"));  // after the block
    f.compileMethod(f.box(), block);
    EXPECT_FALSE(walkState(f.context).pendingBlockVariable);
    EXPECT_EQ(f.context.emitter().list(kRecordList).size(), 1u);  // the lock inside compiled
    const std::string errors = f.errors();
    const size_t first = errors.find("未定义的标识符");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(errors.find("未定义的标识符", first + 1), std::string::npos);
}

NodeHandle returning(const char* literal) {
    NodeHandle node = makeAstNode(NodeKind::Return);
    node->operands.pushBack(makeAstNode(NodeKind::IntegerLiteral, literal));
    return node;
}

// try { body } catch (<type> e) { }
NodeHandle tryCatch(NodeHandle body, const char* type) {
    NodeHandle node = makeAstNode(NodeKind::Try);
    NodeHandle clauses = makeAstNode(NodeKind::Catch);
    NodeHandle clause = makeAstNode(NodeKind::CatchClause, "e");
    clause->operands.pushBack(makeAstNode(NodeKind::Name, type));
    clause->operands.pushBack(NodeHandle());
    clauses->operands.pushBack(clause);
    for (NodeHandle operand : {body, clauses, NodeHandle()}) node->operands.pushBack(operand);
    return node;
}

TEST(TryStatement, AReturnInsideTryLandsOnItsPadAndLeavesThroughJex) {
    Fixture f;
    // int m() { try { return 1; } catch (Exception e) { } return 0; }
    NodeHandle tryNode = tryCatch(returning("1"), "Exception");
    tryNode->children.pushBack(returning("0"));
    f.compileMethod(SmartPtr(), tryNode, "int");
    ASSERT_EQ(f.errors(), "");
    using namespace model;
    EXPECT_EQ(f.opcodes(), (std::vector<uint32_t>{kOpCheckesp, kOpMapseh, kOpInstSeh, kOpMov, kOpJmp, kOpUistSeh, kOpJmp,
                                                  kOpUistSeh, kOpJmp, kOpJmp, kOpJmp, kOpJmp, kOpSetef, kOpJex, kOpMov,
                                                  kOpRet}));
    const cbircode* mapseh = f.at(1);
    EXPECT_EQ(mapseh->operands[1].kind, kCodeOffset);
    EXPECT_EQ(mapseh->operands[1].value, 136);  // past inst seh, the body and both pads
    EXPECT_EQ(f.at(2)->operands[0].value, 1);
    EXPECT_EQ(f.at(2)->operands[1].kind, kImmInt);
    const SmartPtr& setef = f.context.emitter().list(kMemberCodeList)[12];
    const SmartPtr& pad1 = f.context.emitter().list(kMemberCodeList)[7];
    EXPECT_EQ(f.at(4)->operands[0].target, pad1);  // the return in try
    EXPECT_EQ(f.at(6)->operands[0].target, setef);
    EXPECT_EQ(f.at(8)->operands[0].target, setef);
    EXPECT_EQ(f.at(9)->operands[0].target, f.context.emitter().list(kMemberCodeList)[5]);  // handler's end: uist seh 0
    EXPECT_EQ(f.at(10)->operands[0].kind, kCodeOffset);
    EXPECT_EQ(f.at(11)->operands[0].target, pad1);
    EXPECT_EQ(f.at(13)->operands[0].value, 1);
    EXPECT_EQ(f.at(13)->operands[1].target, f.context.emitter().list(kMemberCodeList)[15]);  // the method's ret
}

NodeHandle tryFinally(NodeHandle finallyBlock) {
    NodeHandle node = makeAstNode(NodeKind::Try);
    for (NodeHandle operand : {makeAstNode(NodeKind::Block), NodeHandle(), finallyBlock}) node->operands.pushBack(operand);
    return node;
}

TEST(TryStatement, AReturnInFinallyReachesThePopPushTail) {
    Fixture f;
    f.compileMethod(SmartPtr(), tryFinally(returning("2")), "int");
    using namespace model;
    const std::vector<uint32_t> all = f.opcodes();
    size_t pop = 0;
    while (pop < all.size() && all[pop] != kOpPop) ++pop;
    ASSERT_LT(pop + 3, all.size());
    EXPECT_EQ(all[pop + 1], kOpPush);
    EXPECT_EQ(all[pop + 2], kOpExitFinally);
    EXPECT_EQ(f.at(pop - 1)->operands[0].target, f.context.emitter().list(kMemberCodeList)[pop + 2]);  // over the tail
    // The return's jump, just before that, lands on the pop.
    EXPECT_EQ(f.at(pop - 2)->operands[0].target, f.context.emitter().list(kMemberCodeList)[pop]);
    // inst seh names the first instruction of the finally code.
    EXPECT_EQ(f.at(1)->opcode, kOpInstSeh);
    EXPECT_EQ(f.at(1)->operands[1].kind, kObjectReference);
}

TEST(TryStatement, BreakStaysRefusedInAFinallyAfterANestedOne) {
    Fixture f;
    NodeHandle outer = makeAstNode(NodeKind::Block);
    outer->operands.pushBack(tryFinally(makeAstNode(NodeKind::Block)));
    outer->children.pushBack(makeAstNode(NodeKind::Break));
    f.compileMethod(SmartPtr(), tryFinally(outer));
    EXPECT_NE(f.errors().find("当前域中无法使用此语法."), std::string::npos) << f.errors();
}

TEST(TryStatement, ACatchOfNoExceptionClassIsRefusedAtItsType) {
    Fixture f;
    f.compileMethod(SmartPtr(), tryCatch(makeAstNode(NodeKind::Block), "Missing"));
    EXPECT_NE(f.errors().find("catch 类型不正确"), std::string::npos);
    for (uint32_t opcode : f.opcodes()) EXPECT_NE(opcode, model::kOpInstSeh);
}

}  // namespace
