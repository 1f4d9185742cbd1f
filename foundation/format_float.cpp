// Floating-point conversions of the formatting engines: the e, f and g forms
// with three-digit exponents, and the padded field around them.
#include <cmath>
#include <cstring>

#include "foundation/format.h"

namespace qestl {
namespace {

size_t putText(char* buffer, size_t at, const char* text) {
    for (; *text != 0; ++text) buffer[at++] = *text;
    return at;
}

size_t putRepeated(char* buffer, size_t at, char unit, int count) {
    for (; count > 0; --count) buffer[at++] = unit;
    return at;
}

size_t exponentForm(double value, char* buffer, int precision, bool upper) {
    char digits[kFloatTextSize];
    int point = 0;
    size_t n = convertToDigits(value, precision + 1, digits, &point);
    size_t at = 0;
    if (value < 0) buffer[at++] = '-';
    buffer[at++] = digits[0];
    if (precision > 0) {
        buffer[at++] = '.';
        std::memcpy(buffer + at, digits + 1, n - 1);
        at += n - 1;
    }
    buffer[at++] = upper ? 'E' : 'e';
    int exponent = digits[0] == '0' ? 0 : point - 1;
    buffer[at++] = exponent < 0 ? '-' : '+';
    if (exponent < 0) exponent = -exponent;
    buffer[at++] = static_cast<char>('0' + exponent / 100);
    buffer[at++] = static_cast<char>('0' + exponent / 10 % 10);
    buffer[at++] = static_cast<char>('0' + exponent % 10);
    return at;
}

size_t fixedForm(double value, char* buffer, int precision) {
    char digits[kFloatTextSize];
    int point = 0;
    size_t n = convertToFixedDigits(value, precision, digits, &point);
    size_t at = 0;
    if (value < 0) buffer[at++] = '-';
    bool allZero = true;
    for (size_t i = 0; i < n; ++i) allZero = allZero && digits[i] == '0';
    if (allZero) {
        buffer[at++] = '0';
        if (precision > 0) {
            buffer[at++] = '.';
            at = putRepeated(buffer, at, '0', precision);
        }
        return at;
    }
    if (point <= 0) {
        at = putText(buffer, at, "0.");
        at = putRepeated(buffer, at, '0', -point);
        std::memcpy(buffer + at, digits, n);
        return at + n;
    }
    auto whole = static_cast<size_t>(point);
    std::memcpy(buffer + at, digits, whole);
    at += whole;
    if (n > whole) {
        buffer[at++] = '.';
        std::memcpy(buffer + at, digits + whole, n - whole);
        at += n - whole;
    }
    return at;
}

}  // namespace

size_t formatFloatConversion(double value, char* buffer, char letter, int precision) {
    bool upper = letter == 'E' || letter == 'G';
    char form = upper ? static_cast<char>(letter - 'A' + 'a') : letter;
    if (form != 'e' && form != 'f' && form != 'g') return 0;
    if (std::isnan(value)) return putText(buffer, 0, "#NaN");
    if (std::isinf(value)) return putText(buffer, putText(buffer, 0, value < 0 ? "-" : ""), "#INF");
    if (precision < 0) precision = 0;
    if (form == 'e') return exponentForm(value, buffer, precision, upper);
    if (form == 'f') return fixedForm(value, buffer, precision);

    // g: the exponent the value has once rounded to precision digits decides.
    char digits[kFloatTextSize];
    int point = 0;
    convertToDigits(value, precision > 0 ? precision : 1, digits, &point);
    int exponent = digits[0] == '0' ? 0 : point - 1;
    if (exponent < -4 || exponent > precision - 1)
        return exponentForm(value, buffer, precision > 0 ? precision - 1 : 0, upper);
    int fraction = precision - (exponent + 1);
    return fixedForm(value, buffer, fraction > 0 ? fraction : 0);
}

template <typename Unit>
size_t formatDoubleField(qestring<Unit>& out, size_t pos, double value, int32_t width, int32_t precision,
                         char letter, unsigned flags) {
    flags |= kFormatSigned;
    if (flags & kFormatLeft) flags &= ~unsigned(kFormatZeroPad);
    char sign = 0;
    if (value < 0) {
        sign = '-';
        value = -value;
    } else if (flags & kFormatPlus) {
        sign = '+';
    } else if (flags & kFormatSpace) {
        sign = ' ';
    }
    if (sign != 0) --width;

    if (precision < 0) precision = 6;
    if (precision > 255) precision = 255;
    if (precision == 0 && letter == 'g') precision = 1;

    char text[kFloatTextSize + 2];
    size_t length = formatFloatConversion(value, text, letter, precision);

    if ((flags & kFormatAlternate) && precision == 0 && std::memchr(text, '.', length) == nullptr) {
        size_t at = length;
        for (size_t i = 0; i < length; ++i)
            if (text[i] == 'e' || text[i] == 'E') at = i;
        std::memmove(text + at + 1, text + at, length - at);
        text[at] = '.';
        ++length;
    }
    if (letter == 'g' && !(flags & kFormatAlternate)) {
        auto* point = static_cast<char*>(std::memchr(text, '.', length));
        if (point != nullptr) {
            size_t dot = static_cast<size_t>(point - text);
            size_t end = dot;
            while (end < length && text[end] != 'e') ++end;
            size_t keep = end;
            while (keep > dot + 1 && text[keep - 1] == '0') --keep;
            if (keep == dot + 1) keep = dot;
            std::memmove(text + keep, text + end, length - end);
            length -= end - keep;
        }
    }

    int32_t pad = width > 0 && static_cast<size_t>(width) > length ? width - static_cast<int32_t>(length) : 0;
    if (!(flags & (kFormatZeroPad | kFormatLeft)))
        for (; pad > 0; --pad) out.putUnit(pos++, Unit(' '));
    if (sign != 0) out.putUnit(pos++, Unit(sign));
    if (flags & kFormatZeroPad)
        for (; pad > 0; --pad) out.putUnit(pos++, Unit('0'));
    for (size_t i = 0; i < length; ++i) out.putUnit(pos++, Unit(text[i]));
    for (; pad > 0; --pad) out.putUnit(pos++, Unit(' '));
    return pos;
}

template size_t formatDoubleField<char>(qestringA&, size_t, double, int32_t, int32_t, char, unsigned);
template size_t formatDoubleField<char16_t>(qestringW&, size_t, double, int32_t, int32_t, char, unsigned);

}  // namespace qestl
