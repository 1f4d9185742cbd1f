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

IntegerLiteral readIntegerLiteral(std::string_view text) {
    IntegerLiteral literal;
    literal.isLong = !text.empty() && (text.back() == 'L' || text.back() == 'l');
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view body = negative ? text.substr(1) : text;
    if (body.size() < 2 || body[0] != '0' || body[1] != 'x') {
        literal.value = readSignedDigits(text.data(), text.data() + text.size()).as<int64_t>();
        // Too wide for an int: typing it int would warn about narrowing
        // where nothing narrows.
        if (literal.value != static_cast<int32_t>(literal.value)) literal.isLong = true;
        return literal;
    }
    size_t at = 2;
    if (at < body.size() && body[at] == 'x') ++at;
    uint64_t value = 0;
    size_t digits = 0;
    for (int digit; at < body.size() && (digit = hexDigitValue(body[at])) >= 0; ++at, ++digits)
        value = value * 16 + static_cast<uint64_t>(digit);
    if (!literal.isLong && digits <= 8)
        value = static_cast<uint64_t>(static_cast<int32_t>(static_cast<uint32_t>(value)));
    else literal.isLong = true;
    literal.value = static_cast<int64_t>(negative ? 0 - value : value);
    return literal;
}

bool isNumericText(const qestringA& text) {
    const char* start = text.c_str();
    return isNumberSpan(start, start ? start + text.length() : start, false);
}

}  // namespace qestl
