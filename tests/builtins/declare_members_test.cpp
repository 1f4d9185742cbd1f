// The declaration engine on small texts, over the real built-in types.
#include <gtest/gtest.h>

#include <map>

#include "builtins/builtin_registry.h"
#include "builtins/core_texts.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "codegen/compile_context.h"

namespace {

using model::asObject;

class DeclareMembers : public ::testing::Test {
protected:
    void SetUp() override {
        builtins::builtinNames().clear();
        // The catalogue classes the core texts name exist before them.
        for (const char* name : {"ICrashHandler", "ISystemSignalHandler", "AsyncOutput", "AsyncInput",
                                 "IRCPEventHandler", "Key"}) {
            made.push_back(model::makeClass(name, context.builtins().classType));
            builtins::builtinNames().add(name, made.back());
        }
        builtins::declareBuiltinTypes(context);
    }
    void TearDown() override {
        for (auto& klass : made) klass.as<model::cbircode>()->detach();
        context.builtins().clear();
        builtins::builtinNames().clear();
    }
    model::ClassObject& declare(const char* name, uint32_t id, const char* text, const char* base = nullptr) {
        made.push_back(model::makeClass(name, context.builtins().classType));
        auto& klass = *model::asClass(asObject(made.back()));
        klass.setId(id);
        builtins::builtinNames().add(name, made.back());
        if (base != nullptr) klass.setBaseClass(builtins::builtinNames().find(base), 64);
        builtins::declareMembers(klass, context, memberTextOnce(name, text, nullptr), builtins::builtinNames());
        return klass;
    }
    static const model::IRObject& at(const model::Container& table, size_t i) {
        return *asObject(table.members()[i]);
    }
    static uint64_t descriptor(const model::IRObject& f) { return static_cast<uint64_t>(f.operands[0].value); }

    CompileContext context;
    std::vector<qestl::SmartPtr> made;
};

TEST_F(DeclareMembers, DescriptorsCarryIdCallKindAndSlot) {
    auto& math = declare("Math", 51, "static int a()\nstatic int b()\nstatic int c()\nstatic double sin(double x)\n");
    EXPECT_EQ(descriptor(at(math.staticMethods(), 3)), 0x0033001A00000003u);
    auto& text = declare("Text", 10, "int length()\n");
    EXPECT_EQ(descriptor(at(text.dynamicMethods, 0)), 0x000A001000000000u);
    auto& factory = declare("KeyFactory", 95, "static Key make()\n");
    EXPECT_EQ(descriptor(at(factory.staticMethods(), 0)), 0x005F001A00000000u);
    auto& stream = declare("Out", 91, "void a()\nvoid b()\n");
    EXPECT_EQ(descriptor(at(stream.dynamicMethods, 1)), 0x005B001000000001u);
}

TEST_F(DeclareMembers, OverrideKeepsItsSlotAndOverloadIsAppended) {
    declare("Base", 60, "void a()\nvoid b()\n");
    auto& derived = declare("Derived", 61, "void b()\nvoid c()\n", "Base");
    ASSERT_EQ(derived.dynamicMethods.members().size(), 3u);
    EXPECT_EQ(at(derived.dynamicMethods, 1).ownerObject(), &derived);  // b overridden in place
    EXPECT_EQ(descriptor(at(derived.dynamicMethods, 1)) & 0xFFFFFFFF, 1u);
    EXPECT_EQ(descriptor(at(derived.dynamicMethods, 2)) & 0xFFFFFFFF, 2u);  // c appended
}

TEST_F(DeclareMembers, OperatorsObjectReturnAndBodies) {
    auto& c = declare("C", 70, "String +(String other)\nint add(int x)\nnoobj String s()\nabstract void f()\nbool =(int v)\n");
    const auto& plus = at(c.dynamicMethods, 0);
    EXPECT_TRUE(plus.flagsA & model::kFlagOperator);
    EXPECT_TRUE(plus.modifiers & model::kModNotNil);  // returns an object
    EXPECT_FALSE(at(c.dynamicMethods, 1).flagsA & model::kFlagOperator);
    EXPECT_FALSE(at(c.dynamicMethods, 1).modifiers & model::kModNotNil);
    EXPECT_FALSE(at(c.dynamicMethods, 2).modifiers & model::kModNotNil);  // noobj
    EXPECT_EQ(at(c.dynamicMethods, 2).opcode, 2u);
    EXPECT_EQ(at(c.dynamicMethods, 3).opcode, 79u);
    EXPECT_TRUE(at(c.dynamicMethods, 3).isAbstractMethod());
    EXPECT_TRUE(at(c.dynamicMethods, 4).flagsA & model::kFlagOperator);  // "=" is a substring of the list
}

TEST_F(DeclareMembers, RefusedRegistrationIsPrintedAndTheRestGoesOn) {
    testing::internal::CaptureStdout();
    auto& c = declare("Twice", 71, "void f()\nvoid f()\nvoid g()\n");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("注册方法错误: Twice::f: Error"), std::string::npos) << out;
    EXPECT_EQ(c.dynamicMethods.members().size(), 2u);
}

TEST_F(DeclareMembers, TypedConstantsAndThrownSetsByCreation) {
    auto& c = declare("K", 72,
                      "const int N = -2\nconst char SLASH = 92\nconst double PI = 0x400921FB54442D18\n"
                      "void f() throws IllegalArgumentException, IndexOutOfBoundsException, IllegalArgumentException\n");
    EXPECT_EQ(at(c.staticProperties(), 0).constantValue().value, -2);
    EXPECT_EQ(at(c.staticProperties(), 0).constantValue().kind, 4u);
    EXPECT_EQ(at(c.staticProperties(), 1).constantValue().kind, 2u);
    EXPECT_EQ(at(c.staticProperties(), 2).constantValue().kind, 7u);
    EXPECT_EQ(static_cast<uint64_t>(at(c.staticProperties(), 2).constantValue().value), 0x400921FB54442D18u);
    const auto* f = dynamic_cast<const model::FunctionObject*>(&at(c.dynamicMethods, 0));
    ASSERT_EQ(f->throwsCount(), 2u);
    EXPECT_EQ(f->throwsSet().begin()->object, builtins::builtinNames().find("IndexOutOfBoundsException"));
}

TEST_F(DeclareMembers, CoreTablesDeclareWithoutRefusals) {
    const auto& system = *model::asClass(asObject(builtins::builtinNames().find("_system_")));
    EXPECT_EQ(system.staticPropertiesIfMade()->members().size(), 225u);
    EXPECT_EQ(system.staticMethodsIfMade()->members().size(), 84u);
    for (const char* text : {builtins::kTimerTaskMembers, builtins::kRemoteCallPipeFixed})
        EXPECT_FALSE(memberTextOnce("core", text, "S").methods.empty());
}

}  // namespace
