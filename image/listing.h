// The text listing of an already compiled program image (-d).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/qestring.h"
#include "foundation/stream.h"

// Lists the compiled file `input` to standard output (an output path of
// exactly "stdout", or none) or into the file `output`, written whole.
// Reports its own errors; true when the whole image was listed.
bool listCompiledFile(const qestl::qestringW& input, const qestl::qestringW& output);

// The listing of an image held in memory, plain or compressed, written to
// `out` piece by piece as it is made. True when the whole image was listed;
// false when it is no image or its head is damaged (nothing is written), or
// when its body is damaged (a record, operand, table entry, name or resource
// runs past the end), with `out` given the listing so far.
bool disassemble(const uint8_t* image, uint64_t size, qestl::qeistream& out);
