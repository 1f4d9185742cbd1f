// The usage text, printed when no mode was chosen or an option was wrong.
#pragma once

#include <cstddef>

// The lines of the usage text, in print order, each with its own line ends.
extern const char* const kUsageLines[];
extern const size_t kUsageLineCount;

void printUsage();
