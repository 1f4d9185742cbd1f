// The console sink of the logger.
#include <cstring>

#include "foundation/logger.h"

void writeLogcatLines(std::FILE* stream, const char* text, uint32_t length) {
    if (length == 0) {
        std::fputc('\n', stream);
        return;
    }
    const char* end = text + length;
    while (const char* newline = static_cast<const char*>(std::memchr(text, '\n', size_t(end - text)))) {
        std::fwrite(text, 1, size_t(newline - text), stream);
        std::fwrite("\n ", 1, 2, stream);
        text = newline + 1;
    }
    std::fwrite(text, 1, size_t(end - text), stream);
    std::fputc('\n', stream);
}

int qeCompilerLogcat::write(uint32_t, const char* text, uint32_t length) {
    writeLogcatLines(stdout, text, length);
    return 0;
}
