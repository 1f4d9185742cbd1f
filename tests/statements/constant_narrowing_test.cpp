// The narrowing warnings of a store, at the ends of every integral range, for
// floating constants, non-immediates and the targets that accept anything;
// and the clamped conversion of floating constants.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/diagnostic_capture.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/ir_object.h"
#include "statements/compile_walk.h"

namespace {

using qestl::SmartPtr;
using B = model::BuiltinTypes;

struct Fixture {
    CompileContext context;

    Fixture() {
        model::BuiltinTypes& b = context.builtins();
        const struct {
            model::Builtin tag;
            const char* name;
            int8_t rank;
        } rows[] = {{model::Builtin::Byte, "byte", 1},       {model::Builtin::Char, "char", 2},
                    {model::Builtin::Short, "short", 3},     {model::Builtin::Int, "int", 4},
                    {model::Builtin::Long, "long", 5},       {model::Builtin::Float, "float", 6},
                    {model::Builtin::Double, "double", 7},   {model::Builtin::Nil, "nil", -1},
                    {model::Builtin::Pointer, "Pointer", 0}, {model::Builtin::ObjectPtr, "ObjectPtr", 0},
                    {model::Builtin::Any, "*", 0},           {model::Builtin::String, "String", 0}};
        for (const auto& row : rows) {
            b.set(row.tag, model::makeClass(row.name, b.classType)).as<model::IRObject>()->numericRank = row.rank;
        }
    }

    // The warning numbers, in order, and the texts.
    std::vector<int> check(SmartPtr B::*target, SmartPtr B::*source, uint32_t kind, int64_t value) {
        DiagnosticCapture capture;
        capture.begin(context.diagnostics());
        const B& b = context.builtins();
        checkConstantNarrowing(context, b.*target, b.*source, model::Operand(value, kind, kind), StatementNode());
        capture.close(context.diagnostics());
        text = capture.warningText.c_str() != nullptr ? capture.warningText.c_str() : "";
        std::vector<int> numbers;
        for (size_t at = text.find("[Warning:"); at != std::string::npos; at = text.find("[Warning:", at + 1))
            numbers.push_back(std::stoi(text.substr(at + 9)));
        return numbers;
    }
    std::string text;
};

int64_t bitsOf(double value) { return std::bit_cast<int64_t>(value); }

using W = std::vector<int>;
const W kNone{};
const W kRange{117, 164};

TEST(ConstantNarrowing, IntegralRangesAreJudgedByValueAtBothEnds) {
    Fixture f;
    EXPECT_EQ(f.check(&B::byteType, &B::intType, model::kImmInt, 255), kNone);
    EXPECT_EQ(f.check(&B::byteType, &B::intType, model::kImmInt, 256), kRange);
    EXPECT_EQ(f.check(&B::byteType, &B::intType, model::kImmInt, -1), kRange);
    EXPECT_EQ(f.check(&B::charType, &B::intType, model::kImmInt, 65535), kNone);
    EXPECT_EQ(f.check(&B::charType, &B::intType, model::kImmInt, -1), kRange);
    EXPECT_EQ(f.check(&B::shortType, &B::intType, model::kImmInt, -32768), kNone);
    EXPECT_EQ(f.check(&B::shortType, &B::intType, model::kImmInt, 32768), kRange);
    EXPECT_EQ(f.check(&B::intType, &B::longType, model::kImmLong, 2147483647), kNone);
    EXPECT_EQ(f.check(&B::intType, &B::longType, model::kImmLong, -2147483648LL), kNone);
    EXPECT_EQ(f.check(&B::intType, &B::longType, model::kImmLong, 2147483648LL), kRange);
    // A char immediate into short is not among the kinds short judges: the
    // rank test alone decides, and char ranks below short.
    EXPECT_EQ(f.check(&B::shortType, &B::charType, model::kImmChar, 70000), kNone);
}

TEST(ConstantNarrowing, FloatingConstantsLosePrecisionThenRank) {
    Fixture f;
    EXPECT_EQ(f.check(&B::intType, &B::doubleType, model::kImmDouble, bitsOf(1.5)), (W{163, 164}));
    EXPECT_NE(f.text.find("从 double 转换到 int 可能丢失精度."), std::string::npos);
    EXPECT_NE(f.text.find("从 double 转换到 int 可能丢失数据."), std::string::npos);
    EXPECT_EQ(f.check(&B::floatType, &B::doubleType, model::kImmDouble, bitsOf(1.5)), (W{163, 164}));
    EXPECT_EQ(f.check(&B::floatType, &B::floatType, model::kImmFloat, 0), kNone);
    EXPECT_EQ(f.check(&B::longType, &B::doubleType, model::kImmDouble, bitsOf(2.0)), (W{163, 164}));
    EXPECT_EQ(f.check(&B::byteType, &B::floatType, model::kImmFloat, 0), (W{163, 164}));
}

TEST(ConstantNarrowing, NonImmediatesTakeTheRankTestOnly) {
    Fixture f;
    EXPECT_EQ(f.check(&B::longType, &B::intType, model::kStackSlot, 0), kNone);
    EXPECT_EQ(f.check(&B::intType, &B::longType, model::kStackSlot, 0), (W{164}));
    EXPECT_EQ(f.check(&B::intType, &B::nilType, model::kStackSlot, 0), kNone);
    EXPECT_EQ(f.check(&B::pointerType, &B::longType, model::kStackSlot, 0), kNone);
    EXPECT_EQ(f.check(&B::pointerType, &B::doubleType, model::kStackSlot, 0), (W{164}));
    EXPECT_EQ(f.check(&B::objectPtr, &B::doubleType, model::kImmDouble, 0), kNone);
    EXPECT_EQ(f.check(&B::anyType, &B::doubleType, model::kImmDouble, 0), kNone);
    EXPECT_EQ(f.check(&B::stringType, &B::doubleType, model::kStackSlot, 0), (W{164}));
}

TEST(ConstantNarrowing, FloatingToIntegerNeverLeavesTheRange) {
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(floatingToInteger(std::nan(""), 0, 255), 0);
    EXPECT_EQ(floatingToInteger(300.7, 0, 255), 255);
    EXPECT_EQ(floatingToInteger(-3.0, 0, 255), 0);
    EXPECT_EQ(floatingToInteger(44.9, 0, 255), 44);
    EXPECT_EQ(floatingToInteger(1e300, kMin, kMax), kMax);
    EXPECT_EQ(floatingToInteger(-1e300, kMin, kMax), kMin);
    EXPECT_EQ(floatingToInteger(-std::numeric_limits<double>::infinity(), -32768, 32767), -32768);
}

}  // namespace
