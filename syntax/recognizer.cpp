#include "syntax/recognizer.h"

#include "syntax/parse_failure.h"
#include "syntax/rule_ids.h"
#include "syntax/rules.h"

GrammarRecognizer::GrammarRecognizer() = default;

GrammarRecognizer::~GrammarRecognizer() {
    engine_.reset();
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
    engine_.setFastPath(fastPath_ ? walks_.get() : nullptr, korvoCachedWalks(), korvoLateWalks());
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

TokenRecord* GrammarRecognizer::newTokenRecord() { return spareRecords_.take(); }

void GrammarRecognizer::freeTokenRecord(TokenRecord* record) {
    if (record != nullptr && observer_ != nullptr) observer_->onRecordFreed(record);
    spareRecords_.give(record);
}

void GrammarRecognizer::freeTokenRecords(TokenRecord* const* records, int count) {
    if (observer_ != nullptr)
        for (int i = 0; i < count; ++i) observer_->onRecordFreed(records[i]);
    spareRecords_.giveAll(records, count);
}

void GrammarRecognizer::onParseFailed(SourceInput*) {
    for (const ParseFailureLine& failure : parseFailureLines(engine_)) {
        const ProblemKind kind = failure.hint != SyntaxHint::None ? ProblemKind::Hint : ProblemKind::NoExpectedSymbol;
        problems_.push_back({kind, failure.hint, failure.line, failure.column});
    }
}

void GrammarRecognizer::onLookaheadOverflow(SourceInput* input) {
    problems_.push_back({ProblemKind::Overflow, SyntaxHint::None, input->line, input->column});
}
