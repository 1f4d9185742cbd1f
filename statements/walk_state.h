// What the walk of the compile pass keeps for a whole compilation: how
// deeply statements nest, and what one statement compiler leaves for the
// next one it calls.
#pragma once

#include <cstdint>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/pass_state.h"
#include "foundation/smart_ptr.h"
#include "foundation/vector.h"
#include "source/node.h"

// How deeply statements may nest on a stack with room for them.
constexpr uint32_t kNestingLimit = 256;

class WalkState final : public PassState {
public:
    static constexpr PassSlot kSlot = PassSlot::Walk;

    // How deeply the statements being compiled nest, and how many may nest
    // on the stack the compilation was given.
    uint32_t nestingDepth = 0;
    uint32_t nestingLimit = kNestingLimit;
    // Set while a condition compiles its comparison: the comparison sets
    // the flags and leaves no value.
    bool compareOnly = false;
    // The variable of a catch clause, declared by the block of its handler.
    qestl::SmartPtr pendingBlockVariable;
    // The stack a compiled body's tree is released with (releaseSubtree),
    // kept from one body to the next with its room.
    qestl::qevector<qeAbstractNode*> releasedNodes;
};

inline WalkState& walkState(CompileContext& context) { return context.passState<WalkState>(); }
