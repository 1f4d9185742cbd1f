// Folding runs on unsigned 64-bit arithmetic so that every input has a
// result: wrapping sums, INT64_MIN / -1 (INT64_MIN again), INT64_MIN % -1
// (0) and shifts of negative values are all defined.
#include "expressions/constant_folding.h"

#include <algorithm>
#include <bit>

#include "model/opcodes.h"

namespace expressions {
namespace {

using model::Operand;

Operand errorRecord(int64_t code) { return Operand(code, model::kErrorOperand, model::kTypeObject); }

float floatOf(const Operand& value) {
    if (value.kind == model::kImmFloat) return std::bit_cast<float>(static_cast<uint32_t>(value.value));
    if (value.kind == model::kImmDouble) return static_cast<float>(std::bit_cast<double>(value.value));
    return static_cast<float>(value.value);
}

double doubleOf(const Operand& value) {
    if (value.kind == model::kImmDouble) return std::bit_cast<double>(value.value);
    if (value.kind == model::kImmFloat) return std::bit_cast<float>(static_cast<uint32_t>(value.value));
    return static_cast<double>(value.value);
}

bool isFloating(const Operand& value) { return value.kind == model::kImmFloat || value.kind == model::kImmDouble; }

template <typename Real>
bool applyReal(uint32_t code, Real left, Real right, Real& out) {
    switch (code) {
    case model::kOpAdd: out = left + right; return true;
    case model::kOpSub: out = left - right; return true;
    case model::kOpMul: out = left * right; return true;
    case model::kOpDiv:
        if (right == 0) return false;
        out = left / right;
        return true;
    default: out = 0; return true;
    }
}

// The quotient truncated toward zero, on magnitudes.
uint64_t wrappingQuotient(int64_t left, int64_t right) {
    const uint64_t a = left < 0 ? 0 - static_cast<uint64_t>(left) : static_cast<uint64_t>(left);
    const uint64_t b = right < 0 ? 0 - static_cast<uint64_t>(right) : static_cast<uint64_t>(right);
    const uint64_t magnitude = a / b;
    return (left < 0) != (right < 0) ? 0 - magnitude : magnitude;
}

// The remainder takes the sign of the left value.
uint64_t wrappingRemainder(int64_t left, int64_t right) {
    const uint64_t a = left < 0 ? 0 - static_cast<uint64_t>(left) : static_cast<uint64_t>(left);
    const uint64_t b = right < 0 ? 0 - static_cast<uint64_t>(right) : static_cast<uint64_t>(right);
    const uint64_t magnitude = a % b;
    return left < 0 ? 0 - magnitude : magnitude;
}

}  // namespace

Operand foldArithmeticValues(uint32_t code, const Operand& left, const Operand& right) {
    if (left.kind == model::kImmDouble || right.kind == model::kImmDouble) {
        double out = 0;
        if (!applyReal(code, doubleOf(left), doubleOf(right), out)) return errorRecord(kFoldDivideByZero);
        return Operand(std::bit_cast<int64_t>(out), model::kImmDouble, model::kTypeDouble);
    }
    if (left.kind == model::kImmFloat || right.kind == model::kImmFloat) {
        float out = 0;
        if (!applyReal(code, floatOf(left), floatOf(right), out)) return errorRecord(kFoldDivideByZero);
        return Operand(static_cast<int64_t>(std::bit_cast<uint32_t>(out)), model::kImmFloat, model::kTypeFloat);
    }
    const uint64_t a = static_cast<uint64_t>(left.value);
    const uint64_t b = static_cast<uint64_t>(right.value);
    uint64_t out = 0;
    switch (code) {
    case model::kOpAdd: out = a + b; break;
    case model::kOpSub: out = a - b; break;
    case model::kOpMul: out = a * b; break;
    case model::kOpDiv:
        if (right.value == 0) return errorRecord(kFoldDivideByZero);
        out = wrappingQuotient(left.value, right.value);
        break;
    default: break;
    }
    return Operand(static_cast<int64_t>(out), std::max(left.kind, right.kind), model::kTypeObject);
}

Operand foldIntegerValues(uint32_t code, const Operand& left, const Operand& right) {
    if (isFloating(left) || isFloating(right)) return errorRecord(kFoldUnsupported);
    const uint64_t a = static_cast<uint64_t>(left.value);
    const uint64_t b = static_cast<uint64_t>(right.value);
    const unsigned count = static_cast<unsigned>(b & 63);
    uint64_t out = 0;
    switch (code) {
    case model::kOpShl: out = a << count; break;
    case model::kOpShr:
        // Sign-filling: shift the complement of a negative value.
        out = left.value < 0 ? ~(~a >> count) : a >> count;
        break;
    case model::kOpMod:
        if (right.value == 0) return errorRecord(kFoldDivideByZero);
        out = wrappingRemainder(left.value, right.value);
        break;
    case model::kOpAnd: out = a & b; break;
    case model::kOpOr: out = a | b; break;
    case model::kOpXor: out = a ^ b; break;
    default: break;
    }
    // Long when the left value is, or for all but the shifts the right one.
    const bool wide = left.kind == model::kImmLong || (!isShiftCode(code) && right.kind == model::kImmLong);
    const uint32_t kind = wide ? model::kImmLong : model::kImmInt;
    return Operand(static_cast<int64_t>(out), kind, model::kTypeObject);
}

}  // namespace expressions
