// Path operations for source files, include directories, libraries and
// outputs. '/' is the separator written; '/' and '\' are both read as one.
#pragma once

#include "foundation/qestring.h"

namespace qestl {

// Joins part to path with exactly one separator between them (none is added
// when either side already has one; the part's leading separators are dropped
// when the path ends in one). An empty path takes the part as it is.
void appendPath(qestringA& path, const char* part);
void appendPath(qestringW& path, const char16_t* part);

// In place: runs of separators become one '/', "." components go, ".."
// removes the component written before it (and is kept when there is none).
void normaliseWidePath(qestringW& path);
// The same over a UTF-8 path (debug records, resources, native sources).
void normalisePath(qestringA& path);

// The text from the last '.' on equals extension (".k"), ASCII letters
// compared without case; a path without a '.' has no extension.
bool hasExtension(const qestringW& path, const char16_t* extension);

// target written relative to the directory base; letters compared without
// regard to case. A target directly below base starts with "./".
qestringA relativePath(const qestringA& target, const qestringA& base);

}  // namespace qestl
