// The JSON side files the compile modes read around the pipeline.
#pragma once

#include "options/compile_options.h"

// The .version and .kdef documents of the options: true when the file was read
// and parsed (the document replaces the one held), false after a warning line.
bool readVersionFile(CompileOptions& options);
bool readExportDefinitionFile(CompileOptions& options);
