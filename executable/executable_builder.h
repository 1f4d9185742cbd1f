// Outputs built around the compiled program: native executables and the
// native C/C++ sources of its bindings.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"

class CompileContext;
struct CompileOptions;

// Writes every generated native source into the directory; reports each
// file itself. False when any could not be written.
bool writeNativeSources(CompileContext& context, const qestl::qestringA& directory);

// Places the image into the runtime stub for the target and writes the
// executable; reports its own errors. False when nothing was written.
bool buildExecutable(const qestl::qestringA& compilerPath, const uint8_t* image, uint32_t imageLength,
                     const qestl::qestringW& outputPath, CompileOptions& options, bool knownTarget);
