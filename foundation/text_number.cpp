#include "foundation/text_number.h"

namespace qestl {
namespace {

bool isDecimal(char c) { return c >= '0' && c <= '9'; }

bool startsWithHexMark(const char* at, const char* end) { return end - at >= 2 && at[0] == '0' && at[1] == 'x'; }

}  // namespace

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isNumberSpan(const char* start, const char* end, bool hexOnly) {
    const char* at = start;
    if (hexOnly) {
        if (startsWithHexMark(at, end)) at += 2;
        else if (at < end && *at == 'x') ++at;
        for (; at < end; ++at)
            if (hexDigitValue(*at) < 0) return false;
        return true;
    }
    if (at < end && (*at == '+' || *at == '-')) ++at;
    else if (startsWithHexMark(at, end)) at += 2;
    for (; at < end; ++at) {
        if (isDecimal(*at) || *at == '.') continue;
        if (at + 1 == end && (*at == 'H' || *at == 'h')) continue;
        return false;
    }
    return true;
}

uint32_t parseHexInt(const qestringA& text) {
    const char* at = text.c_str();
    const char* end = at ? at + text.length() : at;
    if (startsWithHexMark(at, end)) at += 2;
    if (at < end && *at == 'x') ++at;
    uint32_t value = 0;
    for (; at < end && hexDigitValue(*at) >= 0; ++at) value = (value << 4) | static_cast<uint32_t>(hexDigitValue(*at));
    return value;
}

int64_t parseInt64(const qestringA& text) {
    const char* at = text.c_str();
    return readSignedDigits(at, at ? at + text.length() : at).as<int64_t>();
}

bool isNumericText(const qestringA& text) {
    const char* start = text.c_str();
    return isNumberSpan(start, start ? start + text.length() : start, false);
}

}  // namespace qestl
