// The packrat parsing engine: a memoising recursive-descent recogniser over a
// window of token records. Every match of a rule over several records is
// reduced in place to one record carrying the rule id, so later attempts test
// a bit instead of parsing again, and left-recursive rules grow by re-entering
// themselves after each reduction.
#pragma once

#include <cstdint>
#include <vector>

#include "syntax/grammar.h"
#include "syntax/node_handle.h"
#include "syntax/source_input.h"
#include "syntax/syntax_hint.h"
#include "syntax/token_kind.h"
#include "syntax/token_record.h"
#include "syntax/walk_cache.h"

class qeAbstractNode;

class qeLexSyntax {
public:
    static constexpr int kWindowSize = 510;

    // Told of everything the engine finds; the source processor implements it.
    class OnParseListener {
    public:
        // `out` is an empty handle for the node of the match; the handle
        // given back (null: the record's node stays) goes to the record.
        virtual _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start,
                                                      int count, uint32_t ruleId) = 0;
        virtual void onBadCharacter(SourceInput* input) = 0;
        virtual bool filterToken(SourceInput* input, int32_t length, TokenCode kind, char** docComment) = 0;
        // A record holding no node and no doc comment; the engine writes
        // every other field (TokenRecord::renew).
        virtual TokenRecord* newTokenRecord() = 0;
        virtual void freeTokenRecord(TokenRecord* record) = 0;
        // The `count` records a match covered behind its first, given back
        // at once (none is null).
        virtual void freeTokenRecords(TokenRecord* const* records, int count) {
            for (int i = 0; i < count; ++i) freeTokenRecord(records[i]);
        }
        virtual void onParseFailed(SourceInput* input) = 0;
        virtual void onLookaheadOverflow(SourceInput* input) = 0;
        // A speculative parse failed and the text is parsed again from its
        // start: state kept between tokens (pending comments) starts afresh.
        virtual void onParseRestarted() {}
        // False when onRuleMatched would neither build a node nor observe
        // anything: the engine then does not call it. Asked once per attach.
        virtual bool wantsRuleMatches() const { return true; }
        // Rules whose match over one record that already holds a node leaves
        // that node in place, before any error: the engine does not tell those
        // (most matches are an operand handed down the operator levels).
        // Asked once per attach.
        virtual RuleSet passThroughRules() const { return RuleSet(); }
        // Rules whose match over one record leaves that record's node as it
        // is, whatever it holds (none included), before any error: the engine
        // does not tell those either. Asked once per attach of an input.
        virtual RuleSet keepsRecordRules() const { return RuleSet(); }
        // Per rule id, the node marks (kNodeMarkBits) under which its match
        // over one record that holds a node leaves that node in place, before
        // any error: the engine does not tell those either. A node carries the
        // marks the listener gave it (markNode) when told of the match that
        // left it in its record. Asked once per attach of an input.
        virtual void nodeMarkRules(uint8_t (&marks)[256]) const { (void)marks; }
        // Per rule id, the token kinds and rules that, held by the first
        // record of a match over several records while that record holds a
        // node, make the match's node that node as it is, before any error:
        // the engine does not tell those either (a statement of an
        // expression and its ";"). Asked once per attach of an input.
        virtual void firstRecordRules(RuleSet (&rules)[256]) const { (void)rules; }
        // True when filterToken drops every whitespace token before the end of
        // the text and does nothing else with it: the engine then steps over
        // whitespace without scanning it as a token or asking. Asked once per
        // attach.
        virtual bool dropsWhitespace() const { return false; }
        // True when filterToken keeps every token of some length that is
        // neither whitespace nor a comment, and gives it a doc comment only
        // from comments it was shown since the last token it kept (or since
        // the parse began or restarted): the engine then keeps such a token
        // without asking while no comment came since. Asked once per attach.
        virtual bool keepsTokensPlainly() const { return false; }
        // `seen` is called with the bytes of every name scanned while
        // `*wanted` holds, and the end of the text they lie in: the store of
        // node texts loads the places it will look up the names ahead in.
        // Asked once per attach.
        struct NameWatch {
            const bool* wanted;
            void (*seen)(const char* text, size_t length, const char* end);
        };
        virtual NameWatch nameWatch() const { return {&kNoNamesWanted, nullptr}; }
        static constexpr bool kNoNamesWanted = false;

    protected:
        ~OnParseListener() = default;
    };

    qeLexSyntax();
    ~qeLexSyntax();
    qeLexSyntax(const qeLexSyntax&) = delete;
    qeLexSyntax& operator=(const qeLexSyntax&) = delete;

    // Frees every record and detaches input and listener.
    void reset();
    // Starts a parse of the input's text with the rules of the grammar.
    void attach(SourceInput* input, OnParseListener* listener, const Grammar* grammar);

    TokenRecord* tokenAt(int index) {
        TokenRecord* record = static_cast<unsigned>(index) < static_cast<unsigned>(kWindowSize) && !error_ &&
                                      window_[index]
                                  ? window_[index]
                                  : fillSlot(index);
        if (record->startOffset > touched_) touched_ = record->startOffset;
        return record;
    }
    // The record at index as tokenAt reads it, or null where tokenAt gives
    // the spare record (past the window or the text, after an error).
    const TokenRecord* recordInWindow(int index) {
        const TokenRecord* record = tokenAt(index);
        return record != &spare_ ? record : nullptr;
    }
    TokenRecord* nextToken();
    int32_t scanToken(int32_t offset, TokenCode* kind);
    // Reduces the `count` records from `start` to one record holding rule
    // `ruleId` and tells the listener; 1 when the window changed. Inline: it
    // runs for every match replayed or found, and most matches cover one
    // record, which only takes the rule.
    int recordRuleMatch(int start, int& end, int count, uint32_t ruleId) {
        if (static_cast<unsigned>(start) >= static_cast<unsigned>(kWindowSize)) return 0;
        TokenRecord* record = window_[start];
        if (!record) return 0;
        if (record->span == static_cast<uint32_t>(count) && record->matches.test(ruleId)) return 0;
        if (count > 0) recorded_ = 1;
        if (!recordings_.empty())
            reductionLog_.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(count), ruleId});
        if (tellsMatches_) {
            if (!untold(*record, count, ruleId)) tellMatch(*record, start, count, ruleId);
            // Told, the match would have marked the node for the one-record
            // rules anew; unmarked, those are told again, which is always right.
            else if (count > 1) record->nodeMarks = 0;
        }
        if (count <= 0) return 0;
        if (count > 1) return reduceRecords(*record, start, end, count, ruleId);
        record->active.clear();
        record->visited.clear();
        if (record->span < 1) {
            record->span = 1;
            record->matches.clear();
        }
        record->matches.set(ruleId);
        return 1;
    }

    // Attempts rule `ruleId` at `start` under the engine's rule protocol:
    // guards, memo, recording and the repeated attempt after a change. Returns
    // the window positions covered or -1; ORs into `changed`, never clears it.
    int parseRule(uint32_t ruleId, int start, uint32_t& changed);

    // Runs the entry rule at position 0; true when the whole text was parsed.
    // With the fast path on, the text is first parsed speculatively with the
    // walks of `cachedRules` replayed from the walk cache and no message
    // given; only when that parse fails is it parsed again by the exact
    // engine, which leaves every hint and message.
    bool parseText(uint32_t entryRule);
    // On with a cache to keep the walks in (null: off); `lateRules`: see
    // WalkCache::bind.
    void setFastPath(WalkCache* cache, const RuleSet& cachedRules, const RuleSet& lateRules = RuleSet());
    // True while a speculative parse runs: a listener then reports nothing
    // and makes the parse fail (setErrorFlag) where it would stop it.
    bool speculative() const { return speculative_; }
    const WalkCache* walkCache() const { return cache_; }
    // The success test of a parse whose entry rule answered `result`.
    bool parsedWhole(int result);

    // Items of a rule body: the record at q holds `id` (q moves past it), or
    // rule `id` is attempted there when `callable`.
    bool matchItem(int& q, uint32_t id, bool callable, uint32_t& changed) {
        TokenRecord* record = tokenAt(q);
        if (record->matches.test(id)) {
            q += static_cast<int>(record->span);
            return true;
        }
        if (!callable) return false;
        // An attempt the leading sets refuse ends as the guarded or visited
        // one would: no walk, no change. Answered here, it costs no call;
        // its visited bit is not needed, as the refusal holds until the
        // record changes, which clears that bit anyway.
        if (leadingRefuses(id, *record)) return false;
        return callRule(q, id, changed);
    }
    // While the listener is told of a match: the node it gives back carries
    // `marks` (see nodeMarkRules) for as long as its record keeps it.
    static constexpr uint8_t kNodeMarkBits = 0x3F;
    void markNode(uint8_t marks) { nodeMarks_ = marks & kNodeMarkBits; }
    // A hint point: the first hint left at a record stays.
    void setHint(int position, int32_t code);
    // An item failed at q; `hint` is its hint code or -1.
    void itemFailed(int position, int32_t hint) {
        if (static_cast<unsigned>(position) >= static_cast<unsigned>(kWindowSize)) return;
        TokenRecord* record = window_[position];
        if (record && record->hint != SyntaxHint::None) return;  // the first hint stays
        if (hint >= 0) setHint(position, hint);
        else if (!record) endOfInputHint_ = SyntaxHint::None;
    }

    TokenRecord* slot(int index) const { return index >= 0 && index < kWindowSize ? window_[index] : nullptr; }
    // The records from `start` on, one after another (start within the window).
    TokenRecord* const* slots(int start) const { return &window_[start]; }
    bool errorFlag() const { return error_ != 0; }
    // Makes the current parse fail (a listener found an error of its own).
    void setErrorFlag() { error_ = 1; }
    int32_t endOfInputHint() const { return endOfInputHint_; }
    void setEndOfInputHint(int32_t hint) { endOfInputHint_ = hint; }
    SourceInput* input() const { return input_; }
    OnParseListener* listener() const { return listener_; }
    const Grammar* grammar() const { return grammar_; }
    bool scannedAnything() const { return scanned_ != 0; }
    bool recordedAnything() const { return recorded_ != 0; }

    // How the rule attempts of the parses so far ended: what the speed work
    // on the engine is measured by. Never reset by reset().
    struct AttemptCounts {
        uint64_t attempts = 0;  // calls of parseRule, repeated attempts included
        uint64_t guarded = 0;   // answered by the active or visited guard
        uint64_t leading = 0;   // answered by the leading sets
        uint64_t walks = 0;     // rule bodies walked
        uint64_t failedWalks = 0;  // walks that failed and changed nothing
    };
    const AttemptCounts& attemptCounts() const { return counts_; }

private:
    // The fast path (syntax/fast_walks.cpp).
    struct Recording {
        int start;
        uint32_t rule;
        size_t firstToken;
        size_t firstReduction;
        // The start offset of the furthest record read; touched_ holds the
        // innermost walk's while it runs.
        uint32_t lastTouched;
        uint64_t firstScan;  // scans_ when the walk began
        uint64_t scanLimit;  // given up once it scanned more new tokens
    };
    struct Token {
        uint32_t offset;
        uint32_t kind;
    };
    // Inline: every attempt that passes the guards walks here.
    int walkBody(uint32_t ruleId, int start, uint32_t& changed) {
        if (!speculative_ || !cache_->keeps(ruleId)) return grammar_->matchBody(*this, ruleId, start, changed);
        return cachedWalk(ruleId, start, changed);
    }
    // The body of a rule whose walks the cache keeps, as the speculative
    // parse walks it when no kept walk answers: the climbed rule is one.
    int speculativeBody(uint32_t ruleId, int start, uint32_t& changed) {
        if (climbs_ && ruleId == climbedRule_) return climbExpression(start, changed);
        if (climbs_ && ruleId == climbedPrimary_) {
            int end = directParenthesized(start, changed);
            if (end == kNotDirect) end = directLiteral(start, changed);
            if (end == kNotDirect) end = directMemberCall(start, changed);
            if (end != kNotDirect) return end;
        }
        return grammar_->matchBody(*this, ruleId, start, changed);
    }
    // Expressions by precedence climbing (syntax/operator_climb.cpp).
    static bool grammarClimbs(const Grammar& grammar);
    int climbExpression(int start, uint32_t& changed);
    int expressionAgain(int start, TokenRecord& first);
    bool climbOperand(int level, int at, uint32_t& changed);
    bool climbUnary(int at, uint32_t& changed);
    int operatorLevel(int at);
    void recordOne(int at, uint32_t ruleId, uint32_t& changed);
    int abandonClimb();
    bool climbOutrunsKeeping(int start) const;
    // A primary expression recognised directly (syntax/primary_climb.cpp);
    // kNotDirect when the rules must walk it.
    static constexpr int kNotDirect = -2;
    int directPrimary(int start, uint32_t& changed);
    int directParenthesized(int start, uint32_t& changed);
    int directLiteral(int start, uint32_t& changed);
    int directMemberCall(int start, uint32_t& changed);
    int parenthesizedAgain(int start);
    int unnamedPrimary(int start);
    int callPrimary(int start);
    int literalPrimary(int start, uint32_t& changed);
    int cachedWalk(uint32_t ruleId, int start, uint32_t& changed);
    int recordWalk(uint32_t ruleId, int start, uint32_t startKind, uint32_t& changed);
    int replayWalk(WalkCache::Walk& walk, int start, uint32_t& changed);
    void replayRuns(WalkCache::Walk& walk, int start);
    void keepWalk(const Recording& recording, int end, uint32_t changed);
    void noteScan(uint32_t offset, uint32_t kind);
    uint32_t aheadKind(const TokenRecord& record);
    void dropHopelessRecordings();
    bool startIsClean(uint32_t ruleId, const TokenRecord& record) const;
    bool speculativeParse(uint32_t entryRule);
    void restart();

    bool leadingRefuses(uint32_t id, const TokenRecord& record) {
        if (!grammar_->failsAtOnce(id, record.matches, record.hint)) return false;
        ++counts_.attempts;
        ++counts_.leading;
        return true;
    }
    TokenRecord* fillSlot(int index);
    TokenRecord* readToken();
    // Moves the input past the whitespace at its offset; true when there was any.
    bool skipWhitespace();
    // A match the listener is not told of (see passThroughRules,
    // keepsRecordRules, nodeMarkRules and firstRecordRules).
    bool untold(const TokenRecord& record, int count, uint32_t ruleId) const {
        if (count > 1)
            return keepsFirst_.test(ruleId) && !error_ && record.node && record.matches.intersects(firstKept_[ruleId]);
        const uint8_t quiet = quiet_[ruleId & 0xFF];
        if (count != 1 || quiet == 0 || error_ || ruleId > 0xFF) return false;
        return (quiet & kKeepsRecord) || (record.node && (quiet & (kPassesThrough | record.nodeMarks)));
    }
    void setQuietRules();
    void tellMatch(TokenRecord& record, int start, int count, uint32_t ruleId);
    int reduceRecords(TokenRecord& record, int start, int& end, int count, uint32_t ruleId);
    bool callRule(int& q, uint32_t id, uint32_t& changed);
    // A rule attempted too deep for the stack left: the parse fails there.
    [[gnu::cold, gnu::noinline]] int outOfRuleStack();
    // Below stackFloor_: false when the stack left is too short for a rule,
    // else true with the floor worked out for the stack the parse runs on.
    [[gnu::noinline]] bool roomForRules();
    static constexpr uintptr_t kFloorUnknown = ~uintptr_t{0};
    uintptr_t stackFloor_ = kFloorUnknown;

    TokenRecord* window_[kWindowSize];
    // Every slot from here on is empty: the records scanned and not yet
    // reduced away sit below it, one after another from slot 0.
    int filled_ = 0;
    SourceInput* input_ = nullptr;
    OnParseListener* listener_ = nullptr;
    bool tellsMatches_ = false;
    bool dropsWhitespace_ = false;  // the listener's dropsWhitespace()
    bool keepsPlainly_ = false;     // the listener's keepsTokensPlainly()
    OnParseListener::NameWatch names_{&OnParseListener::kNoNamesWanted, nullptr};  // the listener's nameWatch()
    // A comment may be waiting with the listener for the next token kept.
    bool commentWaiting_ = true;
    RuleSet passThrough_;  // the listener's passThroughRules()
    // Per rule id: kKeepsRecord, kPassesThrough and the node marks under which
    // a match over one record is not told.
    static constexpr uint8_t kKeepsRecord = 0x80;
    static constexpr uint8_t kPassesThrough = 0x40;
    uint8_t quiet_[256] = {};
    uint8_t nodeMarks_ = 0;  // given by the listener while told of a match
    // The same as sets: the rules of keepsRecordRules, those any match over
    // one record may leave untold, and those a match over one record whose
    // node carries marks m leaves untold.
    RuleSet keeps_;
    RuleSet quietable_;
    bool anyQuietable_ = false;
    RuleSet quietUnder_[kNodeMarkBits + 1];
    // The listener's firstRecordRules, and the rules that have any.
    RuleSet firstKept_[256];
    RuleSet keepsFirst_;
    uint8_t error_ = 0;
    TokenRecord spare_;
    uint32_t recorded_ = 1;
    uint32_t scanned_ = 0;
    int32_t endOfInputHint_ = SyntaxHint::None;
    const Grammar* grammar_ = nullptr;
    AttemptCounts counts_;

    bool fastPath_ = false;
    // The speculative parse climbs the operator levels of this rule's
    // expressions when the grammar has the korvo ladder.
    bool climbs_ = false;
    uint32_t climbedRule_ = 0;
    uint32_t climbedPrimary_ = 0;  // the operand rule the climb starts from
    static constexpr size_t kLongestClimbKept = 4;
    bool speculative_ = false;
    RuleSet cachedRules_;
    RuleSet lateRules_;
    WalkCache* cache_ = nullptr;
    std::vector<Recording> recordings_;
    // The furthest record read (its start offset) since the innermost walk
    // written down began, kNotTouching while none is: every read keeps it up
    // without asking whether a walk is written down.
    static constexpr uint32_t kNotTouching = ~uint32_t{0};
    uint32_t touched_ = kNotTouching;
    std::vector<Token> tokens_;  // records in the window or scanned while walks are written down
    std::vector<WalkCache::Reduction> reductionLog_;  // window positions as made
    // Tokens scanned while walks are written down, and the walks given up
    // from the bottom of recordings_ so far: the walk at index i of
    // recordings_ is the (abandoned_ + i)th of those begun.
    uint64_t scans_ = 0;
    size_t abandoned_ = 0;
    std::vector<uint32_t> keyScratch_;
    std::vector<WalkCache::Reduction> reductionScratch_;
    std::vector<WalkCache::Mark> markScratch_;
};
