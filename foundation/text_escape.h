// Resolution of C escape sequences in literal text.
#pragma once

#include <cstddef>

#include "foundation/qestring.h"

namespace qestl {

// Resolves the escapes of text in place and returns how many it resolved:
// \" \' \? \\ themselves, \0 the byte 0, \a \b \f \n \r \t \v their control
// bytes, \x with two hexadecimal digits the byte of their value (without two
// digits it stands for 'x'), any other escaped byte itself. A backslash at
// the very end is dropped. The length becomes the new byte count.
size_t unescape(qestringA& text);

}  // namespace qestl
