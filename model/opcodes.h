// Opcode numbers as named constants, and the table rows behind them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace model {

// An operand shape: a count of operands, or kOperandsRecord for a record
// written by its own encoder.
constexpr int kOperandsRecord = -1;

enum Opcode : uint32_t {
#define RECORD kOperandsRecord
#define OPCODE(number, name, mnemonic, shape) kOp##name = number,
#include "model/opcodes.def"
#undef OPCODE
#undef RECORD
    // Numbers without a listing row that the compiler still uses.
    kOpLogicalAnd = 58,
    kOpLogicalOr = 59,
    kOpObjectRecord = 153,
    kOpLibraryFunction = 169,
    // No instruction: what a class holder's record answers (model/class_holder.h),
    // which the image writes as an entry of the heap, without code.
    kOpClassHolder = 0xFFFF,
};

struct OpcodeRow {
    uint32_t number;
    const char* mnemonic;
    int shape;
};

// Every row, ascending by number.
const OpcodeRow* opcodeRows(size_t& count);
// The row of an opcode, or null when it has none.
const OpcodeRow* findOpcode(uint32_t number);

}  // namespace model
