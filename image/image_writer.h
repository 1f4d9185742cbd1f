// The compiled outputs written into a byte stream: the program image and the
// link library.
#pragma once

#include "foundation/stream.h"

class CompileContext;
struct CompileOptions;

// Each is true when the whole output was written.
bool writeImage(CompileContext& context, qestl::qeistream& out, CompileOptions& options);
bool writeLinkLibrary(CompileContext& context, qestl::qeistream& out, const CompileOptions& options);
