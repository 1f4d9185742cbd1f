// The compiler's error line for a source position: the file's path, then
// "(行:%d, 字:%d) [Error]错误:", an empty line and the message, logged as an
// error.
#pragma once

#include <cstdint>

#include "diagnostics/diagnostics.h"
#include "foundation/qestring.h"

// Line and column are 0-based; a null message is the general syntax error.
void logSourceError(const qestl::qestringA& path, uint32_t line, uint32_t column, const char* message);
