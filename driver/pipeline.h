// The compile pipeline and the compile modes the entry dispatches to. Each
// mode reports its own errors and returns whether its output was produced.
#pragma once

#include "foundation/stream.h"
#include "options/compile_options.h"

// Parses, checks and compiles the sources of the options into `out`: 1 when
// the requested output was generated, 0 after errors (`out` may then hold a
// part of it, for the caller to discard).
int compileToStream(qestl::qeistream& out, CompileOptions& options);

// Parses the sources and writes their static library into `out`: 1 when
// written, 0 after parse errors (already reported).
int buildStaticLibrary(CompileOptions& options, qestl::qeistream& out);

bool compileAndWrite(CompileOptions& options);
bool buildStaticLibraryAndWrite(CompileOptions& options);
bool compileExecutable(CompileOptions& options);
