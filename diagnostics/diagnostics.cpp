#include "diagnostics/diagnostics.h"

void appendErrorPosition(qestl::qestringA& text, uint32_t line, uint32_t column) {
    text.appendFormat("(行:%d, 字:%d) [Error]错误:", static_cast<int>(line + 1), static_cast<int>(column + 1));
}
