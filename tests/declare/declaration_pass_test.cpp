#include <gtest/gtest.h>

#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "model/builtin_types.h"
#include "model/candidate_rank.h"
#include "model/class_object.h"
#include "model/native_import.h"
#include "source/ast_nodes.h"

namespace {

using model::IRResult;
using qestl::SmartPtr;

TEST(DottedNamePath, EveryComponentFollowsASlash) {
    _KNode<qeAbstractNode> a = makeAstNode(NodeKind::Name, "a");
    EXPECT_EQ(dottedNamePath(a).view(), "/a");
    _KNode<qeAbstractNode> b = makeAstNode(NodeKind::Name, "b");
    b->operands.pushBack(a);
    _KNode<qeAbstractNode> c = makeAstNode(NodeKind::Name, "c");
    c->operands.pushBack(b);
    EXPECT_EQ(dottedNamePath(c).view(), "/a/b/c");
    EXPECT_EQ(dottedNamePath(_KNode<qeAbstractNode>()).view(), "");
}

// Each row of the native type table gets a class of its own.
class NativeTypes : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto& [name, tag] : rows()) table.set(tag, model::makeClass(name, SmartPtr()));
    }
    void TearDown() override { table.clear(); }

    static std::vector<std::pair<const char*, model::Builtin>> rows() {
        return {{"void", model::Builtin::Void},
                {"byte", model::Builtin::Byte},
                {"char", model::Builtin::Char},
                {"short", model::Builtin::Short},
                {"int", model::Builtin::Int},
                {"long", model::Builtin::Long},
                {"bool", model::Builtin::Bool},
                {"float", model::Builtin::Float},
                {"double", model::Builtin::Double},
                {"String", model::Builtin::String},
                {"ObjectPtr", model::Builtin::ObjectPtr},
                {"ObjectRef", model::Builtin::ObjectRef},
                {"Object", model::Builtin::Any},
                {"Pointer", model::Builtin::Pointer},
                {"Class", model::Builtin::Class},
                {"Method", model::Builtin::Method},
                {"...", model::Builtin::Variadic}};
    }

    model::BuiltinTypes table;
};

TEST_F(NativeTypes, TheTableNamesExactlyItsSeventeenTypes) {
    for (auto& [name, tag] : rows()) EXPECT_EQ(builtinTypeByName(name, table).get(), table[tag].get()) << name;
    table.set(model::Builtin::Thread, model::makeClass("Thread", SmartPtr()));
    for (const char* other : {"Thread", "Int", "string", "", "Field", "nil", "int "})
        EXPECT_FALSE(builtinTypeByName(other, table)) << other;
}

TEST_F(NativeTypes, StubSpellings) {
    const std::pair<model::Builtin, const char*> expected[] = {
        {model::Builtin::Void, "void "},
        {model::Builtin::Byte, "kbyte "},
        {model::Builtin::Char, "kchar "},
        {model::Builtin::Short, "kshort "},
        {model::Builtin::Int, "kint "},
        {model::Builtin::Long, "klong "},
        {model::Builtin::Bool, "kbool "},
        {model::Builtin::Float, "float "},
        {model::Builtin::Double, "double "},
        {model::Builtin::String, "kstring "},
        {model::Builtin::ObjectPtr, "kptr "},
        {model::Builtin::Pointer, "kptr "},
        {model::Builtin::Method, "kptr "},
        {model::Builtin::Any, "KObject * "},
        {model::Builtin::ObjectRef, "KObject * "},
        {model::Builtin::Variadic, "... "},
        {model::Builtin::Class, "unknow"},
    };
    for (const auto& [tag, text] : expected) EXPECT_STREQ(nativeTypeName(model::asObject(table[tag])), text);
    EXPECT_STREQ(nativeTypeName(nullptr), "unknow");
    SmartPtr widget = model::makeClass("Widget", SmartPtr());
    EXPECT_STREQ(nativeTypeName(model::asObject(widget)), "unknow");
}

TEST(CallingConvention, CodesOfTheFourConventions) {
    EXPECT_EQ(model::callingConventionCode(""), 0);
    EXPECT_EQ(model::callingConventionCode("cdecl"), 0);
    EXPECT_EQ(model::callingConventionCode("stdcall"), 1);
    EXPECT_EQ(model::callingConventionCode("fastcall"), 2);
    EXPECT_EQ(model::callingConventionCode("pascal"), 3);
    EXPECT_EQ(model::callingConventionCode("STDCALL"), -1);
    EXPECT_EQ(model::callingConventionCode("thiscall"), -1);
}

IRResult candidate(const SmartPtr& object, uint64_t level, uint32_t location) {
    IRResult result(object);
    result.storageIndex = level;
    result.operand.kind = location;
    return result;
}

TEST(CandidateRank, EightPerLevelPlusTheLocation) {
    SmartPtr klass = model::makeClass("K", SmartPtr());
    SmartPtr parameter = model::makeObject("p", model::kKindVariable, klass, 0);
    model::asObject(parameter)->flagsC |= model::kFlagParameter;
    SmartPtr local = model::makeObject("l", model::kKindVariable, klass, 0);
    EXPECT_EQ(model::rankOf(candidate(parameter, 0, model::kStackSlot)).address, 1u);
    EXPECT_EQ(model::rankOf(candidate(local, 0, model::kStackSlot)).address, 2u);
    EXPECT_EQ(model::rankOf(candidate(klass, 0, model::kThisObjectPointer)).address, 3u);
    EXPECT_EQ(model::rankOf(candidate(klass, 2, model::kThisStaticPointer)).address, 20u);
    EXPECT_EQ(model::rankOf(candidate(klass, 1, model::kObjectReference)).address, 13u);
    EXPECT_EQ(model::rankOf(candidate(SmartPtr(), 0, 0)).address, 7u);
}

TEST(CandidateRank, ATieEndsTheChoiceEvenBeforeALowerOne) {
    SmartPtr a = model::makeClass("A", SmartPtr()), b = model::makeClass("B", SmartPtr()),
             c = model::makeClass("C", SmartPtr());
    model::IRValueList list;
    list.pushBack(candidate(a, 1, 0));
    list.pushBack(candidate(b, 0, 0));
    EXPECT_EQ(declare::lowestRankedClass(list), model::asObject(b));
    list.pushBack(candidate(c, 0, 0));
    list.pushBack(candidate(a, 0, model::kStackFrame));
    EXPECT_EQ(declare::lowestRankedClass(list), nullptr);
    model::IRValueList variables;
    variables.pushBack(candidate(model::makeObject("v", model::kKindVariable, a, 0), 0, 0));
    EXPECT_EQ(declare::lowestRankedClass(variables), nullptr);
}

}  // namespace
