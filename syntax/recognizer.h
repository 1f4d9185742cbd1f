// Recognises a whole korvo text with the grammar and no syntax tree: the
// listener keeps the tokens the parse listener would keep, observes the rule
// matches and gathers the hints of a failed parse in the order the source
// processor reports them. Used by probes, tests, benchmarks and fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "syntax/lex_syntax.h"
#include "syntax/token_record_pool.h"
#include "syntax/walk_cache.h"

class GrammarRecognizer : public qeLexSyntax::OnParseListener {
public:
    enum class ProblemKind { BadCharacter, Overflow, Hint, NoExpectedSymbol };

    // One line of what went wrong, 0-based position; `hint` for Hint only.
    struct Problem {
        ProblemKind kind;
        int32_t hint;
        uint32_t line;
        uint32_t column;
    };

    // Told of every new rule match before the engine reduces it.
    class MatchObserver {
    public:
        virtual void onMatch(const qeLexSyntax& engine, int start, int count, uint32_t ruleId) = 0;
        virtual void onRecordFreed(const TokenRecord* record) = 0;

    protected:
        ~MatchObserver() = default;
    };

    GrammarRecognizer();
    ~GrammarRecognizer();
    GrammarRecognizer(const GrammarRecognizer&) = delete;
    GrammarRecognizer& operator=(const GrammarRecognizer&) = delete;

    void setObserver(MatchObserver* observer) { observer_ = observer; }
    // On by default: a text is first recognised speculatively with cached
    // walks, and again by the exact engine only when that fails. An observer
    // then sees the matches of both runs; off, only the exact engine's.
    void setFastPath(bool on) { fastPath_ = on; }

    // True when the whole text is one compilation unit; otherwise problems()
    // tells why. Each call starts afresh.
    bool recognize(const char* text, size_t length);

    const std::vector<Problem>& problems() const { return problems_; }
    // How the rule attempts of every text recognised so far ended.
    const qeLexSyntax::AttemptCounts& attemptCounts() const { return engine_.attemptCounts(); }
    // The hint codes of problems(), in order (the first is where the parse
    // stopped furthest to the right).
    std::vector<int32_t> hints() const;

    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start, int count,
                                          uint32_t ruleId) override;
    void onBadCharacter(SourceInput* input) override;
    bool filterToken(SourceInput* input, int32_t length, TokenCode kind, char** docComment) override;
    bool dropsWhitespace() const override { return true; }
    TokenRecord* newTokenRecord() override;
    void freeTokenRecord(TokenRecord* record) override;
    void freeTokenRecords(TokenRecord* const* records, int count) override;
    void onParseFailed(SourceInput* input) override;
    void onLookaheadOverflow(SourceInput* input) override;
    bool wantsRuleMatches() const override { return observer_ != nullptr; }

private:
    qeLexSyntax engine_;
    SourceInput input_;
    MatchObserver* observer_ = nullptr;
    bool fastPath_ = true;
    // The walks of every text recognised so far, for the next to replay.
    std::unique_ptr<WalkCache> walks_ = std::make_unique<WalkCache>();
    std::vector<Problem> problems_;
    TokenRecordPool spareRecords_;  // freed records kept for reuse
};
