// The compiler's entry: start-up, the command line, and one mode.
#pragma once

#include <cstdint>

#include "options/compile_options.h"

// Runs one compiler invocation over the wide argument vector (argv[0] is the
// program) and returns the process exit status: 0 when the chosen mode
// completed or no arguments asked for the usage text, 1 otherwise.
int runCompiler(int argc, const char16_t* const* argv);

// Adds the compiler's own directory, then the current directory, to the
// include search list.
void addDefaultSearchPaths();

// Puts every -incpath entry on the include search list, found as written or
// joined onto one of the -incpath entries; false (after a message) when one
// exists nowhere.
bool checkIncludePaths(const CompileOptions& options);

void printBanner();
