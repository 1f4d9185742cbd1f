// A region whose every way out (falling off its end, return, break,
// continue) passes through one exit, so its cleanup code runs before the
// jump goes on: the synchronized blocks release their locks there.
#pragma once

#include <cstdint>

#include "codegen/jump_scope.h"
#include "foundation/smart_ptr.h"

class CompileContext;

struct ActionScope {
    JumpScope jumps;
    qestl::SmartPtr opening;  // the new_actionscope instruction
    uint64_t start = 0;       // the code index after it
};

// Emits new_actionscope and sends the active return, break and continue
// targets to the scope.
void openActionScope(CompileContext& context, ActionScope& scope);

// After the body: the exits, the queued cleanup (moved into the code, the
// queue left empty; may be null), exit_actionscope and close_actionscope;
// gives the outer targets back and binds the region's labels.
void closeActionScope(CompileContext& context, ActionScope& scope, CodeList* cleanup);
