// Files read and written whole: the outputs of every compile mode go through
// here, so a failed write never leaves a half file where a good one was.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/vector.h"

// Reads a whole file into `bytes`; false when it cannot be opened or read.
bool readWholeFile(const qestl::qestringW& path, qestl::ByteVector& bytes);

// Writes the bytes as the whole new content of `path`, or leaves the path as
// it was: the bytes go to a temporary file beside it, every write is checked,
// and only a complete file is renamed into place. With `executable` the file
// arrives with mode 0755.
bool writeFileWhole(const qestl::qestringW& path, const uint8_t* bytes, uint64_t size, bool executable = false);
