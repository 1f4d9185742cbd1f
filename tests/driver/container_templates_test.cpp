// Container instances over the driver's catalogue: shared ids, the iterator
// instance the declaration pass finds under the same key, the builders'
// argument guard, and the Map hook's pushes and messages.
#include <gtest/gtest.h>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "codegen/diagnostic_capture.h"
#include "codegen/scope_chain.h"
#include "driver/builtin_catalogue.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/ircode.h"

namespace {

using model::asObject;

class Containers : public ::testing::Test {
protected:
    void SetUp() override {
        registerBuiltinClasses(context, builtinCatalogue());
    }
    void TearDown() override {
        for (auto& held : made)
            if (held) held.as<model::cbircode>()->detach();
        context.builtins().clear();
        builtins::builtinNames().clear();
    }
    qestl::SmartPtr instantiate(const char* templ, std::initializer_list<qestl::SmartPtr> arguments) {
        model::IRValueList values;
        for (const qestl::SmartPtr& argument : arguments) values.pushBack(model::IRResult(argument));
        made.push_back(asObject(builtins::builtinNames().find(templ))->instantiate(context, values, {}));
        return made.back();
    }
    qestl::SmartPtr type(const char* name) { return builtins::builtinNames().find(name); }
    // A key class with one method per text line.
    qestl::SmartPtr keyClass(const char* name, const char* text) {
        made.push_back(model::makeClass(name, context.builtins().classType));
        builtins::builtinNames().add(name, made.back());
        builtins::declareMembers(*model::asClass(asObject(made.back())), context, memberTextOnce(name, text, nullptr),
                                 builtins::builtinNames());
        return made.back();
    }
    // The hook's pushes as their immediates, and the captured error text.
    std::vector<int64_t> runHook(const qestl::SmartPtr& key, std::string& errors) {
        qestl::SmartPtr map = instantiate("Map", {key, type("int")});
        DiagnosticCapture capture;
        capture.begin(context.diagnostics());
        model::IRResult result;
        asObject(map)->runInstanceHook(context, result, {});
        errors = capture.errorText.c_str();
        capture.close(context.diagnostics());
        std::vector<int64_t> pushed;
        for (const qestl::SmartPtr& instruction : result.pending)
            pushed.push_back(instruction.as<model::cbircode>()->operands[0].value);
        return pushed;
    }

    CompileContext context;
    std::vector<qestl::SmartPtr> made;
};

TEST_F(Containers, InstancesOfOneTemplateShareItsIdAndFindOneIterator) {
    auto* ints = asObject(instantiate("List", {type("int")}));
    auto* longs = asObject(instantiate("List", {type("long")}));
    EXPECT_NE(ints, longs);
    EXPECT_EQ(ints->builtinClassId, 41u);
    EXPECT_EQ(longs->builtinClassId, 41u);
    // iterator() returns the List.Iterator instance registered under the key
    // that the declaration pass builds for List.Iterator<int>.
    model::IRObject* iterator = asObject(asObject(firstMember(model::asClass(ints)->dynamicMethods, "iterator"))->type);
    ASSERT_NE(iterator, nullptr);
    EXPECT_EQ(std::string(iterator->displayName().view()), "Iterator<int>");
    EXPECT_TRUE(iterator->modifiers & 64);
    ASSERT_TRUE(context.lookupGlobal(iterator->linkName().view()));
    EXPECT_EQ(context.lookup().candidates()[0].objectPtr(), iterator);
    context.lookup().clearResults();
    // A second List<int> (the declaration pass keeps one; the builder alone
    // makes another) still reaches the same iterator.
    auto* again = asObject(instantiate("List", {type("int")}));
    EXPECT_EQ(asObject(asObject(firstMember(model::asClass(again)->dynamicMethods, "iterator"))->type), iterator);
}

// An instance made while a method of one class is compiled belongs to that
// method; every other class still finds it again by its instance name.
TEST_F(Containers, AnInstanceMadeInOneClassIsFoundFromAnyOther) {
    qestl::SmartPtr first = model::makeClass("First", context.builtins().classType);
    qestl::SmartPtr second = model::makeClass("Second", context.builtins().classType);
    qestl::SmartPtr method = model::makeFunction("f", type("int"));
    asObject(method)->setOwner(model::IRResult(first));
    qestl::SmartPtr strings = instantiate("List", {type("String")});
    context.lookup().scopes().pushFrame(method);
    context.registerClass("List", strings, false, false);
    context.lookup().scopes().popFrame();
    context.lookup().scopes().pushObjectScope(second);
    ASSERT_TRUE(context.lookupGlobal(asObject(strings)->linkName().view()));
    EXPECT_EQ(context.lookup().candidates()[0].objectPtr(), asObject(strings));
    context.lookup().clearResults();
    context.popObjectScope();
}

TEST_F(Containers, TooFewArgumentsBuildNothing) {
    EXPECT_FALSE(instantiate("Map", {type("int")}));
    EXPECT_FALSE(instantiate("Vector", {}));
}

TEST_F(Containers, KeysTakingAByteOrAStringPushFourZeros) {
    std::string errors;
    EXPECT_EQ(runHook(type("long"), errors), (std::vector<int64_t>{0, 0, 0, 0}));
    EXPECT_EQ(runHook(type("String"), errors), (std::vector<int64_t>{0, 0, 0, 0}));
    EXPECT_EQ(errors, "");
}

TEST_F(Containers, KeyOperatorSlotsArePushedGreaterLessEqualNotEqual) {
    qestl::SmartPtr key = keyClass("Key4", "bool ==(Key4 k)\nbool !=(Key4 k)\nbool <(Key4 k)\nbool >(Key4 k)\n");
    std::string errors;
    EXPECT_EQ(runHook(key, errors), (std::vector<int64_t>{3, 2, 0, 1}));
    EXPECT_EQ(errors, "");
}

TEST_F(Containers, EachKeyOperatorFaultHasItsMessage) {
    struct Case {
        const char* name;
        const char* text;
        const char* message;
        size_t pushed;
    } cases[] = {
        {"NoOps", "void other()\n", "模板参数对象没有重载 < > == != 运算符", 0},
        {"IntOps", "int >(NoOps k)\n", "模板参数对象的 < > == != 运算符返回值不为 bool 类型", 0},
        {"WrongArg", "bool >(NoOps k)\n", "模板参数对象的 < > == != 运算符参数不符", 0},
        // An operator without parameters is a mismatch, never a read past
        // its parameter list.
        {"NoArg", "bool >()\n", "模板参数对象的 < > == != 运算符参数不符", 0},
        {"TwoOps", "bool >(TwoOps k)\nbool >(int k)\n", "模板参数对象的 < > == != 存在多个不明确的选择", 0},
        {"LessMissing", "bool >(LessMissing k)\n", "模板参数对象没有重载 < > == != 运算符", 1},
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(runHook(keyClass(c.name, c.text), errors).size(), c.pushed) << c.name;
        EXPECT_EQ(errors, c.message) << c.name;
    }
}

}  // namespace
