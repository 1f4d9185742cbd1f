// Constant folding of literal operands while parsing. Integer arithmetic is
// 64-bit two's complement and wraps; nothing here has undefined behaviour.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/qestring.h"

namespace fold {

// Appended: the result is the left operand's text followed by the result's
// text (a string sum), so a long sum never copies what it has joined so far.
enum class Outcome { Folded, Appended, NotFolded, DivideByZero };

// One literal operand: its node kind (9, 10, 12 or 13; anything else is not
// a literal) and its text.
struct Literal {
    uint32_t kind;
    std::string_view text;
};

// The result of a fold: the new kind and text of the left operand.
struct Result {
    Outcome outcome = Outcome::NotFolded;
    uint32_t kind = 0;
    qestl::qestringA text;
};

// The value of an integer literal's text: hexadecimal with "0x", else
// decimal with a leading 0 meaning octal; a leading '-' negates.
int64_t integerValue(std::string_view text);
// True when the text is longer than one byte and ends in 'l' or 'L'.
bool isLong(std::string_view text);
// The text of a floating result: "%.15f" when it reads back to the same
// value in at most 17 significant digits, else the shortest form that does.
qestl::qestringA floatText(double value);

Result additive(std::string_view op, const Literal& left, const Literal& right);
Result multiplicative(std::string_view op, const Literal& left, const Literal& right);
Result bitwise(std::string_view op, const Literal& left, const Literal& right);

}  // namespace fold
