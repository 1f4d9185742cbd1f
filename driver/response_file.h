// A response file: a single command-line argument "@path" names a file whose
// text holds the real arguments.
#pragma once

#include <cstddef>

#include "foundation/qestring.h"

// Splits the text at blanks, tabs and line ends; double quotes group text
// that holds them. Element 0 is left empty for the program name and counted.
qestl::WStringVector splitResponseFile(const char16_t* text, size_t length);

// Reads and splits the file, element 0 set to "korvo". False after printing
// why it could not be read.
bool readResponseFile(const char16_t* path, qestl::WStringVector& arguments);

// Files this large or larger are refused.
inline constexpr uint64_t kResponseFileLimit = 0xA00001;
