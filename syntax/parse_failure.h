// What a failed parse reports, and in which order: every hint left in the
// engine's window from the right end down, then the end-of-input hint at the
// furthest record some rule matched (where the parse got stuck), else, when
// no line was given at all, "nothing expected found" there. The source
// processor prints these lines; the recognizer collects them.
#pragma once

#include <cstdint>
#include <vector>

#include "syntax/lex_syntax.h"

struct ParseFailureLine {
    int32_t hint;  // SyntaxHint::None: no expected symbol was found
    uint32_t line;
    uint32_t column;  // 0-based
    // The record whose end the line names (a listener may trace it further,
    // as the server pages do to the page the end was copied from).
    const TokenRecord* record;
};

// The lines of the engine's failed parse, in report order; none when no
// record holds a rule match and no hint was left.
std::vector<ParseFailureLine> parseFailureLines(const qeLexSyntax& engine);
