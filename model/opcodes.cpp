#include "model/opcodes.h"

namespace model {
namespace {

constexpr OpcodeRow kRows[] = {
#define RECORD kOperandsRecord
#define OPCODE(number, name, mnemonic, shape) {number, mnemonic, shape},
#include "model/opcodes.def"
#undef OPCODE
#undef RECORD
};

// Direct index by number: the table is sparse but small.
struct Index {
    const OpcodeRow* byNumber[260] = {};
    constexpr Index() {
        for (const OpcodeRow& row : kRows) byNumber[row.number] = &row;
    }
};
constexpr Index kIndex;

}  // namespace

const OpcodeRow* opcodeRows(size_t& count) {
    count = sizeof kRows / sizeof kRows[0];
    return kRows;
}

const OpcodeRow* findOpcode(uint32_t number) { return number < 260 ? kIndex.byNumber[number] : nullptr; }

}  // namespace model
