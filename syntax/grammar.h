// The grammar the engine runs: rules written as data in the notation of the
// grammar tables, or as hand-written bodies.
//
// Production notation: items in sequence separated by blanks, alternatives by
// "|" (tried in order, first match wins), "( )" groups, "?" after an item or
// group makes it optional (given up whole when a later item of it fails).
// An item is a fixed token text in double quotes ("class", "(", "to"), a
// varying token kind (`TokenKind::Identifier`), a rule name or an
// abbreviation name, each optionally in backticks. A rule's reference to
// itself is a memo test only: it is satisfied when the record at that
// position already holds the rule, and never attempts the rule again.
//
// Hint notation: "none", or a comma-separated list of `code at ITEM` (or
// `code at each ITEM`); the code is left, through the engine's set-hint, at
// the position of every occurrence of ITEM in the production that fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "syntax/token_record.h"

class qeLexSyntax;

// A new number for each grammar built or loaded (see Grammar::generation).
uint64_t nextGrammarGeneration();

struct GrammarRuleRow {
    uint32_t id;
    const char* name;
    const char* production;
    const char* hints;
};

// A named group of items with no id of its own, expanded where it is used.
struct GrammarAbbreviation {
    const char* name;
    const char* production;
};

enum class GrammarOpType : uint8_t { Item, Sequence, Choice, Optional };

// Run form of a production: its ops in one flat array, children as index
// ranges of the grammar's kids, and each item's test decided once.
struct GrammarCode {
    GrammarOpType type;
    bool callable;   // an item naming another rule: attempted when the memo misses
    int32_t hint;    // -1 when none
    uint32_t value;  // item: token kind or rule id
    uint32_t first;  // sequence, choice, optional: first child in the kids
    uint32_t count;
};

// Per op, what its first items may test where it begins, for the groups
// (sequences, choices, optionals) whose attempt the leading sets may answer
// as they answer a rule's: most alternatives of a choice cannot start at the
// record in front of them.
struct GrammarGroup {
    RuleSet ids;
    bool hinted = false;
    bool skippable = false;
};

// The run form of a built grammar as plain arrays. The build writes the
// korvo grammar's into the compiler (korvo_grammar_table.inc) as constant
// data, so a start-up neither translates the notation again nor copies the
// ops: a loaded grammar reads them where they lie.
struct GrammarTable {
    struct Rule {
        uint32_t id;
        const char* name;
        int32_t root;
        uint64_t leading[4];
        uint8_t flags;  // 1 nullable, 2 hinted, 4 skippable
    };
    const GrammarCode* code;
    size_t codeCount;
    const uint32_t* kids;
    size_t kidCount;
    const Rule* rules;
    size_t ruleCount;
    // The leading sets of each op's group, as Grammar works them out from the
    // rest (the build writes them, so no start does): one per op, or none.
    const GrammarGroup* groups = nullptr;
    size_t groupCount = 0;
};

class Grammar {
public:
    // A hand-written rule body: matches the rule's items from `start` with the
    // engine's item operations and returns the end position, or -1. The engine
    // runs the guards, the recording and the repeated attempts around it.
    using RuleBody = int (*)(qeLexSyntax& engine, uint32_t ruleId, int start, uint32_t& changed);

    static constexpr uint32_t kFirstRuleId = 95;
    static constexpr uint32_t kIdLimit = 256;

    Grammar() = default;
    // A grammar's views may point into its own vectors: a copy would read
    // the original's.
    Grammar(const Grammar&) = delete;
    Grammar& operator=(const Grammar&) = delete;

    // Adds rules and abbreviations; every name they use must be known by the
    // time `build` runs. False with `error()` set on a fault in the tables.
    // A rule's texts (name, production, hints) are kept as pointers: they
    // must outlive the grammar, as the rule tables' literals do.
    bool addRules(const GrammarRuleRow* rules, size_t count);
    bool addAbbreviations(const GrammarAbbreviation* abbreviations, size_t count);
    bool addNativeRule(uint32_t id, const char* name, RuleBody body);
    // Translates every production; the grammar is usable once this succeeds.
    bool build();
    // The built grammar as C++ source defining `const GrammarTable <name>`;
    // false when the grammar is not built or a rule is hand-written.
    bool writeTable(std::string& out, const char* name) const;
    // Takes a grammar from its table instead of from rules and build();
    // false with error() set when the table does not hold together. The
    // grammar reads the table's ops and groups in place: the table must
    // outlive it.
    bool load(const GrammarTable& table);

    bool hasRule(uint32_t id) const { return id < kIdLimit && rules_[id].defined; }
    // Different for every grammar built or loaded in the process, so that
    // what is kept about a grammar is never taken for another's.
    uint64_t generation() const { return generation_; }
    uint32_t ruleId(const char* name) const;  // 0 when unknown
    const char* ruleName(uint32_t id) const;
    const std::string& error() const { return error_; }

    // Matches the body of rule `id` at `start` (called by the engine).
    // Inline, from a table of what each body is: the engine walks a body for
    // every attempt that passes its guards.
    int matchBody(qeLexSyntax& engine, uint32_t id, int start, uint32_t& changed) const {
        const Body& body = bodies_[id < kIdLimit ? id : 0];
        if (body.native) return body.native(engine, id, start, changed);
        if (body.root < 0) return -1;
        int q = start;
        return matchCode(engine, static_cast<uint32_t>(body.root), q, changed) ? q : -1;
    }

    // True when an attempt of rule `id` at a record holding `matches` and
    // hint `hint` can only fail and leave nothing behind that anybody sees:
    // the record holds no token kind or rule that could lead a match of the
    // rule, no rule reached there can match nothing, and any hint a failing
    // first item would leave is masked by the record's own.
    bool failsAtOnce(uint32_t id, const RuleSet& matches, int32_t hint) const {
        if (id >= kIdLimit || !shortcuts_) return false;
        const Leading& leading = leading_[id];
        return leading.skippable && !matches.intersects(leading.ids) && (hint >= 0 || !leading.hinted);
    }

    // True when the protocol's repeated attempt of rule `id` at `record`, the
    // one record the rule was just recorded over, can only take that record
    // again and leave nothing but its own visited mark: the groups before the
    // body's first lone item are refused there by the leading sets (no hint
    // left, as the record's own masks any), and the record holds the item.
    // A statement body at the statement it holds, an expression at its
    // operator expression, a name at its token.
    bool takesAgainAtOnce(uint32_t id, const TokenRecord& record) const {
        if (id >= kIdLimit || !shortcuts_) return false;
        const Again& again = again_[id];
        return again.usable && record.matches.test(again.item) && !record.matches.intersects(again.refused) &&
               (record.hint >= 0 || !again.hinted);
    }

    // What an attempt of a rule leaves at a record where it can only fail
    // (see firstRecordFailure): the visited marks of the rules its walk
    // attempts there, itself aside, and the first hint an item leaves.
    struct FirstFailure {
        RuleSet visited;
        int32_t hint = -1;
        bool known = false;   // worked out (on first need)
        bool usable = false;  // the tables allowed working it out
    };
    // Non-null when an attempt of rule `id` at `record` can only fail: the
    // record holds no token kind or rule that could lead a match of it, and
    // no rule reached there can match nothing. Where the record holds a hint,
    // or no failing first item may leave one, the attempt leaves nothing
    // (failsAtOnce); otherwise its walk is the same at every such record, as
    // long as none of the rules it attempts there is marked at the record
    // already: what it leaves is given instead of walked.
    const FirstFailure* firstRecordFailure(uint32_t id, const TokenRecord& record) const {
        if (id >= kIdLimit || !shortcuts_) return nullptr;
        const Leading& leading = leading_[id];
        if (!leading.skippable || record.matches.intersects(leading.ids)) return nullptr;
        if (record.hint >= 0 || !leading.hinted) return &kLeavesNothing;
        return hintedFailure(id, record);
    }
    static constexpr FirstFailure kLeavesNothing{RuleSet(), -1, true, true};

    // The token kinds and rules an attempt of rule `id` may test at the record
    // where it begins (the rules among them are all it may attempt there).
    const RuleSet& leadingIds(uint32_t id) const { return leading_[id < kIdLimit ? id : 0].ids; }

    // With shortcuts off every attempt walks its rule as the protocol says:
    // the reference the differential tests hold the shortcuts to.
    void setShortcuts(bool on) { shortcuts_ = on; }
    bool shortcuts() const { return shortcuts_; }

private:
    using OpType = GrammarOpType;
    using Code = GrammarCode;
    using GroupLeading = GrammarGroup;
    // Build form: a tree of ops per production.
    struct Op {
        OpType type = OpType::Item;
        int32_t hint = -1;
        uint32_t value = 0;  // token kind or rule id of an item
        std::vector<uint32_t> children;
    };
    // What can stand at the record where an attempt of a rule begins.
    struct Leading {
        RuleSet ids;             // token kinds and rule ids a first item may test
        bool nullable = false;   // the rule can match nothing
        bool hinted = false;     // a failing first item may leave a hint
        bool skippable = false;  // failsAtOnce may answer for the rule
    };
    // Its texts are those of the rule tables (or of the table the build
    // wrote), which live as long as the grammar: a start loads two hundred
    // rules, and copies of their texts filled five pages it never read.
    struct Rule {
        bool defined = false;
        const char* name = "";
        const char* production = "";
        const char* hints = "";
        RuleBody native = nullptr;
        int32_t root = -1;
    };
    struct Abbreviation {
        std::string name;
        std::string production;
    };
    // What the engine needs of a rule to walk it: the hand-written body, else
    // the root op, -1 when the rule is unknown or the grammar not built.
    struct Body {
        RuleBody native = nullptr;
        int32_t root = -1;
    };
    // What takesAgainAtOnce asks of a rule: its body's first lone item, and
    // what the groups before it may test and whether they leave a hint.
    struct Again {
        bool usable = false;
        bool hinted = false;
        uint32_t item = 0;
        RuleSet refused;
    };
    void planAgain(uint32_t id);
    class NotationParser;

    bool fail(std::string message);
    bool applyHints(uint32_t ruleId, int32_t root);
    void markHint(int32_t op, uint32_t target, int32_t code);
    void compile();
    void setBodies();
    void analyseLeading();
    void analyseGroups();
    // An attempt of group op `index` at q can only fail and leave nothing
    // behind (see failsAtOnce).
    // Inlined into matchCode, which asks it for most groups it meets.
    [[gnu::always_inline]] inline bool groupFailsAtOnce(qeLexSyntax& engine, uint32_t index, int q) const;
    bool leadingOf(uint32_t op, Leading& into) const;  // true when the op can match nothing
    // The walk firstRecordFailure gives the outcome of, made over the grammar
    // as the engine makes it over a record that holds none of the ids tested.
    struct FailingWalk {
        RuleSet active;
        RuleSet visited;
        int32_t hint = -1;
        bool usable = true;
    };
    const FirstFailure* hintedFailure(uint32_t id, const TokenRecord& record) const;
    const FirstFailure& workOutFailure(uint32_t id) const;
    void walkFailingRule(uint32_t id, FailingWalk& walk) const;
    bool walkFailingCode(uint32_t index, FailingWalk& walk) const;
    bool matchCode(qeLexSyntax& engine, uint32_t code, int& q, uint32_t& changed) const;

    Rule rules_[kIdLimit];
    std::vector<Abbreviation> abbreviations_;
    std::vector<Op> ops_;
    std::vector<uint32_t> owner_;  // the rule each op belongs to
    // The run form is read through these: a loaded grammar's lies in its
    // table, a built one's in the vectors below.
    std::span<const Code> code_;
    std::span<const uint32_t> kids_;
    std::span<const GroupLeading> groups_;  // one per op
    // What build() makes of the notation; empty in a loaded grammar.
    std::vector<Code> builtCode_;
    std::vector<uint32_t> builtKids_;
    std::vector<GroupLeading> builtGroups_;
    Leading leading_[kIdLimit];
    Body bodies_[kIdLimit];
    Again again_[kIdLimit];
    // One per rule id, worked out by the first attempt that needs it; made
    // on first need (a small program needs few) and emptied by every build
    // or load.
    mutable std::vector<FirstFailure> firstFailures_;
    std::string error_;
    bool built_ = false;
    bool shortcuts_ = true;
    uint64_t generation_ = 0;
};
