// UTF-8 <-> UTF-16 conversions that never lose a byte.
//
// Linux file names and command-line arguments are byte strings that need not
// be valid UTF-8. Each byte of an invalid sequence decodes to a lone low
// surrogate U+DC80..U+DCFF, which encodes back to that byte, so any byte
// string survives a trip through the wide form unchanged.
#include <cstdlib>
#include <cstring>

#include "foundation/qestring.h"
#include "foundation/utf8.h"

namespace qestl {

size_t putUtf8(char32_t codePoint, char* out) {
    unsigned char buffer[4];
    size_t length;
    if (codePoint < 0x80) {
        buffer[0] = static_cast<unsigned char>(codePoint);
        length = 1;
    } else if (codePoint < 0x800) {
        buffer[0] = static_cast<unsigned char>(0xC0 | (codePoint >> 6));
        buffer[1] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        length = 2;
    } else if (codePoint < 0x10000) {
        buffer[0] = static_cast<unsigned char>(0xE0 | (codePoint >> 12));
        buffer[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
        buffer[2] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        length = 3;
    } else {
        buffer[0] = static_cast<unsigned char>(0xF0 | (codePoint >> 18));
        buffer[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 12) & 0x3F));
        buffer[2] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
        buffer[3] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        length = 4;
    }
    if (out) std::memcpy(out, buffer, length);
    return length;
}

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at text (n bytes available) and its code
// point, or 0 when the sequence is invalid (overlong, surrogate, beyond
// U+10FFFF, truncated or with a bad continuation byte).
size_t decodeSequence(const unsigned char* text, size_t n, char32_t* codePoint) {
    unsigned char lead = text[0];
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    size_t length;
    char32_t value;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (n < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (text[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *codePoint = value;
    return length;
}

// Walks the bytes once; writes when out is not null, and returns the units.
size_t decodeUtf8(const char* text, size_t n, char16_t* out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t units = 0;
    for (size_t i = 0; i < n;) {
        char32_t codePoint;
        size_t length = decodeSequence(bytes + i, n - i, &codePoint);
        if (length == 0) {
            if (out) out[units] = static_cast<char16_t>(kEscapeBase + bytes[i]);
            ++units;
            ++i;
            continue;
        }
        i += length;
        if (codePoint >= 0x10000) {
            if (out) {
                codePoint -= 0x10000;
                out[units] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
                out[units + 1] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
            }
            units += 2;
        } else {
            if (out) out[units] = static_cast<char16_t>(codePoint);
            ++units;
        }
    }
    return units;
}

size_t encodeUtf8(const char16_t* units, size_t n, char* out) {
    size_t bytes = 0;
    for (size_t i = 0; i < n; ++i) {
        char16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            char32_t codePoint = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            bytes += putUtf8(codePoint, out ? out + bytes : nullptr);
            ++i;
        } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            if (out) out[bytes] = static_cast<char>(unit - kEscapeBase);
            ++bytes;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            bytes += putUtf8(0xFFFD, out ? out + bytes : nullptr);
        } else {
            bytes += putUtf8(unit, out ? out + bytes : nullptr);
        }
    }
    return bytes;
}

}  // namespace

char16_t* ansiToWide(const char* text, size_t n, size_t* count) {
    size_t units = decodeUtf8(text, n, nullptr);
    *count = units;
    if (units == 0) return nullptr;
    auto* buffer = static_cast<char16_t*>(zeroAllocateOrDie(units, sizeof(char16_t)));
    decodeUtf8(text, n, buffer);
    return buffer;
}

char* wideToAnsi(const char16_t* units, size_t n, size_t* count) {
    size_t bytes = encodeUtf8(units, n, nullptr);
    *count = bytes;
    if (bytes == 0) return nullptr;
    auto* buffer = static_cast<char*>(zeroAllocateOrDie(bytes, 1));
    encodeUtf8(units, n, buffer);
    return buffer;
}

namespace {

// The converted units with one terminator behind them (used = length + 1).
template <typename Unit>
qestring<Unit> adoptConverted(Unit* buffer, size_t count) {
    qestring<Unit> result;
    if (count == 0) return result;  // the empty string: nothing to adopt
    result.release();
    result.appendUnits(buffer, count);
    result.terminate();
    result.setLength(count);  // appendUnits leaves the length alone
    std::free(buffer);
    return result;
}

}  // namespace

qestringW widen(const char* text, size_t n) {
    if (n == npos) n = cStringLength(text);
    size_t count = 0;
    char16_t* buffer = ansiToWide(text, n, &count);
    return adoptConverted(buffer, count);
}

qestringW widen(const qestringA& text) { return widen(text.c_str() ? text.c_str() : "", text.length()); }

bool utf8ToUtf16(const char* bytes, size_t length, qestringW& out) {
    // A byte-order mark is skipped only when text follows it.
    if (length > 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        bytes += 3;
        length -= 3;
    }
    if (length == 0) return true;
    // Each lead byte says how many bytes follow; their 10xxxxxx pattern is
    // not tested. A byte that can only continue a sequence leads nothing:
    // it is skipped, and so is a sequence the text ends inside.
    const auto* text = reinterpret_cast<const unsigned char*>(bytes);
    const auto put = [&out](char32_t unit) {
        const char16_t narrowed = static_cast<char16_t>(unit);
        out.append(&narrowed, 1);
    };
    bool valid = true;
    for (size_t i = 0; i < length;) {
        const unsigned lead = text[i];
        size_t count;
        char32_t code;
        if (lead < 0x80) count = 1, code = lead;
        else if (lead < 0xC0) count = 0, code = 0;
        else if (lead < 0xE0) count = 2, code = lead & 0x1F;
        else if (lead < 0xF0) count = 3, code = lead & 0x0F;
        else count = 4, code = lead & 0x07;
        if (count == 0 || count > length - i) {
            valid = false;
            i = count == 0 ? i + 1 : length;
            continue;
        }
        for (size_t k = 1; k < count; ++k) code = (code << 6) | (text[i + k] & 0x3F);
        i += count;
        if (code < 0x10000) {
            put(code);
        } else {
            put(((code - 0x10000) >> 10) | 0xD800);
            put((code & 0x3FF) | 0xDC00);
        }
    }
    return valid;
}

qestringA narrow(const char16_t* units, size_t n) {
    if (n == npos) n = unitLength(units);
    size_t count = 0;
    char* buffer = wideToAnsi(units, n, &count);
    return adoptConverted(buffer, count);
}

qestringA narrow(const qestringW& text) {
    static const char16_t empty[1] = {0};
    return narrow(text.c_str() ? text.c_str() : empty, text.length());
}

}  // namespace qestl
