// The image writer's small helpers, which no probe command reaches.
#include <gtest/gtest.h>

#include "codegen/instructions.h"
#include "model/opcodes.h"

namespace {

TEST(Instructions, CodeSizeSumsAHalfOpenRange) {
    qestl::SmartPtrVector list;
    list.pushBack(codegen::makeRet(model::NodeHandle()));                  // 4
    list.pushBack(codegen::makeJump(model::kOpJmp, 0));                    // 16
    list.pushBack(codegen::makeChecketp(1, 2));                            // 28
    list.pushBack(codegen::makeMovEdxEax(nullptr, nullptr));               // 28
    EXPECT_EQ(codegen::codeSize(list, 0, 4), 76u);
    EXPECT_EQ(codegen::codeSize(list, 1, 3), 44u);
    EXPECT_EQ(codegen::codeSize(list, 3, 1), 0u);
    EXPECT_EQ(codegen::codeSize(list, 2, 2), 0u);
}

TEST(Instructions, SettingOperandsNormalisesOrSetsTheCount) {
    model::cbircode record(model::kOpAutoswitch, 0);
    codegen::setInstructionOperand(record, 0, model::Operand(7, model::kImmInt, model::kTypeInt));
    EXPECT_EQ(record.operands[0].encodedKind, model::kImmInt);
    EXPECT_EQ(record.operands[0].encodedValue(), 7);
    EXPECT_EQ(record.operandCount, 0u);
    const model::Operand one(1, model::kImmInt, model::kTypeInt);
    codegen::setFiveOperands(record, one, one, one, one, one);
    EXPECT_EQ(record.operandCount, 5u);
    codegen::setOperandPair(record, 8, one, one);
    EXPECT_EQ(record.operandCount, 10u);
}

TEST(Instructions, AReferenceToARecordNeverPlacedIsRefused) {
    qestl::SmartPtr target = codegen::makeRet(model::NodeHandle());
    model::cbircode jump(model::kOpJmp, 1);
    model::Operand reference;
    reference.setObjectRef(target, 0);
    model::Operand unplaced = reference;
    EXPECT_FALSE(codegen::fixupOperand(unplaced, jump, 100));
    target.as<model::cbircode>()->codeAddress = 64;
    model::Operand placed = reference;
    EXPECT_TRUE(codegen::fixupOperand(placed, jump, 100));
    EXPECT_EQ(placed.value, -36);
}

}  // namespace
