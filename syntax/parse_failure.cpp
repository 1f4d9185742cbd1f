#include "syntax/parse_failure.h"

#include "syntax/rule_ids.h"
#include "syntax/syntax_hint.h"

namespace {

// Bits past the last rule id are never set, so any bit from the first up
// tells a rule matched there.
bool holdsAnyRule(const TokenRecord& record) {
    for (uint32_t bit = RuleId::First; bit < 256; ++bit) {
        if (record.matches.test(bit)) return true;
    }
    return false;
}

}  // namespace

std::vector<ParseFailureLine> parseFailureLines(const qeLexSyntax& engine) {
    std::vector<ParseFailureLine> lines;
    for (int i = qeLexSyntax::kWindowSize - 1; i >= 0; --i) {
        const TokenRecord* record = engine.slot(i);
        if (record == nullptr || record->hint == SyntaxHint::None || syntaxHintText(record->hint) == nullptr) continue;
        lines.push_back({record->hint, record->endLine, record->endColumn, record});
    }
    const TokenRecord* furthest = nullptr;
    for (int i = qeLexSyntax::kWindowSize - 1; i >= 0 && furthest == nullptr; --i) {
        const TokenRecord* record = engine.slot(i);
        if (record != nullptr && holdsAnyRule(*record)) furthest = record;
    }
    if (furthest == nullptr) return lines;
    const int32_t endHint = engine.endOfInputHint();
    if (endHint != SyntaxHint::None && syntaxHintText(endHint) != nullptr) {
        lines.push_back({endHint, furthest->endLine, furthest->endColumn, furthest});
    } else if (lines.empty()) {
        lines.push_back({SyntaxHint::None, furthest->endLine, furthest->endColumn, furthest});
    }
    return lines;
}
