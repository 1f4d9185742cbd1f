// Method bodies compiled from hand-made declaration nodes with the method
// objects the declaration pass would have bound to them: prologue and
// epilogue, the typed move of a return value, the removed final jump, the
// missing return, and the implicit base-constructor calls.
#include <gtest/gtest.h>

#include <vector>

#include "classes/compile_method.h"
#include "codegen/compile_context.h"
#include "codegen/resource_table.h"
#include "expressions/compile_expression.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/opcodes.h"
#include "source/annotation_edit.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"
#include "statements/hand_made_classes.h"

namespace {

using model::NodeHandle;
using qestl::SmartPtr;

struct Fixture {
    Fixture() {
        model::BuiltinTypes& b = context.builtins();
        compile_test::makeBuiltinClasses(b,
                                         {{model::Builtin::Int, "int", 4, 4},
                                          {model::Builtin::Long, "long", 5, 5},
                                          {model::Builtin::Void, "void", 0},
                                          {model::Builtin::String, "String", 9}},
                                         held);
        capture.begin(context.diagnostics());
    }
    ~Fixture() {
        capture.close(context.diagnostics());
        codegen::releaseCodeList(context.emitter().list(kMemberCodeList));
        compile_test::releaseHeld(held);
    }
    SmartPtr keep(SmartPtr object) {
        held.push_back(object);
        return object;
    }
    // A method node: no template list, a return type, parameters, no throws
    // list, the body, the closing node.
    NodeHandle method(const char* name, const char* returnType, NodeHandle body) {
        NodeHandle node = makeAstNode(NodeKind::Method, name);
        node->operands.pushBack(NodeHandle());
        node->operands.pushBack(returnType ? makeAstNode(NodeKind::Name, returnType) : NodeHandle());
        node->operands.pushBack(NodeHandle());
        node->operands.pushBack(NodeHandle());
        node->operands.pushBack(body);
        node->operands.pushBack(makeAstNode(NodeKind::Empty));
        return node;
    }
    SmartPtr declare(const NodeHandle& node, const SmartPtr& returnType, const SmartPtr& owner = SmartPtr()) {
        SmartPtr f = keep(model::makeFunction(node->text.view(), returnType));
        if (owner) f.as<model::IRObject>()->setOwner(model::IRResult(owner));
        f.as<model::IRObject>()->setDeclarationNode(node);
        model::bindObjectToNode(node, f.as<model::IRObject>());
        return f;
    }
    static NodeHandle returning(const char* literal) {
        NodeHandle ret = makeAstNode(NodeKind::Return);
        if (literal) ret->operands.pushBack(makeAstNode(NodeKind::IntegerLiteral, literal));
        return ret;
    }
    std::vector<uint32_t> opcodes() {
        std::vector<uint32_t> out;
        for (const SmartPtr& instruction : context.emitter().list(kMemberCodeList))
            out.push_back(instruction.as<model::cbircode>()->opcode);
        return out;
    }

    CompileContext context;
    DiagnosticCapture capture;
    std::vector<SmartPtr> held;
};

TEST(MethodBody, AFinalReturnLosesItsJumpAndTheValueMovesIntoEax) {
    Fixture f;
    NodeHandle node = f.method("f", "int", Fixture::returning("1"));
    SmartPtr function = f.declare(node, f.context.builtins().intType);
    compileStatement(f.context, node, false);
    EXPECT_TRUE(f.capture.errorText.empty()) << f.capture.errorText.c_str();
    EXPECT_EQ(f.opcodes(), (std::vector<uint32_t>{model::kOpCheckesp, model::kOpMov, model::kOpRet}));
    const auto* head = f.context.emitter().list(kMemberCodeList)[0].as<model::cbircode>();
    EXPECT_EQ(head->operands[0].value, 0);
    const auto* record = function.as<model::cbircode>();
    EXPECT_EQ(record->opcode, model::kOpJmp);
    EXPECT_EQ(record->operands[0].target, f.context.emitter().list(kMemberCodeList)[0]);
    EXPECT_EQ(f.context.emitter().current().size(), 0u);  // nothing left on the main list
    EXPECT_EQ(f.context.emitter().function(), nullptr);
}

TEST(MethodBody, AnIntReturnedFromALongMethodIsMovedAsLong) {
    Fixture f;
    NodeHandle node = f.method("g", "long", Fixture::returning("1"));
    f.declare(node, f.context.builtins().longType);
    compileStatement(f.context, node, false);
    EXPECT_EQ(f.opcodes(), (std::vector<uint32_t>{model::kOpCheckesp, 109, model::kOpRet}));
}

TEST(MethodBody, AReturnBeforeTheEndKeepsItsJump) {
    Fixture f;
    NodeHandle body = Fixture::returning(nullptr);
    body->children.pushBack(Fixture::returning(nullptr));
    NodeHandle node = f.method("v", "void", body);
    f.declare(node, f.context.builtins().voidType);
    compileStatement(f.context, node, false);
    // The second return is unreachable (warning 322) and is the final one.
    EXPECT_EQ(f.opcodes(), (std::vector<uint32_t>{model::kOpCheckesp, model::kOpJmp, model::kOpRet}));
    const auto* jump = f.context.emitter().list(kMemberCodeList)[1].as<model::cbircode>();
    EXPECT_EQ(jump->operands[0].kind, model::kObjectReference);
    EXPECT_EQ(jump->operands[0].target, f.context.emitter().list(kMemberCodeList)[2]);
}

TEST(MethodBody, AValueMethodThatCanEndWithoutReturnIsRefused) {
    Fixture f;
    NodeHandle node = f.method("h", "int", makeAstNode(NodeKind::Empty));
    f.declare(node, f.context.builtins().intType);
    compileStatement(f.context, node, false);
    EXPECT_NE(std::string(f.capture.errorText.view()).find("方法需要返回值"), std::string::npos);
    EXPECT_TRUE(f.context.emitter().list(kMemberCodeList).empty());
}

TEST(MethodBody, AConstructorCallsTheNearestBaseConstructorAndReturnsThis) {
    Fixture f;
    // A declares A(); B declares none; C's constructor calls A().
    SmartPtr a = f.keep(model::makeClass("A", f.context.builtins().classType)),
             b = f.keep(model::makeClass("B", f.context.builtins().classType)),
             c = f.keep(model::makeClass("C", f.context.builtins().classType));
    b.as<model::ClassObject>()->setBaseClass(a);
    c.as<model::ClassObject>()->setBaseClass(b);
    NodeHandle baseNode = f.method("A", nullptr, makeAstNode(NodeKind::Empty));
    SmartPtr baseConstructor = f.declare(baseNode, SmartPtr(), a);
    // Written without an access keyword, as in source: private.
    a.as<model::ClassObject>()->addMethod(f.context, "A", baseConstructor, false);
    for (const SmartPtr& klass : {a, b, c}) ASSERT_TRUE(klass.as<model::ClassObject>()->buildMethodTables(f.context));

    NodeHandle node = f.method("C", nullptr, makeAstNode(NodeKind::Empty));
    f.declare(node, SmartPtr(), c);
    f.context.lookup().scopes().pushObjectScope(c);
    compileStatement(f.context, node, false);
    f.context.lookup().scopes().popObjectScope();
    EXPECT_TRUE(f.capture.errorText.empty()) << f.capture.errorText.c_str();
    EXPECT_EQ(f.opcodes(), (std::vector<uint32_t>{model::kOpCheckesp, model::kOpCall, model::kOpThisToEax, model::kOpRet}));
    const auto* call = f.context.emitter().list(kMemberCodeList)[1].as<model::cbircode>();
    EXPECT_EQ(call->operands[0].target, baseConstructor);
    EXPECT_EQ(call->operands[1].kind, model::kImmInt);
    EXPECT_EQ(call->operands[1].value, 0);
}

TEST(NativeBinding, TheSignatureDescribesTheDeclaredParameters) {
    Fixture f;
    // @Native(Type = "pointer") int n(int a, Plain b, Handle c); where Handle
    // is a Native class and c is marked as a pointer.
    SmartPtr plain = f.keep(model::makeClass("Plain", f.context.builtins().classType)),
             handle = f.keep(model::makeClass("Handle", f.context.builtins().classType));
    handle.as<model::IRObject>()->flagsB |= model::kFlagNative;
    NodeHandle node = f.method("n", "int", NodeHandle());
    node->flags |= NodeFlag::Native | NodeFlag::Bodiless | NodeFlag::Stdcall;
    NodeHandle parameters = makeAstNode(NodeKind::List);
    node->operands[2] = parameters;
    SmartPtr function = f.declare(node, f.context.builtins().intType);
    auto* declared = function.as<model::FunctionObject>();
    const SmartPtr types[] = {f.context.builtins().intType, plain, handle};
    for (int i = 0; i < 3; ++i) {
        NodeHandle parameter = makeAstNode(NodeKind::List, "p");
        if (i == 2) setNativeAnnotationParameter(*parameter, "Type", "\"pointer\"");
        parameters->operands.pushBack(parameter);
        SmartPtr object = model::makeObject(std::string(1, static_cast<char>('a' + i)), model::kKindVariable, types[i], 0);
        declared->addParameter(f.keep(object));
    }
    compileStatement(f.context, node, false);
    EXPECT_TRUE(f.capture.errorText.empty()) << f.capture.errorText.c_str();
    ASSERT_EQ(f.context.tables().resources().items().size(), 1u);
    const auto* item = f.context.tables().resources().items()[0].as<codegen::ResourceItem>();
    const std::vector<uint8_t> bytes(item->data().begin(), item->data().end());
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 4, 12, 47, 4, 1, 1, 0, 0, 0,
                                           0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(bytes, expected);
    // One push of the Native class, then makenative, on the main list.
    ASSERT_EQ(f.context.emitter().list(kMainList).size(), 2u);
    EXPECT_EQ(f.context.emitter().list(kMainList)[1].as<model::cbircode>()->opcode, model::kOpMakenative);
    EXPECT_EQ(declared->modifiers & 0x800u, 0x800u);
    codegen::releaseCodeList(f.context.emitter().list(kMainList));
}

// Methods the declaration pass did not declare are declared when compiled.
struct Undeclared : Fixture {
    Undeclared() { context.lookup().scopes().heaps[0]->findOrCreate("int", context.builtins().intType); }
    ~Undeclared() { context.lookup().scopes().heaps[0]->clear(); }
    static NodeHandle untypedParameters(std::initializer_list<const char*> names) {
        NodeHandle list = makeAstNode(NodeKind::List);
        for (const char* name : names) list->operands.pushBack(makeAstNode(NodeKind::List, name));
        return list;
    }
    // The last message reported, without its position line.
    std::string errors() const {
        const std::string text = capture.errorText.c_str();
        return text.substr(text.rfind('\n') + 1);
    }
};

// An instance's code travels as the pending result: kept aside here, and
// released with the fixture.
void keepInstanceCode(CompileContext& context, CodeList& kept) {
    for (const model::IRResult& result : context.lookup().candidates())
        for (const SmartPtr& instruction : result.pending) kept.pushBack(instruction);
    context.lookup().clearResults();
}

TEST(MethodDeclaration, ATemplateInstanceIsDeclaredAfreshAndLeftOutOfItsScope) {
    Undeclared f;
    CodeList code;
    NodeHandle node = f.method("t", "int", Fixture::returning("1"));
    node->operands[0] = makeAstNode(NodeKind::List);
    node->operands[0]->operands.pushBack(makeAstNode(NodeKind::Name, "T"));
    node->operands[2] = Undeclared::untypedParameters({"a", "b"});
    const model::IRFunction view(node);
    compileMethodDefinition(view, f.context, node, false);
    keepInstanceCode(f.context, code);
    EXPECT_EQ(f.errors(), "");
    auto* first = dynamic_cast<model::FunctionObject*>(static_cast<model::IRObject*>(node->owner()));
    ASSERT_NE(first, nullptr);
    f.keep(SmartPtr(first));
    EXPECT_EQ(first->parameterCount(), 2u);
    EXPECT_TRUE(model::isBuiltin(model::asObject(first->type), model::Builtin::Int));
    EXPECT_EQ(f.context.lookup().scopes().heaps[0]->indexesOf("t"), nullptr);
    compileMethodDefinition(view, f.context, node, false);
    keepInstanceCode(f.context, code);
    EXPECT_EQ(f.errors(), "");
    EXPECT_NE(static_cast<model::IRObject*>(node->owner()), first);
    f.keep(SmartPtr(static_cast<model::IRObject*>(node->owner())));
    codegen::releaseCodeList(code);
    codegen::releaseCodeList(f.context.emitter().list(kMemberCodeList));
}

TEST(MethodDeclaration, EachRuleReportsAtOnceAndStopsTheMethod) {
    Undeclared f;
    NodeHandle index = f.method("[]", "int", Fixture::returning("1"));
    index->kind = NodeKind::Operator;
    compileMethodDefinition(model::IROperator(index), f.context, index, true);
    EXPECT_EQ(f.errors(), "[] 操作符至少需要一个参数.");
    EXPECT_EQ(index->owner(), nullptr);

    f.capture.errorText.clear();
    NodeHandle twice = f.method("p", "int", Fixture::returning("1"));
    twice->operands[2] = Undeclared::untypedParameters({"a", "a"});
    compileStatement(f.context, twice, false);
    EXPECT_EQ(f.errors(), "相同命名的参数已存在");

    f.capture.errorText.clear();
    NodeHandle unknown = f.method("u", "Missing", Fixture::returning("1"));
    compileStatement(f.context, unknown, false);
    EXPECT_EQ(f.errors(), "未知的返回值类型");

    f.capture.errorText.clear();
    NodeHandle typeless = f.method("m", nullptr, makeAstNode(NodeKind::Empty));
    compileStatement(f.context, typeless, false);
    EXPECT_EQ(f.errors(), "方法不是构造函数, 需要返回类型");

    // The same global function twice: the scope refuses the second.
    f.capture.errorText.clear();
    NodeHandle one = f.method("g", "int", Fixture::returning("1"));
    NodeHandle other = f.method("g", "int", Fixture::returning("2"));
    compileStatement(f.context, one, false);
    EXPECT_EQ(f.errors(), "");
    compileStatement(f.context, other, false);
    EXPECT_EQ(f.errors(), "相同命名的对象已存在");
    codegen::releaseCodeList(f.context.emitter().list(kMemberCodeList));
}

TEST(MethodDeclaration, TheThrowsListStopsAtATypeListedTwice) {
    Undeclared f;
    SmartPtr fault = f.keep(model::makeClass("Fault", SmartPtr()));
    f.context.lookup().scopes().heaps[0]->findOrCreate("Fault", fault);
    SmartPtr function = f.keep(model::makeFunction("f", SmartPtr()));
    NodeHandle list = makeAstNode(NodeKind::List);
    for (const char* name : {"Fault", "Fault", "Missing"}) list->operands.pushBack(makeAstNode(NodeKind::Name, name));
    compileThrowsList(f.context, function, list);
    EXPECT_EQ(f.errors(), "");
    EXPECT_NE(std::string(f.capture.warningText.c_str()).find("类型已经存在于方法的异常列表中."), std::string::npos);
    EXPECT_EQ(function.as<model::FunctionObject>()->throwsSet().size(), 1u);
}

}  // namespace
