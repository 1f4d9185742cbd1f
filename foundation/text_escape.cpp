#include "foundation/text_escape.h"

#include "foundation/text_number.h"

namespace qestl {
namespace {

char simpleEscape(char c) {
    switch (c) {
        case '0': return 0;
        case 'a': return 7;
        case 'b': return 8;
        case 'f': return 12;
        case 'n': return 10;
        case 'r': return 13;
        case 't': return 9;
        case 'v': return 11;
        default: return c;  // the quotes, '?', '\\' and any other byte stand for themselves
    }
}

}  // namespace

size_t unescape(qestringA& text) {
    char* bytes = text.data();
    if (!bytes) return 0;
    size_t length = text.length();
    size_t read = 0;
    size_t write = 0;
    size_t resolved = 0;
    while (read < length) {
        char c = bytes[read++];
        if (c != '\\') {
            bytes[write++] = c;
            continue;
        }
        if (read == length) break;  // a trailing backslash is dropped
        char escaped = bytes[read++];
        ++resolved;
        if (escaped == 'x' && length - read >= 2 && hexDigitValue(bytes[read]) >= 0 && hexDigitValue(bytes[read + 1]) >= 0) {
            bytes[write++] = static_cast<char>(hexDigitValue(bytes[read]) * 16 + hexDigitValue(bytes[read + 1]));
            read += 2;
            continue;
        }
        bytes[write++] = simpleEscape(escaped);
    }
    text.setLength(write);
    return resolved;
}

}  // namespace qestl
