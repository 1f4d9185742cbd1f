// The registry over a compile context, with a small catalogue of its own:
// registration, nested templates, template instances and RemoteCallPipe.
#include <gtest/gtest.h>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "codegen/scope_chain.h"
#include "model/builtin_types.h"
#include "model/class_object.h"

namespace {

using model::asObject;

// The catalogue classes the core texts name, two templates and two
// interfaces for the proxies.
const CatalogueClass kCatalogue[] = {
    {.builtinId = 41, .name = "List", .kind = CatalogueKind::Template, .step = CatalogueStep::Instance,
     .created = 2, .row = 2, .typeParameters = "Element"},
    {.builtinId = 42, .name = "Iterator", .owner = "List", .kind = CatalogueKind::Template,
     .step = CatalogueStep::Instance, .created = 3, .row = 3, .typeParameters = "Element"},
    {.builtinId = 48, .name = "AsyncInput", .kind = CatalogueKind::Interface, .created = 11, .row = 11},
    {.builtinId = 70, .name = "AsyncOutput", .kind = CatalogueKind::Interface, .created = 10, .row = 10},
    {.builtinId = 75, .name = "ICrashHandler", .kind = CatalogueKind::Interface, .created = 12, .row = 12},
    {.builtinId = 82, .name = "ISystemSignalHandler", .kind = CatalogueKind::Interface, .created = 13, .row = 13},
    {.builtinId = 57, .name = "TimerTask", .kind = CatalogueKind::Interface, .step = CatalogueStep::Registry,
     .created = 22, .row = 22},
    {.builtinId = 73, .name = "IRCPEventHandler", .created = 25, .row = 35},
    {.builtinId = 79, .name = "ReentrantLock", .base = "AsyncInput", .created = 41, .row = 41},
};

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        const std::span<const CatalogueClass> families[] = {kCatalogue};
        registerBuiltinClasses(context, families);
    }
    void TearDown() override {
        for (auto& held : made) held.as<model::cbircode>()->detach();
        context.builtins().clear();
        builtins::builtinNames().clear();
    }
    model::ClassObject& named(const char* name) {
        return *model::asClass(asObject(builtins::builtinNames().find(name)));
    }
    qestl::SmartPtr instantiate(const char* templ, std::initializer_list<const char*> arguments) {
        model::IRValueList values;
        for (const char* argument : arguments) values.pushBack(model::IRResult(builtins::builtinNames().find(argument)));
        made.push_back(named(templ).instantiate(context, values, {}));
        return made.back();
    }
    // An interface whose members a text gives.
    void makeInterface(const char* name, const char* text) {
        made.push_back(model::makeClass(name, context.builtins().classType));
        auto& klass = *model::asClass(asObject(made.back()));
        klass.modifiers |= model::kModInterface;
        builtins::builtinNames().add(name, made.back());
        builtins::declareMembers(klass, context, memberTextOnce(name, text, nullptr), builtins::builtinNames());
    }

    CompileContext context;
    std::vector<qestl::SmartPtr> made;
};

TEST_F(Registry, ClassesStandUnderTheirIdsNamesAndOwners) {
    auto heap = [&](const char* name) { return firstMember(*context.lookup().scopes().heaps[1], name); };
    EXPECT_EQ(context.tables().classesById().at(15), context.tables().classesById().at(-4));  // Class under two keys
    EXPECT_EQ(asObject(heap("Object")), asObject(context.builtins().anyType));
    EXPECT_EQ(asObject(heap("$buildin_Iterator@List")), &named("List.Iterator"));
    EXPECT_EQ(firstMember(named("List").staticProperties(), "Iterator").get(),
              static_cast<const void*>(&named("List.Iterator")));
    // Templates stand among the global templates, never in the class list.
    for (const qestl::SmartPtr& klass : context.emitter().list(kBuiltinClassList))
        EXPECT_NE(asObject(klass)->kind, model::kKindTemplateClass);
    EXPECT_EQ(named("ReentrantLock").base(), &named("AsyncInput"));
    EXPECT_FALSE(named("TimerTask").dynamicMethods.members().empty());
    EXPECT_FALSE(asObject(named("TimerTask").dynamicMethods.members()[0])->isAbstractMethod());
}

TEST_F(Registry, AContainerTemplateMakesItsBareInstance) {
    auto& instance = *model::asClass(asObject(instantiate("List", {"int"})));
    EXPECT_EQ(instance.builtinClassId, 41u);
    EXPECT_EQ(std::string(instance.displayName().view()), "List<int>");
    EXPECT_EQ(instance.templateArgumentTable().templateParameterNameAt(0), "Element");
}

TEST_F(Registry, ProxyHookPushesBothDescriptorsServedFirst) {
    makeInterface("Served", "abstract int ask(long id, String text)\n");
    makeInterface("Called", "abstract void tell(long id)\nvoid kept()\nabstract long more()\n");
    auto& proxy = *model::asClass(asObject(instantiate("RemoteCallPipe", {"Served", "Called"})));
    EXPECT_EQ(context.errorCount(), 0u);
    // C's methods on their index, placeholders from C's count, the fixed ten.
    ASSERT_EQ(proxy.dynamicMethods.members().size(), 266u);
    EXPECT_EQ(asObject(proxy.dynamicMethods.members()[2])->ownerObject(), &proxy);  // more() declared
    EXPECT_NE(asObject(proxy.dynamicMethods.members()[1])->ownerObject(), &proxy);  // kept() inherited
    EXPECT_EQ(std::string(asObject(proxy.dynamicMethods.members()[3])->name.view()), "$method_3");
    model::IRResult result;
    proxy.runInstanceHook(context, result, {});
    ASSERT_EQ(result.pending.size(), 2u);
    EXPECT_EQ(result.pending[0].as<model::cbircode>()->opcode, 33u);
    EXPECT_NE(result.pending[0].as<model::cbircode>()->operands[0].target.get(),
              result.pending[1].as<model::cbircode>()->operands[0].target.get());
}

TEST_F(Registry, ProxyRefusesAFirstParameterThatIsNotLong) {
    makeInterface("Served", "abstract int ask(long id)\n");
    makeInterface("Called", "abstract void tell(int id)\n");
    testing::internal::CaptureStdout();
    auto& proxy = *model::asClass(asObject(instantiate("RemoteCallPipe", {"Served", "Called"})));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(context.errorCount(), 1u);
    EXPECT_EQ(proxy.dynamicMethods.members().size(), 1u);  // only the inherited one
}

TEST_F(Registry, APackageRegisteredTwiceIsRefused) {
    made.push_back(model::makeClass("pkg", context.builtins().classType));
    asObject(made.back())->modifiers |= model::kModPackage;
    EXPECT_NE(context.registerClass("pkg", made.back(), true, false).kind, model::kErrorOperand);
    EXPECT_EQ(context.registerClass("pkg", made.back(), true, false).kind, model::kErrorOperand);
    EXPECT_EQ(context.registerClass("none", qestl::SmartPtr(), true, false).kind, model::Operand().kind);
}

}  // namespace
