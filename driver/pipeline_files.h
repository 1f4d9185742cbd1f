// The files around the pipeline: the JSON side files the compile modes read,
// and the guard that keeps every output off every input.
#pragma once

#include "options/compile_options.h"

// The .version and .kdef documents of the options: true when the file was read
// and parsed (the document replaces the one held), false after a warning line.
bool readVersionFile(CompileOptions& options);
bool readExportDefinitionFile(CompileOptions& options);

// Prints the refusal of an output: "can't open outputFile PATH".
void reportUnwritableOutput(const qestl::qestringW& path);

// True when every output of the run (the main output, the string list; the
// -gs folder's files are checked by their writer) is a regular file or
// absent, and none is a file the compilation reads:
// one named on the command line, or any opened for reading so far (includes,
// required files, libraries, resources). Otherwise the refusal of the first
// such output is printed and nothing may be written. A `listing` writes to
// the console when its output is "stdout".
bool outputsSpareInputs(const CompileOptions& options, bool listing = false);
