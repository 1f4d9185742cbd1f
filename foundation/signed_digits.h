// The one reader of signed decimal texts with the leading-zero octal rule,
// for every unit width the compiler's texts come in.
#pragma once

#include <cstdint>

namespace qestl {

// A signed number as the compiler's texts write it (literals, warning codes,
// version parts, language numbers): an optional '+' or '-', then decimal
// digits, read in base 8 after a leading '0'. The magnitude wraps modulo
// 2^64, so a reader that keeps fewer bits gets what wrapping at its own
// width would have given.
struct SignedDigits {
    uint64_t magnitude = 0;
    bool negative = false;
    // The signed value, wrapped to the width of T.
    template <typename T>
    T as() const {
        return static_cast<T>(negative ? 0 - magnitude : magnitude);
    }
};

struct DigitRules {
    // After a leading '0', stop at '8' and '9' (else they count their face
    // value in base 8).
    bool octalDigitsOnly = false;
    // Read no further digit once the magnitude has reached this (0: no bound).
    uint64_t stopAt = 0;
};

// Reads the number from [at, end) up to the first byte that is not a digit.
template <typename Unit>
SignedDigits readSignedDigits(const Unit* at, const Unit* end, DigitRules rules = {}) {
    SignedDigits read;
    if (at != end && (*at == '+' || *at == '-')) read.negative = *at++ == '-';
    const uint64_t base = (at != end && *at == '0') ? 8 : 10;
    const Unit last = rules.octalDigitsOnly ? static_cast<Unit>('0' + base - 1) : static_cast<Unit>('9');
    for (; at != end && *at >= '0' && *at <= last; ++at) {
        if (rules.stopAt != 0 && read.magnitude >= rules.stopAt) break;
        read.magnitude = read.magnitude * base + static_cast<uint64_t>(*at - '0');
    }
    return read;
}

// The same over a text that ends at its first 0 unit.
template <typename Unit>
SignedDigits readSignedDigits(const Unit* text, DigitRules rules = {}) {
    const Unit* end = text;
    while (*end != 0) ++end;
    return readSignedDigits(text, end, rules);
}

}  // namespace qestl
