// The compiler's error line for a source position: the file's path, then
// "(行:%d, 字:%d) [Error]错误:", an empty line and the message, logged as an
// error.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"

inline constexpr char kGeneralSyntaxError[] = "语法错误,编译中断.";
inline constexpr char kIncludeCycleError[] = "错误:文件引用包含自身,递归将导致语法栈溢出.";

// Line and column are 0-based; a null message is the general syntax error.
void logSourceError(const qestl::qestringA& path, uint32_t line, uint32_t column, const char* message);
