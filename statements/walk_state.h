// What the walk of the compile pass keeps for a whole compilation: how
// deeply statements nest, and what one statement compiler leaves for the
// next one it calls.
#pragma once

#include <cstdint>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/pass_state.h"
#include "foundation/smart_ptr.h"
#include "source/node.h"

// Once its tree is released, nothing reads more of a body's code's nodes than
// the file, line and column the debug lines give: the instructions made at
// one position share one node, and the others go with the tree.
//
// 16 bytes: the file is read from the node, on a line and column that match
// (the table of a body of millions of instructions was part of the
// compilation's peak).
struct PositionSlot {
    uint32_t line, column;
    _KNode<qeAbstractNode>* node;  // null: free
};

// How deeply statements may nest on a stack with room for them.
constexpr uint32_t kNestingLimit = 256;

class WalkState final : public PassState {
public:
    static constexpr PassSlot kSlot = PassSlot::Walk;

    // The statements being compiled, outermost first, and their count, and
    // how many may nest on the stack the compilation was given.
    uint32_t nestingDepth = 0;
    uint32_t nestingLimit = kNestingLimit;
    std::vector<uint32_t> statementKinds;
    // Set while a condition compiles its comparison: the comparison sets
    // the flags and leaves no value.
    bool compareOnly = false;
    // The variable of a catch clause, declared by the block of its handler.
    qestl::SmartPtr pendingBlockVariable;
    // The table that shares the positions of a compiled body's code, kept
    // from one body to the next (a node-based map allocated an entry per
    // instruction).
    std::vector<PositionSlot> positionSlots;
};

inline WalkState& walkState(CompileContext& context) { return context.passState<WalkState>(); }
