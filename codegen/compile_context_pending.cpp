// The compile context holds no code yet: resetting, resolving and laying out
// have nothing to work on.
#include "codegen/compile_context.h"

#include "foundation/diagnostics.h"
#include "foundation/logger.h"

void CompileContext::reset() {}
void CompileContext::resolveOperands() {}
void CompileContext::assignAddresses() {}

void CompileContext::reportCompileStopped() {
    if (errorMessages != nullptr) {
        errorMessages->append(diag::CompileStopped.text);
        errorMessagesMarked = true;
        return;
    }
    logcat(0x10010, "%s", diag::CompileStopped.text);
    ++errorCount;
}
