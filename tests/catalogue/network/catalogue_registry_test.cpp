// The whole catalogue through the real registry: every class's tables as the
// object model holds them after one compilation's registration, held against
// the texts' counts and against the second reading of the slot rule.
#include <gtest/gtest.h>

#include <string>

#include "builtins/builtin_registry.h"
#include "catalogue/catalogue_slots.h"
#include "catalogue/network/network_catalogue.h"
#include "catalogue/system/system_catalogue.h"
#include "catalogue/text/text_catalogue.h"
#include "codegen/compile_context.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/function_object.h"

namespace {

using catalogue_test::qualifiedName;
using model::asObject;
using model::IRObject;

class CatalogueRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        const std::span<const CatalogueClass> families[] = {textCatalogue(), systemCatalogue(), networkCatalogue()};
        testing::internal::CaptureStdout();
        registerBuiltinClasses(context, families);
        printed = testing::internal::GetCapturedStdout();
    }
    void TearDown() override {
        context.builtins().clear();
        builtins::builtinNames().clear();
    }

    CompileContext context;
    std::string printed;
};

// The classes whose members the registry declares at the class itself.
template <typename Visit>
void forEachDeclaredClass(Visit visit) {
    for (auto list : {textCatalogue(), systemCatalogue(), networkCatalogue()})
        for (const CatalogueClass& c : list)
            if (c.step != CatalogueStep::Instance && c.step != CatalogueStep::BuiltinTypes) visit(c);
}

size_t ownedBy(const model::Container& table, const IRObject& owner, bool constants) {
    size_t count = 0;
    for (const qestl::SmartPtr& member : table.members()) {
        const IRObject& m = *asObject(member);
        if (m.ownerObject() == &owner && (!constants || (m.kind == model::kKindVariable && m.hasConstantValue())))
            ++count;
    }
    return count;
}

TEST_F(CatalogueRegistry, NothingIsRefusedAndNoErrorIsCounted) {
    EXPECT_EQ(printed.find("注册方法错误"), std::string::npos) << printed;
    EXPECT_EQ(context.errorCount(), 0u);
}

// Per class: its id, base and owner, and as many own methods, statics,
// constants and fields as its text declares.
TEST_F(CatalogueRegistry, EveryClassHoldsWhatItsTextDeclares) {
    const builtins::BuiltinNames& names = builtins::builtinNames();
    forEachDeclaredClass([&](const CatalogueClass& c) {
        const std::string name = qualifiedName(c);
        SCOPED_TRACE(name);
        auto* klass = model::asClass(asObject(names.find(name)));
        ASSERT_NE(klass, nullptr);
        EXPECT_EQ(asObject(context.tables().classesById().at(c.builtinId)), klass);
        EXPECT_EQ(klass->base(), c.base != nullptr ? asObject(names.find(c.base)) : nullptr);
        EXPECT_EQ(klass->ownerObject(), c.owner != nullptr ? asObject(names.find(c.owner)) : nullptr);
        const MemberText& text = catalogueMembers(c);
        size_t statics = 0;
        for (const MemberMethod& m : text.methods) statics += m.isStatic;
        EXPECT_EQ(ownedBy(klass->dynamicMethods, *klass, false), text.methods.size() - statics);
        EXPECT_EQ(ownedBy(klass->staticMethods(), *klass, false), statics);
        EXPECT_EQ(ownedBy(klass->staticProperties(), *klass, true), text.constants.size());
        EXPECT_EQ(ownedBy(klass->dynamicProperties, *klass, false), text.fields.size());
    });
}

// Every entry of both method tables, inherited ones included: the method the
// slot rule puts there, a descriptor of (declaring id << 48) | (kind << 32) |
// index, the stub, and final exactly for statics and non-virtual methods.
TEST_F(CatalogueRegistry, EverySlotHoldsTheMethodTheSlotRuleGives) {
    catalogue_test::SlotModel slots({textCatalogue(), systemCatalogue(), networkCatalogue()});
    const builtins::BuiltinNames& names = builtins::builtinNames();
    forEachDeclaredClass([&](const CatalogueClass& c) {
        const std::string name = qualifiedName(c);
        SCOPED_TRACE(name);
        auto& klass = *model::asClass(asObject(names.find(name)));
        const catalogue_test::ClassSlots& expected = slots.slots(name);
        for (bool isStatic : {false, true}) {
            const auto& table = (isStatic ? klass.staticMethods() : klass.dynamicMethods).members();
            const auto& model = isStatic ? expected.statics : expected.instance;
            ASSERT_EQ(table.size(), model.size());
            for (size_t i = 0; i < table.size(); ++i) {
                const IRObject& f = *asObject(table[i]);
                const catalogue_test::Slot& s = model[i];
                SCOPED_TRACE(std::string(f.name.view()) + " at " + std::to_string(i));
                EXPECT_EQ(f.name.view(), s.method->name);
                EXPECT_EQ(f.ownerObject(), asObject(names.find(qualifiedName(*s.owner))));
                EXPECT_EQ(static_cast<uint64_t>(f.operands[0].value), catalogue_test::SlotModel::descriptor(s, i));
                EXPECT_EQ(f.opcode, 2u);
                EXPECT_FALSE(f.isAbstractMethod());
                EXPECT_EQ(f.isFinal(), s.method->isStatic || s.method->isFinal);
                EXPECT_LE(f.parameterCount(), static_cast<uint64_t>(kMaxMemberParameters));
            }
        }
    });
}

// The totals of the two subsystems as the model holds them.
TEST_F(CatalogueRegistry, SubsystemTotals) {
    const builtins::BuiltinNames& names = builtins::builtinNames();
    for (auto [list, methods, constants, fields] :
         {std::tuple{systemCatalogue(), 302u, 32u, 17u}, std::tuple{networkCatalogue(), 264u, 82u, 15u}}) {
        size_t m = 0, k = 0, f = 0;
        for (const CatalogueClass& c : list) {
            auto& klass = *model::asClass(asObject(names.find(qualifiedName(c))));
            m += ownedBy(klass.dynamicMethods, klass, false) + ownedBy(klass.staticMethods(), klass, false);
            k += ownedBy(klass.staticProperties(), klass, true);
            f += ownedBy(klass.dynamicProperties, klass, false);
        }
        EXPECT_EQ(m, methods);
        EXPECT_EQ(k, constants);
        EXPECT_EQ(f, fields);
    }
}

std::string linkOf(const model::Container& table, std::string_view name) {
    for (const qestl::SmartPtr& member : table.members())
        if (asObject(member)->name.view() == name) return std::string(asObject(member)->linkName().view());
    return "-";
}

// A nested class is known by its outer class from its creation on: link names
// made before its own registration (its methods', the parameter types of its
// outer class) carry the outer name too.
TEST_F(CatalogueRegistry, NestedClassesCarryTheirOuterNameInEveryLinkName) {
    const builtins::BuiltinNames& names = builtins::builtinNames();
    const auto& socket = *model::asClass(asObject(names.find("DatagramSocket")));
    const auto& packet = *model::asClass(asObject(names.find("DatagramSocket.DatagramPacket")));
    EXPECT_EQ(packet.linkName().view(), "/DatagramSocket/DatagramPacket");
    EXPECT_EQ(linkOf(socket.dynamicMethods, "receive"), "/bool@/DatagramSocket/receive(/DatagramSocket/DatagramPacket)");
    EXPECT_EQ(linkOf(packet.dynamicMethods, "getData"), "/byte[]@/DatagramSocket/DatagramPacket/getData()");
}

}  // namespace
