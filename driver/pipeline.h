// The compile modes the entry dispatches to. Each reports its own errors and
// returns whether its output was produced.
#pragma once

#include "driver/compile_options.h"

bool compileAndWrite(CompileOptions& options);
bool buildStaticLibraryAndWrite(CompileOptions& options);
bool compileExecutable(CompileOptions& options);
