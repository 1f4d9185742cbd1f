#include "diagnostics/diagnostics.h"

#include <cassert>
#include <charconv>

namespace {

void appendNumber(std::string& text, int value) {
    char digits[16];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

}  // namespace

// Written piece by piece: a program of many unused classes has a warning
// for each, and a format engine took most of the time they cost.
void appendPosition(std::string& text, int line, int column, int length) {
    text.append("(行:");
    appendNumber(text, line);
    text.append(", 字:");
    appendNumber(text, column);
    if (length >= 0) {
        text.append(", :");
        appendNumber(text, length);
    }
    text.push_back(')');
}

void appendErrorPosition(qestl::qestringA& text, uint32_t line, uint32_t column) {
    std::string position;
    appendPosition(position, static_cast<int>(line + 1), static_cast<int>(column + 1));
    position.append(" [Error]错误:");
    text.append(std::string_view(position));
}

std::string formatDiagnostic(const Diagnostic& entry, std::initializer_list<DiagnosticArgument> arguments) {
    const std::string_view text(entry.text);
    std::string out;
    out.reserve(text.size());
    const DiagnosticArgument* next = arguments.begin();
    size_t from = 0;
    for (size_t at = text.find("%s"); at != std::string_view::npos; at = text.find("%s", from)) {
        out.append(text, from, at - from);
        assert(next != arguments.end() && "an entry takes as many arguments as it has %s");
        if (next != arguments.end()) out.append((next++)->view());
        from = at + 2;
    }
    out.append(text, from, std::string_view::npos);
    assert(next == arguments.end() && "an entry takes as many arguments as it has %s");
    return out;
}
