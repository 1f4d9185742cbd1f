#include "driver/console.h"

#include <cstdarg>
#include <cstdio>

void printToStdout(const char* text) { std::fputs(text, stdout); }

void printfToStdout(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}
