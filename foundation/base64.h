// Base64 decoding of text embedded in the compiler.
#pragma once

#include "foundation/qestring.h"

namespace qestl {

// Decodes standard-alphabet Base64. CR and LF between groups of four are
// skipped; a character outside the alphabet counts as 0; '=' in the third or
// fourth place ends the group early. A final group shorter than four
// characters is read as if padded with '='. Never reads past the text.
qestringA decodeBase64(const qestringA& text);

}  // namespace qestl
