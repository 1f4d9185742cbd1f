#include <gtest/gtest.h>

#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "model/builtin_types.h"
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
        model::BuiltinTypes& t = model::builtinTypes();
        for (auto& [name, slot] : rows()) *slot = model::makeClass(name);
        (void)t;
    }
    void TearDown() override { model::builtinTypes().clear(); }

    static std::vector<std::pair<const char*, SmartPtr*>> rows() {
        model::BuiltinTypes& t = model::builtinTypes();
        return {{"void", &t.voidType},       {"byte", &t.byteType},       {"char", &t.charType},
                {"short", &t.shortType},     {"int", &t.intType},         {"long", &t.longType},
                {"bool", &t.boolType},       {"float", &t.floatType},     {"double", &t.doubleType},
                {"String", &t.stringType},   {"ObjectPtr", &t.objectPtr}, {"ObjectRef", &t.objectRef},
                {"Object", &t.anyType},      {"Pointer", &t.pointerType}, {"Class", &t.classType},
                {"Method", &t.methodType},   {"...", &t.variadic}};
    }
};

TEST_F(NativeTypes, TheTableNamesExactlyItsSeventeenTypes) {
    for (auto& [name, slot] : rows()) EXPECT_EQ(builtinTypeByName(name).get(), slot->get()) << name;
    model::builtinTypes().threadType = model::makeClass("Thread");
    for (const char* other : {"Thread", "Int", "string", "", "Field", "nil", "int "})
        EXPECT_FALSE(builtinTypeByName(other)) << other;
}

TEST_F(NativeTypes, StubSpellings) {
    const model::BuiltinTypes& t = model::builtinTypes();
    const std::pair<const SmartPtr*, const char*> expected[] = {
        {&t.voidType, "void "},      {&t.byteType, "kbyte "},    {&t.charType, "kchar "},
        {&t.shortType, "kshort "},   {&t.intType, "kint "},      {&t.longType, "klong "},
        {&t.boolType, "kbool "},     {&t.floatType, "float "},   {&t.doubleType, "double "},
        {&t.stringType, "kstring "}, {&t.objectPtr, "kptr "},    {&t.pointerType, "kptr "},
        {&t.methodType, "kptr "},    {&t.anyType, "KObject * "}, {&t.objectRef, "KObject * "},
        {&t.variadic, "... "},       {&t.classType, "unknow"},
    };
    for (const auto& [type, text] : expected) EXPECT_STREQ(nativeTypeName(model::asObject(*type)), text);
    EXPECT_STREQ(nativeTypeName(nullptr), "unknow");
    SmartPtr widget = model::makeClass("Widget");
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
    SmartPtr klass = model::makeClass("K");
    SmartPtr parameter = model::makeObject("p", model::kKindVariable, klass, 0);
    model::asObject(parameter)->flagsC |= model::kFlagParameter;
    SmartPtr local = model::makeObject("l", model::kKindVariable, klass, 0);
    EXPECT_EQ(candidateRank(candidate(parameter, 0, model::kStackFrame)), 1u);
    EXPECT_EQ(candidateRank(candidate(local, 0, model::kStackFrame)), 2u);
    EXPECT_EQ(candidateRank(candidate(klass, 0, model::kDynamicProperties)), 3u);
    EXPECT_EQ(candidateRank(candidate(klass, 2, model::kStaticProperties)), 20u);
    EXPECT_EQ(candidateRank(candidate(klass, 1, model::kObjectReference)), 13u);
    EXPECT_EQ(candidateRank(candidate(SmartPtr(), 0, 0)), 7u);
}

TEST(CandidateRank, ATieEndsTheChoiceEvenBeforeALowerOne) {
    SmartPtr a = model::makeClass("A"), b = model::makeClass("B"), c = model::makeClass("C");
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
