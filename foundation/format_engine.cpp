// Format scanning and the integer and address fields of the formatting
// engines; one template serves the narrow and the UTF-16 engine.
#include <climits>

#include "foundation/format.h"

namespace qestl {
namespace {

constexpr char kLowerDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr char kUpperDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

template <typename Unit>
size_t putRepeated(qestring<Unit>& out, size_t pos, char unit, int64_t count) {
    for (; count > 0; --count) out.putUnit(pos++, Unit(unit));
    return pos;
}

// Decimal digits of a width or precision; saturates instead of overflowing.
template <typename Unit>
int32_t readNumber(const Unit*& fmt) {
    int64_t value = 0;
    while (*fmt >= Unit('0') && *fmt <= Unit('9')) {
        value = value * 10 + (*fmt++ - Unit('0'));
        if (value > INT32_MAX) value = INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

// The value of a '*': INT_MIN has no positive twin, so it saturates.
int32_t magnitudeOf(int32_t value) { return value == INT32_MIN ? INT32_MAX : (value < 0 ? -value : value); }

template <typename Unit>
const Unit* nullText() {
    static const Unit text[] = {'<', 'N', 'U', 'L', 'L', '>', 0};
    return text;
}

template <typename Unit>
size_t measureUpTo(const Unit* text, int32_t precision) {
    size_t limit = precision < 0 ? SIZE_MAX : static_cast<size_t>(precision);
    size_t n = 0;
    while (n < limit && text[n] != 0) ++n;
    return n;
}

enum class Size { Default, Short, Long64 };

}  // namespace

template <typename Unit>
size_t formatInteger64(qestring<Unit>& out, size_t pos, uint64_t value, unsigned base, int32_t width,
                       int32_t precision, unsigned flags) {
    if (base < 2 || base > 36) base = 10;
    if (flags & kFormatLeft) flags &= ~unsigned(kFormatZeroPad);
    int64_t room = width;
    char sign = 0;
    if (flags & kFormatSigned) {
        if (static_cast<int64_t>(value) < 0) {
            sign = '-';
            value = 0 - value;
        } else if (flags & kFormatPlus) {
            sign = '+';
        } else if (flags & kFormatSpace) {
            sign = ' ';
        }
    }
    if (sign != 0) --room;
    bool alternate = (flags & kFormatAlternate) && (base == 8 || base == 16);
    if (alternate) room -= base == 16 ? 2 : 1;

    const char* table = (flags & kFormatUpper) ? kUpperDigits : kLowerDigits;
    char digits[64];
    int count = 0;
    do {
        digits[count++] = table[value % base];
        value /= base;
    } while (value != 0);
    int64_t shown = precision > count ? precision : count;

    if (!(flags & (kFormatZeroPad | kFormatLeft))) pos = putRepeated(out, pos, ' ', room - shown);
    if (sign != 0) out.putUnit(pos++, Unit(sign));
    if (alternate) {
        out.putUnit(pos++, Unit('0'));
        if (base == 16) out.putUnit(pos++, Unit('x'));
    }
    if (flags & kFormatZeroPad) pos = putRepeated(out, pos, '0', room - shown);
    pos = putRepeated(out, pos, '0', int64_t(precision) - count);
    while (count > 0) out.putUnit(pos++, Unit(digits[--count]));
    if (flags & kFormatLeft) pos = putRepeated(out, pos, ' ', room - shown);
    return pos;
}

template <typename Unit>
size_t formatInteger32(qestring<Unit>& out, size_t pos, uint32_t value, unsigned base, int32_t width,
                       int32_t precision, unsigned flags) {
    uint64_t wide = (flags & kFormatSigned) ? static_cast<uint64_t>(int64_t(static_cast<int32_t>(value))) : value;
    return formatInteger64(out, pos, wide, base, width, precision, flags);
}

template <typename Unit>
size_t formatIPv4Address(qestring<Unit>& out, size_t pos, const uint8_t* bytes, int32_t width, unsigned flags) {
    char text[16];
    size_t n = 0;
    for (int i = 0; i < 4; ++i) {
        if (i != 0) text[n++] = '.';
        unsigned byte = bytes[i];
        if (byte >= 100) text[n++] = static_cast<char>('0' + byte / 100);
        if (byte >= 10) text[n++] = static_cast<char>('0' + byte / 10 % 10);
        text[n++] = static_cast<char>('0' + byte % 10);
    }
    return formatPaddedText(out, pos, text, n, width, flags);
}

template <typename Unit>
size_t formatMacAddress(qestring<Unit>& out, size_t pos, const uint8_t* bytes, int32_t width, unsigned flags) {
    const char* table = (flags & kFormatUpper) ? kUpperDigits : kLowerDigits;
    char text[17];
    size_t n = 0;
    for (int i = 0; i < 6; ++i) {
        if (i != 0) text[n++] = ':';
        text[n++] = table[bytes[i] >> 4];
        text[n++] = table[bytes[i] & 15];
    }
    return formatPaddedText(out, pos, text, n, width, flags);
}

template <typename Unit>
size_t formatUnits(qestring<Unit>& out, size_t start, const Unit* fmt, FormatArgs& args) {
    size_t pos = start;
    while (*fmt != 0) {
        if (*fmt != Unit('%')) {
            out.putUnit(pos++, *fmt++);
            continue;
        }
        ++fmt;
        unsigned flags = 0;
        for (;; ++fmt) {
            if (*fmt == Unit(' ')) flags |= kFormatSpace;
            else if (*fmt == Unit('#')) flags |= kFormatAlternate;
            else if (*fmt == Unit('+')) flags |= kFormatPlus;
            else if (*fmt == Unit('-')) flags |= kFormatLeft;
            else if (*fmt == Unit('0')) flags |= kFormatZeroPad;
            else break;
        }
        int32_t width = kFormatNotGiven;
        if (*fmt == Unit('*')) {
            ++fmt;
            int32_t given = args.nextInt32();
            if (given < 0) flags |= kFormatLeft;
            width = magnitudeOf(given);
        } else if (*fmt >= Unit('0') && *fmt <= Unit('9')) {
            width = readNumber(fmt);
        }
        int32_t precision = kFormatNotGiven;
        if (*fmt == Unit('.')) {
            ++fmt;
            precision = 0;
            if (*fmt == Unit('*')) {
                ++fmt;
                int32_t given = args.nextInt32();
                precision = given < 0 ? 0 : given;
            } else {
                precision = readNumber(fmt);
            }
        }
        Size size = Size::Default;
        bool longQualifier = false;  // 'l' or "ll": picks the MAC form of %a
        if (*fmt == Unit('h')) {
            size = Size::Short;
            ++fmt;
        } else if (*fmt == Unit('l') || *fmt == Unit('L')) {
            longQualifier = *fmt == Unit('l');
            ++fmt;
            if (*fmt == Unit('l')) {
                size = Size::Long64;
                ++fmt;
            }
        }

        Unit letter = *fmt;
        if (letter == 0) {
            out.putUnit(pos++, Unit('%'));
            break;
        }
        ++fmt;
        switch (letter) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            bool isSigned = letter == Unit('d') || letter == Unit('i');
            unsigned base = letter == Unit('o') ? 8 : (letter == Unit('x') || letter == Unit('X')) ? 16 : 10;
            if (isSigned) flags |= kFormatSigned;
            if (letter == Unit('X')) flags |= kFormatUpper;
            if (size == Size::Long64) {
                pos = formatInteger64(out, pos, static_cast<uint64_t>(args.nextInt64()), base, width, precision, flags);
                break;
            }
            auto value = static_cast<uint32_t>(args.nextInt32());
            if (size == Size::Short)
                value = isSigned ? static_cast<uint32_t>(int32_t(static_cast<int16_t>(value))) : value & 0xFFFF;
            pos = formatInteger32(out, pos, value, base, width, precision, flags);
            break;
        }
        case 'p':
            if (width == kFormatNotGiven) {
                flags |= kFormatZeroPad;
                width = 16;
            }
            pos = formatInteger64(out, pos, args.nextPointer(), 16, width, precision, flags);
            break;
        case 'c': {
            auto unit = static_cast<Unit>(args.nextInt32());
            pos = formatPaddedText(out, pos, &unit, 1, width, flags);
            break;
        }
        case 's': {
            auto text = static_cast<const Unit*>(args.nextText());
            if (text == nullptr) text = nullText<Unit>();
            pos = formatPaddedText(out, pos, text, measureUpTo(text, precision), width, flags);
            break;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
            pos = formatDoubleField(out, pos, args.nextDouble(), width, precision, static_cast<char>(letter), flags);
            break;
        case 'a':
        case 'A': {
            if (letter == Unit('A')) flags |= kFormatUpper;
            const uint8_t* bytes = args.nextAddress();
            if (bytes == nullptr) {
                pos = formatPaddedText(out, pos, nullText<Unit>(), 6, width, flags);
            } else if (longQualifier) {
                pos = formatMacAddress(out, pos, bytes, width, flags);
            } else {
                pos = formatIPv4Address(out, pos, bytes, width, flags);
            }
            break;
        }
        case 'n': {
            int64_t* counter = args.nextCounter();
            if (counter != nullptr) *counter = static_cast<int64_t>(pos - start);
            break;
        }
        case '%':
            out.putUnit(pos++, Unit('%'));
            break;
        default:
            out.putUnit(pos++, Unit('%'));
            out.putUnit(pos++, letter);
            break;
        }
    }
    out.setLength(pos);
    return pos - start;
}

size_t formatNarrow(qestringA& out, size_t start, const char* fmt, va_list args) {
    VaListArgs values(args);
    return formatUnits(out, start, fmt, values);
}

size_t formatWide(qestringW& out, size_t start, const char16_t* fmt, va_list args) {
    VaListArgs values(args);
    return start + formatUnits(out, start, fmt, values);
}

#define KORVO_FORMAT_INSTANCES(Unit)                                                                            \
    template size_t formatUnits<Unit>(qestring<Unit>&, size_t, const Unit*, FormatArgs&);                     \
    template size_t formatInteger64<Unit>(qestring<Unit>&, size_t, uint64_t, unsigned, int32_t, int32_t,      \
                                          unsigned);                                                          \
    template size_t formatInteger32<Unit>(qestring<Unit>&, size_t, uint32_t, unsigned, int32_t, int32_t,      \
                                          unsigned);                                                          \
    template size_t formatIPv4Address<Unit>(qestring<Unit>&, size_t, const uint8_t*, int32_t, unsigned);      \
    template size_t formatMacAddress<Unit>(qestring<Unit>&, size_t, const uint8_t*, int32_t, unsigned);
KORVO_FORMAT_INSTANCES(char)
KORVO_FORMAT_INSTANCES(char16_t)
#undef KORVO_FORMAT_INSTANCES

}  // namespace qestl
