// Container operations that the declaration pass calls and no probe script
// reaches: replacing base methods, duplicate names, the parameterless
// constructor, function statics leaving the visible names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/container.h"
#include "model/function_object.h"

namespace {

using model::Container;
using model::IRObject;
using qestl::SmartPtr;

SmartPtr method(const char* name, const SmartPtr& owner) {
    SmartPtr made = model::makeFunction(name, SmartPtr());
    made.as<IRObject>()->setOwner(model::IRResult(owner));
    return made;
}

SmartPtr klass(const char* name) { return model::makeObject(name, model::kKindClass, SmartPtr(), 0); }

TEST(Container, FindOrAddReplacesABaseMethodAndRefusesOwnDuplicates) {
    SmartPtr base = klass("Base"), derived = klass("Derived");
    Container table(model::kDynamicMethods);
    SmartPtr inherited = method("run", base);
    EXPECT_EQ(table.findOrAdd("run", inherited).kind, model::kDynamicMethods);
    SmartPtr replacing = method("run", derived);
    const model::Operand slot = table.findOrAdd("run", replacing);
    EXPECT_EQ(slot.kind, model::kDynamicMethods);
    EXPECT_EQ(slot.value, 0);
    ASSERT_EQ(table.members().size(), 1u);
    EXPECT_EQ(table.members()[0], replacing);
    const model::Operand again = table.findOrAdd("run", method("run", derived));
    EXPECT_EQ(again.kind, model::kErrorOperand);
    EXPECT_EQ(again.value, model::kErrDuplicateName);
    EXPECT_EQ(table.members().size(), 1u);
    table.clear();
}

SmartPtr taking(const SmartPtr& owner, const SmartPtr& returned, const SmartPtr& parameterType) {
    SmartPtr made = model::makeFunction("put", returned);
    made.as<IRObject>()->setOwner(model::IRResult(owner));
    made.as<model::FunctionObject>()->appendParameter(model::makeObject("p", model::kKindVariable, parameterType, 0));
    return made;
}

// The overload of the same parameters is looked for among up to eight of a
// name, found by its signature past them: the same one either way.
TEST(Container, FindOrAddFindsTheSameParametersAmongFewOrManyOverloads) {
    SmartPtr base = klass("Base"), derived = klass("Derived"), number = klass("Number");
    std::vector<SmartPtr> types;
    Container table(model::kDynamicMethods);
    for (int i = 0; i < 12; ++i) {
        types.push_back(klass(("T" + std::to_string(i)).c_str()));
        EXPECT_EQ(table.findOrAdd("put", taking(base, number, types[i])).kind, model::kDynamicMethods);
        EXPECT_EQ(table.findOrAdd("put", taking(derived, klass("Text"), types[i])).value, model::kErrReturnTypeOnly);
    }
    for (const int i : {2, 11}) {
        SmartPtr replacing = taking(derived, number, types[i]);
        EXPECT_EQ(table.findOrAdd("put", replacing).kind, model::kDynamicMethods);
        EXPECT_EQ(table.members()[i], replacing);
        EXPECT_EQ(table.findOrAdd("put", taking(derived, number, types[i])).value, model::kErrDuplicateName);
    }
    EXPECT_EQ(table.members().size(), 12u);
    table.clear();
}

TEST(Container, DuplicateNameCodeOnlyForVariablesHoldersAndClasses) {
    Container frame(model::kStackFrame);
    SmartPtr first = model::makeObject("x", model::kKindVariable, SmartPtr(), 0);
    frame.findOrCreate("x", first);
    SmartPtr second = model::makeObject("x", model::kKindVariable, SmartPtr(), 0);
    EXPECT_EQ(frame.duplicateNameCode(*second.as<IRObject>()), model::kErrNoOverload);
    EXPECT_EQ(frame.duplicateNameCode(*first.as<IRObject>()), 0);
    SmartPtr function = method("x", SmartPtr());
    EXPECT_EQ(frame.duplicateNameCode(*function.as<IRObject>()), 0);
    frame.clear();
}

TEST(Container, FindMemberIsTheParameterlessConstructor) {
    SmartPtr owner = klass("Point");
    Container table(model::kDynamicMethods);
    SmartPtr withParameter = method("Point", owner);
    withParameter.as<model::FunctionObject>()->addParameter(model::makeObject("x", model::kKindVariable, SmartPtr(), 0));
    table.findOrAdd("Point", withParameter);
    EXPECT_FALSE(table.findMember("Point"));
    SmartPtr plain = method("Point", owner);
    table.findOrAdd("Point", plain);
    EXPECT_EQ(table.findMember("Point"), plain);
    // A constructor is reached by reference, never by a method slot.
    EXPECT_EQ(table.allocateSlot(plain.as<IRObject>(), 1).kind, model::kObjectReference);
    table.clear();
}

TEST(Container, FunctionStaticsLeaveTheVisibleNamesButKeepTheirSlots) {
    Container statics(model::kStaticProperties);
    Container::NameEntry entry;
    SmartPtr counter = model::makeObject("counter", model::kKindVariable, SmartPtr(), 0);
    statics.findOrCreate("counter", counter, &entry);
    EXPECT_EQ(entry.index, 0u);
    statics.renameFunctionStatics({entry});
    EXPECT_EQ(statics.indexesOf("counter"), nullptr);
    ASSERT_NE(statics.indexesOf("$_func_static_var_counter"), nullptr);
    EXPECT_EQ(statics.indexesOf("$_func_static_var_counter")->front(), 0u);
    EXPECT_EQ(statics.indexEntryCount(), 1u);
    statics.clear();
}

TEST(Container, ClosuresRecordTheirSlots) {
    Container closure(model::kClosure);
    closure.findOrCreate("a", model::makeObject("a", model::kKindVariable, SmartPtr(), 0));
    closure.findOrCreate("b", model::makeObject("b", model::kKindVariable, SmartPtr(), 0));
    EXPECT_EQ(closure.slotValues(), (std::vector<uint64_t>{0, 1}));
    closure.clear();
}

// Names taken out and entered again, across the index's growth: every
// list keeps its order and a copy keeps its own lists.
TEST(Container, NameIndexSurvivesRemovalsGrowthAndCopies) {
    model::MemberIndex index;
    for (uint32_t i = 0; i < 40; ++i) {
        index.findOrAdd(std::string_view("name" + std::to_string(i % 20))).push_back(i);
        if (i < 20 && i % 3 == 2) index.erase("name" + std::to_string(i - 1));
    }
    const model::MemberIndex copy = index;
    for (uint32_t i = 0; i < 20; i += 2) index.erase("name" + std::to_string(i));
    for (uint32_t i = 0; i < 20; ++i) {
        const std::string name = "name" + std::to_string(i);
        const model::IndexList* kept = copy.find(name);
        ASSERT_NE(kept, nullptr) << name;
        const size_t listed = i % 3 == 1 && i < 19 ? 1 : 2;  // the first entry of every third went
        ASSERT_EQ(kept->size(), listed) << name;
        EXPECT_EQ((*kept)[listed - 1], i + 20) << name;
        EXPECT_EQ(index.find(name) == nullptr, i % 2 == 0) << name;
    }
    size_t names = 0;
    copy.forEach([&](std::string_view, const model::IndexList&) { ++names; });
    EXPECT_EQ(names, copy.size());
    EXPECT_EQ(index.size(), 10u);
}

// The index keeps a name's length with its text: names empty, long past a
// byte's count and holding a 0 are found again, across growth and the
// compaction that follows a removal.
TEST(Container, NameIndexFindsNamesOfEveryLength) {
    model::MemberIndex index;
    std::vector<std::string> names = {"", std::string("a\0b", 3), std::string(254, 'x'), std::string(255, 'x'),
                                      std::string(300, 'y')};
    for (uint32_t i = 0; i < 40; ++i) names.push_back("n" + std::to_string(i));
    for (uint32_t i = 0; i < names.size(); ++i) {
        index.findOrAdd(names[i]).push_back(i);
        if (i == 8) index.erase(names[6]);
    }
    for (uint32_t i = 0; i < names.size(); ++i) {
        const model::IndexList* listed = index.find(names[i]);
        if (i == 6) {
            EXPECT_EQ(listed, nullptr);
            continue;
        }
        ASSERT_NE(listed, nullptr) << i;
        EXPECT_EQ(listed->front(), i) << i;
    }
    EXPECT_EQ(index.find(std::string_view("a", 1)), nullptr);
    EXPECT_EQ(index.find(std::string(256, 'x')), nullptr);
    size_t seen = 0;
    index.forEach([&](std::string_view name, const model::IndexList& listed) {
        EXPECT_EQ(name, names[listed.front()]);
        ++seen;
    });
    EXPECT_EQ(seen, names.size() - 1);
}

// One entry in place, more in a buffer, and back: the order and a copy's
// own entries hold.
TEST(Container, IndexListKeepsItsOrderInPlaceAndInABuffer) {
    model::IndexList list;
    for (uint32_t i = 0; i < 5; ++i) list.push_back(i * 10);
    list.erase(1);
    const model::IndexList copy = list;
    list.erase(0);
    EXPECT_EQ(std::vector<uint32_t>(copy.begin(), copy.end()), (std::vector<uint32_t>{0, 20, 30, 40}));
    EXPECT_EQ(std::vector<uint32_t>(list.begin(), list.end()), (std::vector<uint32_t>{20, 30, 40}));
    model::IndexList one;
    one.push_back(7);
    one.erase(0);
    EXPECT_TRUE(one.empty());
    one.push_back(8);
    EXPECT_EQ(one.front(), 8u);
    EXPECT_EQ(one.size(), 1u);
}

}  // namespace
