// The libraries named on the command line, loaded into a compilation before
// its sources are parsed: -link libraries first, then -lib static libraries
// and packages.
#pragma once

class CompileContext;
struct CompileOptions;

// Each reports its own failures on standard output and is false when any
// named library could not be found, read or loaded.
bool loadLinkLibraries(CompileContext& context, const CompileOptions& options);
bool loadLibraries(CompileContext& context, const CompileOptions& options);
