// Compile-time values of arithmetic, shift and bitwise operators on two
// constant records. Integers wrap in 64 bits; a record of kind 33 is the
// failure: value 149 for a division by zero, 111 for an operand the
// operator does not take.
#pragma once

#include <cstdint>

#include "model/opcodes.h"
#include "model/operand.h"

namespace expressions {

constexpr int64_t kFoldDivideByZero = 149;
constexpr int64_t kFoldUnsupported = 111;

// "+", "-", "*", "/" (codes 62-65): double beats float beats the integers.
model::Operand foldArithmeticValues(uint32_t code, const model::Operand& left, const model::Operand& right);
// "<<", ">>", "%", "&", "|", "^" (codes 60, 61, 68, 69, 70, 72): integers
// only; long when either record is, but a shift only by its left one.
model::Operand foldIntegerValues(uint32_t code, const model::Operand& left, const model::Operand& right);

inline bool isFoldError(const model::Operand& value) { return value.kind == model::kErrorOperand; }

// A shift takes its type from its left operand alone; the count never widens it.
inline bool isShiftCode(uint32_t code) { return code == model::kOpShl || code == model::kOpShr; }

}  // namespace expressions
