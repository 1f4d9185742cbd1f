// The state one pass above codegen keeps for a whole compilation. The
// context owns it without knowing its shape: the pass defines it, reaches
// it through CompileContext::passState, and it goes with the context's
// reset.
#pragma once

#include <cstddef>

enum class PassSlot { Declaration, Walk, Expressions };
inline constexpr size_t kPassSlotCount = 3;

class PassState {
public:
    PassState() = default;
    PassState(const PassState&) = delete;
    PassState& operator=(const PassState&) = delete;
    virtual ~PassState() = default;
};
