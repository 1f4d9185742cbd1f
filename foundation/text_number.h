// Readers of number literals as the source text writes them.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/qestring.h"
#include "foundation/signed_digits.h"

namespace qestl {

// The value of one hexadecimal digit (either case); -1 for any other byte.
int hexDigitValue(char c);

// The digit test behind literal classification, over [start, end).
// hexOnly: after an optional "0x" or a leading 'x', every byte is a
// hexadecimal digit. Otherwise: after an optional '+' or '-' or a leading
// "0x", every byte is a decimal digit or '.', and the last byte may also be
// 'H' or 'h'. An empty remainder counts as a number.
bool isNumberSpan(const char* start, const char* end, bool hexOnly);

// Value of hexadecimal text after an optional "0x" and then an optional 'x';
// stops at the first other byte, wraps on overflow; 0 for no digits.
uint32_t parseHexInt(const qestringA& text);

// The signed digits of the text (readSignedDigits) as a 64-bit value.
int64_t parseInt64(const qestringA& text);

// An integer literal's text as the scanner and the constant folder write
// it: "0x" and hexadecimal digits (a repeated 'x' skipped), or signed digits
// (readSignedDigits); an 'l' or 'L' at the end makes it a long. Eight
// hexadecimal digits or fewer without the suffix are an int (0x80000000 and
// up negative), more keep their 64-bit value and make a long; a leading '-'
// negates them. A decimal value too wide for an int is a long.
struct IntegerLiteral {
    int64_t value = 0;
    bool isLong = false;
};
IntegerLiteral readIntegerLiteral(std::string_view text);

// The decimal form of isNumberSpan over the whole string.
bool isNumericText(const qestringA& text);

}  // namespace qestl
