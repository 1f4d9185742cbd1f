#include "diagnostics/diagnostics.h"

#include <cassert>

void appendErrorPosition(qestl::qestringA& text, uint32_t line, uint32_t column) {
    text.appendFormat("(行:%d, 字:%d) [Error]错误:", static_cast<int>(line + 1), static_cast<int>(column + 1));
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
