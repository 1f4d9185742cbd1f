// Helpers of the grammar tests: recognise a text, read the hints of a
// failure, and trace the shape the reductions give a text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "syntax/recognizer.h"
#include "syntax/rule_ids.h"

namespace grammar_test {

inline bool accepts(std::string_view text) {
    GrammarRecognizer recognizer;
    return recognizer.recognize(text.data(), text.size());
}

// The hint codes of a failed parse, rightmost first; empty when it parsed.
inline std::vector<int32_t> hintsOf(std::string_view text) {
    GrammarRecognizer recognizer;
    if (recognizer.recognize(text.data(), text.size())) return {};
    return recognizer.hints();
}

// The hint the parse stopped with furthest to the right; -1 when none.
inline int32_t firstHint(std::string_view text) {
    std::vector<int32_t> hints = hintsOf(text);
    return hints.empty() ? -1 : hints.front();
}

inline bool hasHint(std::string_view text, int32_t code) {
    std::vector<int32_t> hints = hintsOf(text);
    return std::find(hints.begin(), hints.end(), code) != hints.end();
}

struct Match {
    uint32_t rule;
    int start;
    int count;
    std::string text;
};

// Every reported match, and for every record the shape of what it stands
// for: a match over several records becomes "(part part ...)", so the
// nesting shows how operands were grouped. The two ">" of a right shift
// are joined back into ">>".
class Tracer : public GrammarRecognizer::MatchObserver {
public:
    explicit Tracer(std::string_view text) : text_(text) {}

    void onMatch(const qeLexSyntax& engine, int start, int count, uint32_t rule) override {
        const TokenRecord* first = engine.slot(start);
        if (!first) return;
        std::string covered;
        std::vector<std::string> parts;
        for (int i = start; i < start + count; ++i) {
            const TokenRecord* record = engine.slot(i);
            if (!record) return;
            auto known = shapes_.find(record);
            parts.push_back(known != shapes_.end() ? known->second : tokenText(record));
        }
        if (count > 0) {
            const TokenRecord* last = engine.slot(start + count - 1);
            covered = std::string(text_.substr(first->startOffset, last->startOffset + last->length - first->startOffset));
        }
        matches.push_back({rule, start, count, covered});
        if (count == 1 && !shapes_.count(first)) shapes_[first] = parts[0];
        if (count < 2) return;
        std::string shape = "(";
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i > 0 && rule != RuleId::ShiftOperator) shape += ' ';
            shape += parts[i];
        }
        if (rule != RuleId::ShiftOperator) shape += ')';
        else shape.erase(0, 1);
        shapes_[first] = shape;
        if (rule == RuleId::Expression || rule == RuleId::OperatorExpression) lastExpression = shape;
        if (rule == RuleId::TopLevelItems && start == 0) unit = shape;
    }

    void onRecordFreed(const TokenRecord* record) override { shapes_.erase(record); }

    size_t countOf(uint32_t rule) const {
        return static_cast<size_t>(std::count_if(matches.begin(), matches.end(), [&](const Match& m) { return m.rule == rule; }));
    }

    std::vector<Match> matches;
    std::string lastExpression;
    std::string unit;  // the shape of the top-level items once they are one record

private:
    std::string tokenText(const TokenRecord* record) const {
        return std::string(text_.substr(record->startOffset, record->length));
    }

    std::string_view text_;
    std::map<const TokenRecord*, std::string> shapes_;
};

// The shape of a global statement "EXPRESSION;" without its ";".
inline std::string shapeOf(std::string_view expression) {
    std::string text = std::string(expression) + ";";
    GrammarRecognizer recognizer;
    Tracer tracer(text);
    recognizer.setObserver(&tracer);
    if (!recognizer.recognize(text.data(), text.size())) return "<fail>";
    const std::string suffix = " ;)";
    std::string unit = tracer.unit;
    if (unit.size() < 1 + suffix.size() || unit.front() != '(' || unit.compare(unit.size() - suffix.size(), suffix.size(), suffix) != 0)
        return "<" + unit + ">";
    return unit.substr(1, unit.size() - 1 - suffix.size());
}

}  // namespace grammar_test
