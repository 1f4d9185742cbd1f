// The command-line parser: fills the options record and chooses the mode.
#pragma once

#include <cstdint>

#include "options/compile_options.h"

// Walks argv from index 1 (argv[0] is the program) and returns the mode bits,
// 0 after any error, whose message has then been printed. `nextIndex`
// receives the index of the first argument not read. A single argument
// "@path" reads the arguments from that file instead.
uint32_t parseCommandLine(CompileOptions& options, int argc, const char16_t* const* argv, int* nextIndex);

// Response files may name a response file again, this many levels deep.
inline constexpr int kMaxResponseFileDepth = 8;
