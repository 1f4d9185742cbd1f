// The registry of the compiler's diagnostics (diagnostics/diagnostics.def) and
// the one formatter of the position prefix every error line starts with.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "foundation/qestring.h"

// A tip advises and counts as nothing; a note is a line printed outside the
// error and warning framing (a side file the run could not use); a part is
// a piece of the listings that follow a message.
enum class DiagnosticKind : uint8_t { Error, Warning, Tip, Note, Part };

struct Diagnostic {
    DiagnosticKind kind;
    uint16_t warningNumber;  // what -w and the suppression annotations name; 0 but for warnings
    const char* text;
};

namespace diag {
#define KORVO_DIAGNOSTIC(name, kind, number, text) inline constexpr Diagnostic name{DiagnosticKind::kind, number, text};
#include "diagnostics/diagnostics.def"
#undef KORVO_DIAGNOSTIC
}  // namespace diag

// One argument of an entry: a name, a listing or a count, taken by the
// entry's "%s" in order. Holds a view of the caller's text, which outlives
// the report.
class DiagnosticArgument {
public:
    DiagnosticArgument(std::string_view text) : text_(text) {}
    DiagnosticArgument(const char* text) : text_(text != nullptr ? text : "") {}
    DiagnosticArgument(const std::string& text) : text_(text) {}
    DiagnosticArgument(const qestl::qestringA& text) : text_(text.view()) {}
    template <std::integral T>
    DiagnosticArgument(T number) : number_(std::to_string(number)), isNumber_(true) {
        static_assert(!std::same_as<T, bool> && !std::same_as<T, char>, "a count, not a flag or a character");
    }

    std::string_view view() const { return isNumber_ ? std::string_view(number_) : text_; }

private:
    std::string_view text_;
    std::string number_;
    bool isNumber_ = false;
};

// The text of an entry with each "%s" replaced by the next argument; the
// arguments' own bytes are never read as placeholders.
std::string formatDiagnostic(const Diagnostic& entry, std::initializer_list<DiagnosticArgument> arguments);

// Appends an entry's text, formatted (the parts of a listing).
template <typename... Arguments>
void appendDiagnostic(qestl::qestringA& text, const Diagnostic& entry, const Arguments&... arguments) {
    text.append(formatDiagnostic(entry, {DiagnosticArgument(arguments)...}));
}

// Appends the position that follows the file's path on every message line:
// "(行:L, 字:C)", or "(行:L, 字:C, :N)" for a span of N bytes (a negative
// length: none). L and C are as shown: 1-based, 0 for no source at all.
void appendPosition(std::string& text, int line, int column, int length = -1);
// Appends "(行:L, 字:C) [Error]错误:" for a 0-based line and column, the
// prefix that follows the file's path on an error line.
void appendErrorPosition(qestl::qestringA& text, uint32_t line, uint32_t column);
