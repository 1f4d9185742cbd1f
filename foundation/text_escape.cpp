#include "foundation/text_escape.h"

namespace qestl {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

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
        if (escaped == 'x' && length - read >= 2 && hexValue(bytes[read]) >= 0 && hexValue(bytes[read + 1]) >= 0) {
            bytes[write++] = static_cast<char>(hexValue(bytes[read]) * 16 + hexValue(bytes[read + 1]));
            read += 2;
            continue;
        }
        bytes[write++] = simpleEscape(escaped);
    }
    text.setLength(write);
    return resolved;
}

}  // namespace qestl
