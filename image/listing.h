// The text listing of an already compiled file.
#pragma once

#include "foundation/qestring.h"

// Lists the compiled file `input` to `output` (standard output when empty).
// Reports its own errors; false when nothing was listed.
bool listCompiledFile(const qestl::qestringW& input, const qestl::qestringW& output);
