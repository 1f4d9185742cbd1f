// The console sink of the logger.
#include <cstring>
#include <string>

#include "foundation/logger.h"

// Laid out in one buffer and written at once: a message of a few lines took
// a locked stream write per piece, and a program may print a million.
void writeLogcatLines(std::FILE* stream, const char* text, uint32_t length) {
    thread_local std::string laidOut;
    laidOut.clear();
    const char* end = text + length;
    while (const char* newline = static_cast<const char*>(std::memchr(text, '\n', size_t(end - text)))) {
        laidOut.append(text, newline).append("\n ");
        text = newline + 1;
    }
    laidOut.append(text, end).push_back('\n');
    std::fwrite(laidOut.data(), 1, laidOut.size(), stream);
}

int qeCompilerLogcat::write(uint32_t, const char* text, uint32_t length) {
    writeLogcatLines(stdout, text, length);
    return 0;
}
