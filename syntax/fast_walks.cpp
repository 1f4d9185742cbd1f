// The engine's fast path: a speculative parse that replays cached walks
// (syntax/walk_cache.h), and the restart by the exact engine when it fails.
#include <algorithm>

#include "syntax/grammar.h"
#include "syntax/lex_syntax.h"
#include "syntax/rule_ids.h"

namespace {

// The token kind of a record as the scanner made it (one token, never
// reduced, never attempted); -1 for any other record.
// Read for every record a replay looks ahead at: token kinds sit in the
// two low words of the match set, so only those are searched for the bit.
static_assert(Grammar::kFirstRuleId <= 128, "token kinds fit the two low words of a rule set");
int freshKind(const TokenRecord& record) {
    // One test for every mark and every rule beyond the two low words.
    const uint64_t marked = record.visited.word(0) | record.visited.word(1) | record.visited.word(2) |
                            record.visited.word(3) | record.active.word(0) | record.active.word(1) |
                            record.active.word(2) | record.active.word(3) | record.matches.word(2) |
                            record.matches.word(3);
    if (record.span != 1 || marked != 0) return -1;
    const uint64_t low = record.matches.word(0), high = record.matches.word(1);
    if (low != 0) return high == 0 && (low & (low - 1)) == 0 ? __builtin_ctzll(low) : -1;
    if (high == 0 || (high & (high - 1)) != 0) return -1;
    const int kind = 64 + __builtin_ctzll(high);
    return kind < static_cast<int>(Grammar::kFirstRuleId) ? kind : -1;
}

}  // namespace

// What a record read after a walk's start stands for in its key: its kind
// when fresh, else its whole state as the cache numbers it.
inline uint32_t qeLexSyntax::aheadKind(const TokenRecord& record) {
    const int kind = freshKind(record);
    if (__builtin_expect(kind >= 0, 1)) return static_cast<uint32_t>(kind);
    return &record == &spare_ ? WalkCache::kNoStart : cache_->markedKind(record);
}

void qeLexSyntax::setFastPath(WalkCache* cache, const RuleSet& cachedRules, const RuleSet& lateRules) {
    fastPath_ = cache != nullptr;
    cachedRules_ = cachedRules;
    lateRules_ = lateRules;
    cache_ = cache;
}

bool qeLexSyntax::speculativeParse(uint32_t entryRule) {
    cache_->bind(*grammar_, cachedRules_, lateRules_);
    climbs_ = grammarClimbs(*grammar_) && cachedRules_.test(RuleId::Expression);
    climbedRule_ = RuleId::Expression;
    climbedPrimary_ = RuleId::PrimaryExpression;
    speculative_ = true;
    uint32_t changed = 0;
    const bool whole = parsedWhole(parseRule(entryRule, 0, changed));
    speculative_ = false;
    return whole;
}

// Back to the state attach() left (the caller rewinds the input): the
// records go back to the listener, and every mark and error of the first
// parse with them.
void qeLexSyntax::restart() {
    for (TokenRecord*& record : window_) {
        if (listener_) listener_->freeTokenRecord(record);
        record = nullptr;
    }
    filled_ = 0;
    error_ = 0;
    scanned_ = 0;
    recorded_ = 1;
    commentWaiting_ = true;
    recordings_.clear();
    touched_ = kNotTouching;
    tokens_.clear();
    reductionLog_.clear();
}

// At its start record a walk may attempt only the rules of its reach: their
// marks must be as a first attempt leaves them (the rule itself active and
// visited, nothing else); marks of other rules cannot change the walk. Its
// match set is part of the key (WalkCache::startKind).
bool qeLexSyntax::startIsClean(uint32_t ruleId, const TokenRecord& record) const {
    if (record.span != 1) return false;
    const RuleSet& reach = cache_->reach(ruleId);
    return record.active.sharesOnly(reach, ruleId) && record.visited.sharesOnly(reach, ruleId);
}

int qeLexSyntax::cachedWalk(uint32_t ruleId, int start, uint32_t& changed) {
    TokenRecord* first = window_[start];
    if (climbs_) {
        if (ruleId == RuleId::PrimaryExpression) {
            int end = directPrimary(start, changed);
            if (end == kNotDirect) end = unnamedPrimary(start);
            if (end != kNotDirect) return end;
        } else if (ruleId == RuleId::Expression && first != nullptr && !error_ && first->span == 1 &&
                   first->matches.test(RuleId::OperatorExpression)) {
            // The memo answers the first alternative, as climbExpression
            // says, and the walk reads nothing else: the protocol's repeated
            // attempt after the operands were climbed, and later rules' tries
            // at the record. Replayed, it would cost following its key first
            // (varied code: one replay in six).
            return start + 1;
        }
    }
    if (first == nullptr || error_ || !startIsClean(ruleId, *first)) return speculativeBody(ruleId, start, changed);
    // Follow the kinds ahead as far as some kept walk read them. Every
    // record read here, the walk would read as well.
    const uint32_t startKind = cache_->startKind(first->matches);
    if (startKind == WalkCache::kNoStart) return speculativeBody(ruleId, start, changed);
    uint32_t node = cache_->next(cache_->root(ruleId), startKind);
    for (int i = start + 1; node != WalkCache::kNoNode; ++i) {
        if (WalkCache::Walk* walk = cache_->walkAt(node)) {
            cache_->noteReplayed(*walk);
            return replayWalk(*walk, start, changed);
        }
        if (i >= kWindowSize) return speculativeBody(ruleId, start, changed);
        const uint32_t kind = aheadKind(*tokenAt(i));
        if (error_ || kind == WalkCache::kNoStart) return speculativeBody(ruleId, start, changed);
        node = cache_->next(node, kind);
    }
    if ((climbs_ && ruleId == climbedRule_ && climbOutrunsKeeping(start)) || !cache_->worthWriting(ruleId))
        return speculativeBody(ruleId, start, changed);
    cache_->noteWritten(ruleId);
    return recordWalk(ruleId, start, startKind, changed);
}

int qeLexSyntax::replayWalk(WalkCache::Walk& walk, int start, uint32_t& changed) {
    // While a walk is written down, or when no match may go untold (no
    // listener builds nodes: the grammar probe), every reduction is replayed
    // one by one, and the runs are not needed.
    if (!recordings_.empty() || !anyQuietable_) {
        const WalkCache::Reduction* reductions = cache_->reductions(walk);
        for (uint32_t i = 0; i < walk.reductionCount; ++i) {
            const WalkCache::Reduction& reduction = reductions[i];
            const int from = start + static_cast<int>(reduction.offset);
            int end = from + static_cast<int>(reduction.count);
            recordRuleMatch(from, end, static_cast<int>(reduction.count), reduction.rule);
        }
    } else {
        replayRuns(walk, start);
    }
    const WalkCache::Mark* marks = cache_->marks(walk);
    for (uint32_t i = 0; i < walk.markCount; ++i) {
        const int at = start + static_cast<int>(marks[i].offset);
        if (at < kWindowSize && window_[at]) window_[at]->visited.merge(marks[i].visited);
    }
    changed |= walk.changed;
    return walk.covered < 0 ? -1 : start + walk.covered;
}

// With no walk written down, the matches over one record that nobody is told
// of (an operand handed down the operator ladder) only add their rules to it,
// and clear its marks when one is new: a run of them is replayed in one step.
// Untold, they leave the record's node and its node marks as they are; the
// first matches of a run may need telling (a name over a record that holds no
// node yet), and are replayed one by one until the rest of the run may go
// untold.
void qeLexSyntax::replayRuns(WalkCache::Walk& walk, int start) {
    const WalkCache::Reduction* reductions = cache_->reductions(walk);
    const WalkCache::Run* runs = cache_->runs(walk, quietable_);
    for (uint32_t r = 0; r < walk.runCount; ++r) {
        const WalkCache::Run& run = runs[r];
        const int at = start + static_cast<int>(run.offset);
        uint32_t i = run.firstReduction;
        const uint32_t last = i + run.reductionCount;
        if (run.quiet) {
            for (; i < last && at < kWindowSize && window_[at] && window_[at]->span == 1; ++i) {
                TokenRecord& record = *window_[at];
                if (!tellsMatches_ ||
                    (!error_ &&
                     (record.node ? quietUnder_[record.nodeMarks & kNodeMarkBits] : keeps_).covers(run.rules))) {
                    if (!record.matches.covers(run.rules)) {
                        record.matches.merge(run.rules);
                        record.active.clear();
                        record.visited.clear();
                        recorded_ = 1;
                    }
                    i = last;
                    break;
                }
                int end = at + 1;
                recordRuleMatch(at, end, 1, reductions[i].rule);
            }
        }
        for (; i < last; ++i) {
            const WalkCache::Reduction& reduction = reductions[i];
            const int from = start + static_cast<int>(reduction.offset);
            int end = from + static_cast<int>(reduction.count);
            recordRuleMatch(from, end, static_cast<int>(reduction.count), reduction.rule);
        }
    }
}

// A walk not kept yet: walked by the grammar while the tokens it may read
// and the reductions it makes are written down, then kept if it read only
// fresh records and made no error.
int qeLexSyntax::recordWalk(uint32_t ruleId, int start, uint32_t startKind, uint32_t& changed) {
    const size_t firstToken = tokens_.size();
    for (int i = start; i < kWindowSize && window_[i]; ++i) {
        const TokenRecord& record = *window_[i];
        const uint32_t kind = i == start ? startKind : aheadKind(record);
        if (kind == WalkCache::kNoStart) {
            tokens_.resize(firstToken);
            return speculativeBody(ruleId, start, changed);
        }
        tokens_.push_back({record.startOffset, kind});
    }
    const size_t index = abandoned_ + recordings_.size();
    const uint64_t scanLimit = std::min<uint64_t>(cache_->writingLimit(ruleId), kWindowSize);
    if (!recordings_.empty()) recordings_.back().lastTouched = touched_;
    touched_ = window_[start]->startOffset;
    recordings_.push_back({start, ruleId, firstToken, reductionLog_.size(), touched_, scans_, scanLimit});
    uint32_t local = 0;
    const int end = speculativeBody(ruleId, start, local);
    changed |= local;
    if (abandoned_ > index) return end;  // given up meanwhile, and everything it wrote down with it
    Recording recording = recordings_.back();
    recording.lastTouched = touched_;
    recordings_.pop_back();
    touched_ = recordings_.empty() ? kNotTouching : std::max(touched_, recordings_.back().lastTouched);
    // A walk that scanned past its limit would not be kept (see writingLimit).
    if (!error_ && scans_ - recording.firstScan <= recording.scanLimit) keepWalk(recording, end, local);
    if (recordings_.empty()) {
        tokens_.clear();
        reductionLog_.clear();
    }
    return end;
}

void qeLexSyntax::noteScan(uint32_t offset, uint32_t kind) {
    tokens_.push_back({offset, kind});
    ++scans_;
    if (scans_ - recordings_.front().firstScan > recordings_.front().scanLimit) dropHopelessRecordings();
}

// A walk that has read more new tokens than the window holds can never be
// replayed: a replay follows its key through the window. Such walks (the
// outermost ones, as they began first) are no longer written down, and what
// only they needed goes at once, so a long flat list or operator chain keeps
// no log of its whole length.
void qeLexSyntax::dropHopelessRecordings() {
    size_t dropped = 0;
    while (dropped < recordings_.size() && scans_ - recordings_[dropped].firstScan > recordings_[dropped].scanLimit)
        ++dropped;
    abandoned_ += dropped;
    if (dropped == recordings_.size()) {
        recordings_.clear();
        touched_ = kNotTouching;
        tokens_.clear();
        reductionLog_.clear();
        return;
    }
    const size_t firstToken = recordings_[dropped].firstToken;
    const size_t firstReduction = recordings_[dropped].firstReduction;
    recordings_.erase(recordings_.begin(), recordings_.begin() + static_cast<std::ptrdiff_t>(dropped));
    tokens_.erase(tokens_.begin(), tokens_.begin() + static_cast<std::ptrdiff_t>(firstToken));
    reductionLog_.erase(reductionLog_.begin(), reductionLog_.begin() + static_cast<std::ptrdiff_t>(firstReduction));
    for (Recording& recording : recordings_) {
        recording.firstToken -= firstToken;
        recording.firstReduction -= firstReduction;
    }
}

void qeLexSyntax::keepWalk(const Recording& recording, int end, uint32_t changed) {
    // The tokens from the start to the furthest one read, in text order: the
    // records of an inner walk that were in the window already appear twice.
    // Counted before they are copied: most long walks are not kept.
    // A climbed expression of many tokens seldom comes again, and its walk
    // costs more to keep than the climb costs to repeat: past four tokens
    // (a name, an operator and an operand behind) on varied code.
    const size_t longest = climbs_ && recording.rule == climbedRule_ ? kLongestClimbKept : ~size_t{0};
    // Past the longest length class, a walk's class no longer depends on
    // its length: asked there, the cache refuses most long statements of
    // varied code without their tokens being counted to the end.
    const size_t classed = WalkCache::kLongestClassFrom;
    const uint32_t firstOffset = tokens_[recording.firstToken].offset;
    uint32_t lastOffset = firstOffset;
    size_t length = 0;
    for (size_t i = recording.firstToken; i < tokens_.size(); ++i) {
        const Token& token = tokens_[i];
        if (token.offset > recording.lastTouched) break;
        if (i > recording.firstToken && token.offset <= lastOffset) continue;
        if (++length > longest) return;
        if (length == classed && !cache_->worthKeeping(recording.rule, length)) return;
        lastOffset = token.offset;
    }
    if (length < classed && !cache_->worthKeeping(recording.rule, length)) return;
    keyScratch_.clear();
    for (size_t i = recording.firstToken, last = 0; i < tokens_.size(); ++i) {
        const Token& token = tokens_[i];
        if (token.offset > lastOffset) break;
        if (i > recording.firstToken && token.offset <= last) continue;
        keyScratch_.push_back(token.kind);
        last = token.offset;
    }
    reductionScratch_.clear();
    for (size_t i = recording.firstReduction; i < reductionLog_.size(); ++i) {
        WalkCache::Reduction reduction = reductionLog_[i];
        if (reduction.offset < static_cast<uint32_t>(recording.start)) return;
        reduction.offset -= static_cast<uint32_t>(recording.start);
        reductionScratch_.push_back(reduction);
    }
    markScratch_.clear();
    for (int i = recording.start; i < kWindowSize && window_[i] && window_[i]->startOffset <= lastOffset; ++i) {
        RuleSet visited = window_[i]->visited;
        if (i == recording.start) visited.keepOnly(cache_->reach(recording.rule));
        if (!visited.none()) markScratch_.push_back({static_cast<uint32_t>(i - recording.start), visited});
    }
    cache_->insert(recording.rule, keyScratch_, end < 0 ? -1 : end - recording.start, changed, reductionScratch_.data(),
                   reductionScratch_.size(), markScratch_.data(), markScratch_.size());
}
