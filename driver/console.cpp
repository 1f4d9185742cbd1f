#include "driver/console.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "diagnostics/diagnostics.h"

void printToStdout(const char* text) { std::fputs(text, stdout); }

void printfToStdout(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

bool finishStdout() {
    errno = 0;
    // The error indicator stays set from the first write that failed; the
    // flush tries what is still buffered and tells why it could not.
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout)) return true;
    const int reason = errno;
    std::fprintf(stderr, diag::StandardOutputLost.text, reason != 0 ? std::strerror(reason) : "?");
    return false;
}
