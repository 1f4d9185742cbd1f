// Encoding of one code point as UTF-8, shared by the string conversions and
// the readers of escaped text.
#pragma once

#include <cstddef>

namespace qestl {

// Writes the 1 to 4 bytes of the code point (at most U+10FFFF) to out, when
// out is not null, and returns their count.
size_t putUtf8(char32_t codePoint, char* out);

}  // namespace qestl
