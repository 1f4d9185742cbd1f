// The operand checkers of the operator expressions: (context, operator code,
// number of operand values, right value, left value, out result type,
// node). A one-operand operator has its operand in the left value. True:
// emit the instruction typed `resultType`. False: an error was reported, or
// both operands were constants and the folded constant is the candidate.
#pragma once

#include <cstdint>

#include "statements/compile_walk.h"

namespace expressions {

// "+", "-", "*", "/" and negation (one value with "-").
bool foldArithmetic(CompileContext& context, uint32_t code, int32_t count, const model::IRResult& right,
                    const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node);
// "<<", ">>", "%", "&", "|", "^".
bool foldIntegerOperator(CompileContext& context, uint32_t code, int32_t count, const model::IRResult& right,
                         const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node);
// "~": never folded.
bool foldBitwiseNot(CompileContext& context, uint32_t code, int32_t count, const model::IRResult& right,
                    const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node);
// "[]": the element type of the array; the index must be integral.
bool foldArraySubscript(CompileContext& context, uint32_t code, int32_t count, const model::IRResult& right,
                        const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node);

}  // namespace expressions

namespace expressions {

// Comparisons (code 66): never folded; warnings 135, 201, 202, 203.
bool foldComparison(CompileContext& context, uint32_t code, int32_t count, const model::IRResult& right,
                    const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node);
// Does the constant's value survive truncation to the type of the rank?
// (1 unsigned 8 bits, 2 unsigned 16, 3 signed 16, 4 signed 32; others fit.)
bool constantFitsType(const model::Operand& constant, int8_t rank);
// Warnings 201, 202, 203 of a comparison with a constant operand.
void warnConstantCondition(CompileContext& context, const model::IRObject* left, const model::IRObject* right,
                           std::string_view text, const StatementNode& node);

}  // namespace expressions

namespace expressions {

// The nilptr states a comparison records for the branch where it holds,
// and warnings 325/326 for a comparison whose outcome the states decide.
void recordComparisonStates(CompileContext& context, model::IRResult& result, const model::IRResult& left,
                            const model::IRResult& right, const StatementNode& node);
// "!": each state of the operand turned to the other branch's.
void recordNotStates(model::IRResult& result, const model::IRResult& operand);

}  // namespace expressions
