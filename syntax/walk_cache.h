// Replayable walks of rule bodies: the engine's fast path.
//
// A walk of a rule body that starts on a window of fresh token records (each
// record one token, with no visited or active marks, and at the start record
// none for the rules the walk may attempt there) does the same thing every
// time the token kinds it reads are the same: the same reductions in the same
// order, the same visited marks left behind, the same end. The cache keeps
// such walks under the token kinds they read (a trie per rule), so the next
// walk over the same kinds replays the reductions through the engine's own
// recording, and the listener builds the same nodes from the same records,
// without the attempts that found them.
//
// The start record may also be one that earlier attempts reduced in place
// (a name already taken as an identifier, a statement re-attempted after its
// match): its whole match set then stands for its kind in the key, as long as
// it still covers one token position and its marks are as a first attempt
// leaves them. A record read after the start may be one too, or one that
// earlier attempts marked: its match set, its marks and whether it holds a
// hint, everything a walk may go by there, then stand for it in the key.
//
// Hints left by failing items are not replayed: the engine uses the cache
// only in a speculative parse, and a parse that fails is run again from the
// start without it, so every hint and message comes from the exact engine.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "syntax/grammar.h"
#include "syntax/token_record.h"

class WalkCache {
public:
    struct Walk;

    // Ties the cache to a grammar and the rules whose walks it keeps; any
    // other pair than the last empties it first. The walks of the `late`
    // rules among them are written down only once kUnwrittenFirst were
    // walked without: they pay where they come by the hundred (the types
    // inside parentheses, calls and declarations of long methods), while a
    // small program would only pay for writing its few down.
    void bind(const Grammar& grammar, const RuleSet& rules, const RuleSet& late);
    bool keeps(uint32_t rule) const { return rules_.test(rule); }
    // The rules an attempt of `rule` may attempt at the record it begins at.
    const RuleSet& reach(uint32_t rule) const { return reach_[rule & 0xFF]; }

    // Writing a walk down costs more than walking it: a rule whose walks
    // seldom come again (after 256 written, fewer than one replay in four)
    // is no longer written down, and a late rule's (see bind) not before it
    // was walked kUnwrittenFirst times.
    bool worthWriting(uint32_t rule) {
        if (__builtin_expect(unwritten_[rule & 0xFF] < kUnwrittenFirst, 0)) {
            ++unwritten_[rule & 0xFF];
            return false;
        }
        const uint32_t written = written_[rule & 0xFF];
        if (written < 256) return true;
        uint32_t replays = 0;
        for (size_t c = 0; c < kLengthClasses; ++c) replays += replays_[(rule & 0xFF) * kLengthClasses + c];
        return replays >= written / 4;
    }
    void noteWritten(uint32_t rule) { ++written_[rule & 0xFF]; }
    // A replay of `walk`: counted for the rule and length class it was kept
    // under, which the rule's replays are the sum of.
    void noteReplayed(const Walk& walk) { ++replays_[walk.replayCounter]; }
    // Keeping a walk written down costs more than the walk when it never
    // comes again, as most walks over many tokens of varied code never do:
    // per rule and length of key (in doubling classes), a walk is kept while
    // those of its class kept so far were replayed as many times as they
    // are (one replay in four kept the statements of 17 to 32 tokens of
    // varied code, which then cost more to keep than they saved), and
    // otherwise one in kKeptWhenIdle, so that shapes that begin to repeat
    // are noticed. Walks of a token or two are always kept.
    static constexpr size_t kLengthClasses = 6;
    bool worthKeeping(uint32_t rule, size_t length) {
        if (length <= kAlwaysKept) return true;
        LengthClass& counts = lengths_[rule & 0xFF][lengthClass(length)];
        if (refuses(rule, lengthClass(length)) && ++counts.skipped % kKeptWhenIdle != 0) return false;
        ++counts.kept;
        return true;
    }

    // The longest key a walk of `rule` begun now may have and still be kept
    // (SIZE_MAX: any): past it, worthKeeping would refuse the walk, and
    // writing it down any further is lost. One walk in kKeptWhenIdle is
    // written down whole all the same, as worthKeeping keeps one.
    size_t writingLimit(uint32_t rule) {
        size_t limit = SIZE_MAX;
        for (size_t c = kLengthClasses - 1; c > 0 && refuses(rule, c); --c) limit = size_t{1} << c;
        if (limit != SIZE_MAX && ++probed_[rule & 0xFF] % kKeptWhenIdle == 0) return SIZE_MAX;
        return limit;
    }
    // The shortest length of the last length class.
    static constexpr size_t kLongestClassFrom = (size_t{1} << (kLengthClasses - 1)) + 1;

    struct Reduction {
        uint32_t offset;  // window position of the match, from the walk's start
        uint32_t count;
        uint32_t rule;
    };
    struct Mark {
        uint32_t offset;  // window position after the walk, from its start
        RuleSet visited;
    };
    // The reductions of a walk in runs: a run is either one reduction, or
    // reductions over one record at one position, one after the other, of
    // rules whose match over one record nobody may be told of (an operand
    // handed down the operator ladder). Those rules are kept together, so that a
    // replay adds them in one step. Made at a walk's first replay: most walks
    // of varied code are never replayed.
    struct Run {
        uint32_t offset;
        uint32_t firstReduction;  // from the walk's first
        uint32_t reductionCount;
        bool quiet;     // a run of reductions of `rules`
        RuleSet rules;  // of a quiet run
    };
    struct Walk {
        int32_t covered;  // end - start, or -1 when the walk failed
        uint16_t changed;
        uint16_t replayCounter;  // of its rule and the length class of its key (see worthKeeping)
        uint32_t firstReduction;
        uint32_t reductionCount;
        uint32_t firstMark;
        uint32_t markCount;
        uint32_t firstRun;
        uint32_t runCount;  // kNoRuns until the first replay
    };
    static constexpr uint32_t kNoRuns = ~0u;

    static constexpr uint32_t kNoNode = 0;

    // The trie node of `rule` with no kind read yet.
    uint32_t root(uint32_t rule) {
        const uint32_t node = roots_[rule & 0xFF];
        return node != kNoNode ? node : newRoot(rule);
    }
    // What the record a walk starts at stands for in the key: its kind when
    // it holds one token kind only, else a number for its whole match set
    // (kNoStart when too many different sets were seen).
    uint32_t startKind(const RuleSet& matches) {
        const int single = matches.single();
        if (single >= 0 && static_cast<uint32_t>(single) < Grammar::kFirstRuleId) return static_cast<uint32_t>(single);
        // A reduced start comes again at the next walk more often than not
        // (a name a declaration tried, then the expression and the operand).
        if (lastStartKind_ != kNoStart && matches == lastStart_) return lastStartKind_;
        lastStart_ = matches;
        lastStartKind_ = numberStart(matches);
        return lastStartKind_;
    }
    static constexpr uint32_t kNoStart = ~0u;
    // What a record a walk reads after its start stands for in the key when
    // earlier attempts marked or reduced it (a parenthesised part the cast
    // before it tried, the operator behind it that a primary expression was
    // tried at): a number for its match set, its marks and whether it holds
    // a hint, all of which the walk may go by; kNoStart when too many
    // different ones were seen or it covers no one position.
    uint32_t markedKind(const TokenRecord& record);
    // The node after reading `kind` at `node`; kNoNode when no walk read it.
    uint32_t next(uint32_t node, uint32_t kind) const {
        const uint64_t key = edgeKey(node, kind);
        for (size_t slot = slotOf(key);; slot = (slot + 1) & mask_) {
            if (edgeKeys_[slot] == key) return edgeNodes_[slot];
            if (edgeKeys_[slot] == 0) return kNoNode;
        }
    }
    // The walk that read exactly the kinds leading to `node`; null if none.
    Walk* walkAt(uint32_t node) {
        const int32_t index = nodes_[node];
        return index < 0 ? nullptr : &walks_[static_cast<size_t>(index)];
    }
    const Reduction* reductions(const Walk& walk) const { return reductions_.data() + walk.firstReduction; }
    const Mark* marks(const Walk& walk) const { return marks_.data() + walk.firstMark; }
    // The runs of a walk, made of the rules in `untold` when first asked.
    const Run* runs(Walk& walk, const RuleSet& untold) {
        if (walk.runCount == kNoRuns) makeRuns(walk, untold);
        return runs_.data() + walk.firstRun;
    }

    // Keeps a walk of `rule` that read `kinds`; false when the cache is full.
    bool insert(uint32_t rule, const std::vector<uint32_t>& kinds, int32_t covered, uint32_t changed,
                const Reduction* reductions, size_t reductionCount, const Mark* marks, size_t markCount);

    size_t walkCount() const { return walks_.size(); }
    void clear();

private:
    // Edges in one open-addressed table: a key is never 0 (nodes start at 1).
    static uint64_t edgeKey(uint32_t node, uint32_t kind) { return (uint64_t{node} << 16) | (kind & 0xFFFF); }
    size_t slotOf(uint64_t key) const { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & mask_; }
    void addEdge(uint64_t key, uint32_t node);
    uint32_t newRoot(uint32_t rule);
    uint32_t numberStart(const RuleSet& matches);
    RuleSet lastStart_;
    uint32_t lastStartKind_ = kNoStart;
    void makeRuns(Walk& walk, const RuleSet& untold);

    static constexpr size_t kAlwaysKept = 2;
    // Walks a class keeps before its replays are weighed: with 64, varied
    // code kept (and wrote down) four times the walks it ever replayed.
    static constexpr uint32_t kTrialWalks = 16;
    static constexpr uint32_t kKeptWhenIdle = 32;
    // Up to 2 kinds, up to 4, 8, 16, 32, and more.
    static size_t lengthClass(size_t length) {
        const size_t width = length > 2 ? static_cast<size_t>(std::bit_width(length - 1)) - 1 : 0;
        return width < kLengthClasses ? width : kLengthClasses - 1;
    }
    struct LengthClass {
        uint32_t kept = 0;
        uint32_t skipped = 0;
    };
    // Walks of the class were kept on trial and seldom replayed.
    bool refuses(uint32_t rule, size_t lengthClass) const {
        const LengthClass& counts = lengths_[rule & 0xFF][lengthClass];
        return counts.kept >= kTrialWalks && replays_[(rule & 0xFF) * kLengthClasses + lengthClass] < counts.kept;
    }
    uint32_t probed_[256] = {};

    // A bound on what one engine keeps (reductions, marks, trie nodes, each):
    // past it, walks are no longer added. The walks a large program keeps
    // past half a million reductions bought no parse time, and their pages
    // (15 MB at a million) go back with the cache, so that the compile
    // after it touched as many afresh (varied code, 100k lines: 3,100 of
    // 34,000 page faults fewer, peak unchanged; 1M lines: user time no
    // higher).
    static constexpr size_t kReductionLimit = size_t{1} << 19;

    std::vector<int32_t> nodes_ = {-1};  // node -> walk index; node 0 is the "none" node
    std::vector<uint64_t> edgeKeys_ = std::vector<uint64_t>(1024, 0);
    std::vector<uint32_t> edgeNodes_ = std::vector<uint32_t>(1024, 0);
    size_t mask_ = 1023;
    size_t edgeCount_ = 0;
    uint32_t roots_[256] = {};
    uint64_t generation_ = 0;  // of the grammar bound
    RuleSet rules_;
    RuleSet late_;
    RuleSet reach_[256];
    uint32_t written_[256] = {};
    static constexpr uint32_t kUnwrittenFirst = 32;
    uint32_t unwritten_[256] = {};
    LengthClass lengths_[256][kLengthClasses];
    // Replays per rule and length class, rule by rule: a replay counts in one
    // step on the number its walk keeps.
    uint32_t replays_[256 * kLengthClasses] = {};
    // Match sets of start records, numbered from 256 in the order first seen,
    // and an open-addressed index of them (slot: number + 1, 0 when empty).
    static constexpr size_t kStartSetLimit = 4096;
    std::vector<RuleSet> startSets_;
    std::vector<uint32_t> startSlots_;
    // The states of marked records read ahead, numbered after the start
    // sets in the order first seen, and their index as above.
    struct MarkedState {
        RuleSet matches;
        RuleSet active;
        RuleSet visited;
        bool hinted;
        bool operator==(const MarkedState&) const = default;
        uint64_t hash() const;
    };
    static constexpr size_t kMarkedLimit = 8192;
    static constexpr uint32_t kFirstMarked = 256 + kStartSetLimit;
    static_assert(kFirstMarked + kMarkedLimit <= 0xFFFF, "kinds of the key fit an edge's 16 bits");
    std::vector<MarkedState> markedStates_;
    std::vector<uint32_t> markedSlots_;
    std::vector<Walk> walks_;
    std::vector<Reduction> reductions_;
    std::vector<Mark> marks_;
    std::vector<Run> runs_;
};
