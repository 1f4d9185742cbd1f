// Loaders of the library kinds that cannot be read yet.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"

class CompileContext;

// A found -link library and a found .kp package. They load nothing for now
// and let the compilation go on.
bool loadLinkLibraryFile(CompileContext& context, uint32_t libraryNumber, const qestl::qestringW& path);
bool loadPackageFile(CompileContext& context, uint32_t libraryNumber, const qestl::qestringW& path);
