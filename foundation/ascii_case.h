// Letter case of ASCII text: file extensions, option names, path entries and
// member names are told apart without regard to it, while every other unit
// (UTF-8 bytes, UTF-16 units above 0x7F) compares exactly.
#pragma once

#include <cstddef>

namespace qestl {

template <typename Unit>
constexpr Unit lowerAscii(Unit unit) {
    return unit >= Unit('A') && unit <= Unit('Z') ? static_cast<Unit>(unit + ('a' - 'A')) : unit;
}

// The first `n` units of a and b are equal but for the case of ASCII letters;
// a terminator met in both ends the comparison early (so n = -1 compares
// zero-terminated texts whole).
template <typename Unit>
bool equalIgnoringAsciiCase(const Unit* a, const Unit* b, size_t n = static_cast<size_t>(-1)) {
    for (size_t i = 0; i < n; ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
        if (a[i] == Unit(0)) return true;
    }
    return true;
}

// Two counted texts of the same length that are equal but for the case of
// ASCII letters (embedded terminators compare like any unit).
template <typename Unit>
bool sameIgnoringAsciiCase(const Unit* a, size_t aLength, const Unit* b, size_t bLength) {
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace qestl
