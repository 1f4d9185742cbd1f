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
#include <string>
#include <vector>

class qeLexSyntax;

struct GrammarRuleSpec {
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

class Grammar {
public:
    // A hand-written rule body: matches the rule's items from `start` with the
    // engine's item operations and returns the end position, or -1. The engine
    // runs the guards, the recording and the repeated attempts around it.
    using RuleBody = int (*)(qeLexSyntax& engine, uint32_t ruleId, int start, uint32_t& changed);

    static constexpr uint32_t kFirstRuleId = 95;
    static constexpr uint32_t kIdLimit = 256;

    // Adds rules and abbreviations; every name they use must be known by the
    // time `build` runs. False with `error()` set on a fault in the tables.
    bool addRules(const GrammarRuleSpec* rules, size_t count);
    bool addAbbreviations(const GrammarAbbreviation* abbreviations, size_t count);
    bool addNativeRule(uint32_t id, const char* name, RuleBody body);
    // Translates every production; the grammar is usable once this succeeds.
    bool build();

    bool hasRule(uint32_t id) const { return id < kIdLimit && rules_[id].defined; }
    uint32_t ruleId(const char* name) const;  // 0 when unknown
    const char* ruleName(uint32_t id) const;
    const std::string& error() const { return error_; }

    // Matches the body of rule `id` at `start` (called by the engine).
    int matchBody(qeLexSyntax& engine, uint32_t id, int start, uint32_t& changed) const;

private:
    enum class OpType : uint8_t { Item, Sequence, Choice, Optional };
    struct Op {
        OpType type = OpType::Item;
        int32_t hint = -1;
        uint32_t value = 0;  // token kind or rule id of an item
        std::vector<uint32_t> children;
    };
    struct Rule {
        bool defined = false;
        std::string name;
        std::string production;
        std::string hints;
        RuleBody native = nullptr;
        int32_t root = -1;
    };
    struct Abbreviation {
        std::string name;
        std::string production;
    };
    class NotationParser;

    bool fail(std::string message);
    bool applyHints(uint32_t ruleId, int32_t root);
    void markHint(int32_t op, uint32_t target, int32_t code);
    bool matchOp(qeLexSyntax& engine, uint32_t ruleId, uint32_t op, int& q, uint32_t& changed) const;

    Rule rules_[kIdLimit];
    std::vector<Abbreviation> abbreviations_;
    std::vector<Op> ops_;
    std::string error_;
    bool built_ = false;
};
