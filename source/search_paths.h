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

// "在以下路径中查找:" and every listed directory on its own line, then an empty
// line, written to standard output as one text.
void printSearchPaths();

// The first listed directory that holds `name` (joined and normalised), or
// the name unchanged when none does. The name alone is not tested.
qestl::qestringW resolveIncludePath(const qestl::qestringW& name);

// A file that `name` names as written (relative to the current directory),
// else the first listed directory that holds it; false when nothing exists.
bool findIncludedFile(const qestl::qestringW& name, qestl::qestringW& path);

// The same lookup over any list of directories.
bool findInDirectories(const qestl::WStringVector& directories, const qestl::qestringW& name,
                       qestl::qestringW& path);
