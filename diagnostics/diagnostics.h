// The registry of the compiler's diagnostics (diagnostics/diagnostics.def) and
// the one formatter of the position prefix every error line starts with.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"

enum class DiagnosticKind : uint8_t { Error, Warning };

struct Diagnostic {
    DiagnosticKind kind;
    uint16_t warningNumber;  // what -w and the suppression annotations name; 0 for errors
    const char* text;
};

namespace diag {
#define KORVO_DIAGNOSTIC(name, kind, number, text) inline constexpr Diagnostic name{DiagnosticKind::kind, number, text};
#include "diagnostics/diagnostics.def"
#undef KORVO_DIAGNOSTIC
}  // namespace diag

// Appends "(行:L, 字:C) [Error]错误:" for a 0-based line and column (shown
// 1-based), the prefix that follows the file's path on an error line.
void appendErrorPosition(qestl::qestringA& text, uint32_t line, uint32_t column);
