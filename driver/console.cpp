#include "driver/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "diagnostics/diagnostics.h"
#include "platform/standard_output.h"

void printToStdout(const char* text) { std::fputs(text, stdout); }

void printfToStdout(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

bool finishStdout() {
    // The error indicator stays set from the first write that failed; the
    // flush tries what is still buffered.
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout)) return true;
    const int reason = platform::standardOutputError();
    std::fprintf(stderr, diag::StandardOutputLost.text, reason != 0 ? std::strerror(reason) : "?");
    return false;
}
