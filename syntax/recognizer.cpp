#include "syntax/recognizer.h"

#include <cstdlib>

#include "syntax/rule_ids.h"
#include "syntax/rules.h"

GrammarRecognizer::GrammarRecognizer() = default;

GrammarRecognizer::~GrammarRecognizer() {
    engine_.reset();
    for (TokenRecord* record : spareRecords_) delete record;
}

bool GrammarRecognizer::recognize(const char* text, size_t length) {
    engine_.reset();
    problems_.clear();
    engine_.setEndOfInputHint(SyntaxHint::None);
    input_ = SourceInput{};
    if (!input_.setText(text, length)) {
        problems_.push_back({ProblemKind::Overflow, SyntaxHint::None, 0, 0});
        return false;
    }
    engine_.setFastPath(fastPath_, korvoCachedWalks());
    engine_.attach(&input_, this, &korvoGrammar());
    bool whole = engine_.parseText(RuleId::Entry);
    if (!whole) onParseFailed(&input_);
    engine_.reset();
    return whole;
}

std::vector<int32_t> GrammarRecognizer::hints() const {
    std::vector<int32_t> codes;
    for (const Problem& problem : problems_)
        if (problem.kind == ProblemKind::Hint) codes.push_back(problem.hint);
    return codes;
}

_KNode<qeAbstractNode>* GrammarRecognizer::onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start,
                                                         int count, uint32_t ruleId) {
    if (observer_ && !engine.errorFlag()) observer_->onMatch(engine, start, count, ruleId);
    return out;
}

void GrammarRecognizer::onBadCharacter(SourceInput* input) {
    problems_.push_back({ProblemKind::BadCharacter, SyntaxHint::None, input->line, input->column});
}

bool GrammarRecognizer::filterToken(SourceInput*, int32_t, TokenCode kind, char**) {
    return kind != TokenKind::Whitespace && kind != TokenKind::Comment;
}

TokenRecord* GrammarRecognizer::newTokenRecord() {
    if (spareRecords_.empty()) return new TokenRecord();
    TokenRecord* record = spareRecords_.back();
    spareRecords_.pop_back();
    return record;
}

void GrammarRecognizer::freeTokenRecord(TokenRecord* record) {
    if (!record) return;
    if (observer_) observer_->onRecordFreed(record);
    std::free(record->docComment);
    *record = TokenRecord();
    spareRecords_.push_back(record);
}

// The same choice of lines as the source processor makes: every hint left
// in the window from the right end down, then the end-of-input hint at the
// furthest record a rule matched, else a plain "nothing expected found".
void GrammarRecognizer::onParseFailed(SourceInput*) {
    bool reported = false;
    for (int i = qeLexSyntax::kWindowSize - 1; i >= 0; --i) {
        const TokenRecord* record = engine_.slot(i);
        if (!record || record->hint == SyntaxHint::None || !syntaxHintText(record->hint)) continue;
        problems_.push_back({ProblemKind::Hint, record->hint, record->endLine, record->endColumn});
        reported = true;
    }
    const TokenRecord* furthest = nullptr;
    for (int i = qeLexSyntax::kWindowSize - 1; i >= 0 && !furthest; --i) {
        const TokenRecord* record = engine_.slot(i);
        if (!record) continue;
        for (uint32_t id = RuleId::First; id < 256; ++id) {
            if (record->matches.test(id)) {
                furthest = record;
                break;
            }
        }
    }
    if (!furthest) return;
    int32_t endHint = engine_.endOfInputHint();
    if (endHint != SyntaxHint::None && syntaxHintText(endHint)) {
        problems_.push_back({ProblemKind::Hint, endHint, furthest->endLine, furthest->endColumn});
        reported = true;
    }
    if (!reported) problems_.push_back({ProblemKind::NoExpectedSymbol, SyntaxHint::None, furthest->endLine,
                                        furthest->endColumn});
}

void GrammarRecognizer::onLookaheadOverflow(SourceInput* input) {
    problems_.push_back({ProblemKind::Overflow, SyntaxHint::None, input->line, input->column});
}
