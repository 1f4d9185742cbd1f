// The include search list: one process-wide list of directories that the
// driver fills at start-up and from -incpath, and that include handling and
// the readers of side files search in insertion order.
#pragma once

#include "foundation/qestring.h"

// Appends a copy of the directory unless an entry of the same length is
// already listed that differs at most in the case of ASCII letters.
void addSearchPath(const qestl::qestringW& directory);

// The list as it stands; it lives for the whole process and is never cleared.
const qestl::WStringVector& searchPaths();
