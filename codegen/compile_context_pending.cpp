// The compile context holds no code yet: resetting, resolving and laying out
// have nothing to work on.
#include "codegen/compile_context.h"

#include "foundation/logger.h"

void CompileContext::reset() {}
void CompileContext::resolveOperands() {}
void CompileContext::assignAddresses() {}

void CompileContext::reportCompileStopped() {
    static const char kStopped[] = "发生错误,编译中断";
    if (errorMessages != nullptr) {
        errorMessages->append(kStopped);
        errorMessagesMarked = true;
        return;
    }
    logcat(0x10010, "%s", kStopped);
    ++errorCount;
}
