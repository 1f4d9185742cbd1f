#include "foundation/base64.h"

namespace qestl {
namespace {

unsigned sextet(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0' + 52);
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;
}

}  // namespace

qestringA decodeBase64(const qestringA& text) {
    qestringA result;
    const char* input = text.c_str();
    size_t length = input ? text.length() : 0;
    size_t index = 0;
    while (index < length) {
        if (input[index] == '\r' || input[index] == '\n') {
            ++index;
            continue;
        }
        char group[4] = {'=', '=', '=', '='};
        for (size_t i = 0; i < 4 && index + i < length; ++i) group[i] = input[index + i];
        unsigned c0 = sextet(group[0]), c1 = sextet(group[1]), c2 = sextet(group[2]), c3 = sextet(group[3]);
        char bytes[3];
        size_t count = 0;
        bytes[count++] = static_cast<char>((c0 << 2) | (c1 >> 4));
        if (group[2] != '=') {
            bytes[count++] = static_cast<char>(((c1 & 15) << 4) | (c2 >> 2));
            if (group[3] != '=') bytes[count++] = static_cast<char>(((c2 & 3) << 6) | c3);
        }
        result.append(bytes, count);
        index += 4;
    }
    return result;
}

}  // namespace qestl
