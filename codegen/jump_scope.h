// Jump scopes and code-list guards: stack objects of the construct compilers
// that install labels or switch code lists and give them back when the
// construct ends, also when it leaves early.
#pragma once

#include <cstdint>

#include "foundation/smart_ptr.h"
#include "model/operand.h"

class CodeEmitter;
struct FunctionCompileState;
using CodeList = qestl::SmartPtrVector;

enum JumpKind : uint32_t { kJumpReturn = 1, kJumpBreak = 2, kJumpContinue = 4, kJumpAll = 7 };

class JumpScope {
public:
    JumpScope() = default;
    JumpScope(const JumpScope&) = delete;
    JumpScope& operator=(const JumpScope&) = delete;
    ~JumpScope();

    // Gives back the outer labels of the kinds in mask (all the scope
    // installed for 7).
    void restore(uint32_t mask);
    // The scope's label of a kind; any other selector gives the fourth one.
    model::Operand& target(uint32_t selector);
    // The outer label saved for a kind; null for any other selector.
    model::Operand* savedList(uint32_t selector) const;
    uint32_t mask() const { return mask_; }

private:
    friend class CodeEmitter;

    model::Operand labels_[4];  // return, break, continue, and the fallback
    model::Operand* saved_[3] = {nullptr, nullptr, nullptr};
    uint32_t mask_ = 0;
    CodeEmitter* emitter_ = nullptr;
    // The function flags forbidding break and continue that the scope
    // lifted (a loop inside a finally block), and the function they are
    // given back to.
    uint32_t liftedFlags_ = 0;
    FunctionCompileState* liftedIn_ = nullptr;
};

class CodeListGuard {
public:
    CodeListGuard() = default;
    CodeListGuard(const CodeListGuard&) = delete;
    CodeListGuard& operator=(const CodeListGuard&) = delete;
    ~CodeListGuard() { restore(); }

    void restore();
    // Makes `list` (not owned) take the place of list `selector` (0 or 1) or,
    // for any other selector, only of the current list when restored.
    void replaceWith(CodeList* list, int64_t selector) {
        replacement_ = list;
        selector_ = selector;
    }

private:
    friend class CodeEmitter;

    CodeEmitter* emitter_ = nullptr;
    CodeList* replacement_ = nullptr;
    int64_t selector_ = -1;
};

namespace codegen {
// Detaches every instruction of the list, releases them and empties it.
void releaseCodeList(CodeList& list);
// Empties a list whose code is thrown away (a failed body or branch) without
// detaching what it refers to, which stays in use: each operand lets go of
// its target, so jumps among the list's own instructions free them.
void dropCodeList(CodeList& list);
}  // namespace codegen
