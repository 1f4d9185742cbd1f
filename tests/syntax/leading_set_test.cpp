// The grammar answers an attempt at once only when walking the rule could
// neither match nor leave anything the listener or a later error report sees.
#include <gtest/gtest.h>

#include <vector>

#include "syntax/grammar.h"
#include "syntax/lex_syntax.h"
#include "syntax/rules.h"

namespace {

RuleSet holding(std::vector<uint32_t> ids) {
    RuleSet set;
    for (uint32_t id : ids) set.set(id);
    return set;
}

struct Built {
    explicit Built(std::vector<GrammarRuleRow> rules) { ok = grammar.addRules(rules.data(), rules.size()) && grammar.build(); }
    Grammar grammar;
    bool ok = false;
};

constexpr int32_t kNoHint = -1;

}  // namespace

TEST(LeadingSets, FirstItemsAreClosedOverTheRulesTheyCall) {
    Built built({
        {100, "Sum", "( Sum | Atom ) \"+\" Atom", "none"},
        {101, "Atom", "`TokenKind::Identifier` | \"(\" Sum \")\"", "none"},
        {102, "Opt", "\"static\"? \"class\"", "none"},
    });
    ASSERT_TRUE(built.ok) << built.grammar.error();
    const Grammar& g = built.grammar;
    EXPECT_TRUE(g.failsAtOnce(100, holding({TokenKind::Integer}), kNoHint));
    EXPECT_FALSE(g.failsAtOnce(100, holding({TokenKind::Identifier}), kNoHint));  // through Atom
    EXPECT_FALSE(g.failsAtOnce(100, holding({85}), kNoHint));                      // "(" through Atom
    EXPECT_FALSE(g.failsAtOnce(100, holding({101}), kNoHint));                     // Atom already matched
    EXPECT_FALSE(g.failsAtOnce(100, holding({100}), kNoHint));                     // its own memo
    EXPECT_TRUE(g.failsAtOnce(100, holding({102}), kNoHint));  // a rule that leads nothing here
    // An optional first item lets the next one lead as well.
    EXPECT_FALSE(g.failsAtOnce(102, holding({35}), kNoHint));
    EXPECT_FALSE(g.failsAtOnce(102, holding({32}), kNoHint));
    EXPECT_TRUE(g.failsAtOnce(102, holding({TokenKind::Identifier}), kNoHint));
}

TEST(LeadingSets, RulesThatCanMatchNothingAreAlwaysWalked) {
    Built built({
        {100, "Maybe", "`TokenKind::Identifier`?", "none"},
        {101, "Uses", "Maybe \";\"", "none"},
        {102, "Later", "\"(\" Maybe", "none"},
    });
    ASSERT_TRUE(built.ok) << built.grammar.error();
    const Grammar& g = built.grammar;
    // An empty match is reported, so neither the rule nor its callers skip it.
    EXPECT_FALSE(g.failsAtOnce(100, holding({TokenKind::Integer}), kNoHint));
    EXPECT_FALSE(g.failsAtOnce(101, holding({TokenKind::Integer}), kNoHint));
    // Called only after a first item, it does not matter.
    EXPECT_TRUE(g.failsAtOnce(102, holding({TokenKind::Integer}), kNoHint));
}

TEST(LeadingSets, AFirstItemWithAHintNeedsTheRecordsHintTaken) {
    Built built({
        {100, "Block", "\"{\" \"}\"", "5 at \"{\", 6 at \"}\""},
        {101, "Stmt", "Block | `TokenKind::Identifier` \";\"", "none"},
        {102, "Tail", "`TokenKind::Identifier` \";\"", "3 at \";\""},
    });
    ASSERT_TRUE(built.ok) << built.grammar.error();
    const Grammar& g = built.grammar;
    RuleSet integer = holding({TokenKind::Integer});
    EXPECT_FALSE(g.failsAtOnce(100, integer, kNoHint));  // the walk would leave hint 5 here
    EXPECT_TRUE(g.failsAtOnce(100, integer, 2));         // the first hint stays anyway
    EXPECT_FALSE(g.failsAtOnce(101, integer, kNoHint));  // through Block
    EXPECT_TRUE(g.failsAtOnce(101, integer, 5));
    EXPECT_TRUE(g.failsAtOnce(102, integer, kNoHint));  // its hint stands past the first item
}

namespace {
int anything(qeLexSyntax&, uint32_t, int start, uint32_t&) { return start; }
}  // namespace

TEST(LeadingSets, HandWrittenRulesAndTheirCallersAreAlwaysWalked) {
    Grammar g;
    ASSERT_TRUE(g.addNativeRule(100, "Native", anything));
    const GrammarRuleRow rules[] = {{101, "Caller", "Native \";\"", "none"}};
    ASSERT_TRUE(g.addRules(rules, 1) && g.build()) << g.error();
    EXPECT_FALSE(g.failsAtOnce(100, holding({TokenKind::Integer}), kNoHint));
    EXPECT_FALSE(g.failsAtOnce(101, holding({TokenKind::Integer}), kNoHint));
}

// In the language's grammar the statement keywords lead only their own
// statements, and the unit (which may be empty) is never skipped.
TEST(LeadingSets, TheLanguageGrammar) {
    const Grammar& g = korvoGrammar();
    RuleSet forKeyword = holding({22});
    EXPECT_TRUE(g.failsAtOnce(166, forKeyword, kNoHint));   // while
    EXPECT_FALSE(g.failsAtOnce(163, forKeyword, kNoHint));  // for
    EXPECT_FALSE(g.failsAtOnce(215, holding({TokenKind::Integer}), 3));
    EXPECT_TRUE(g.failsAtOnce(151, holding({91}), 3));      // no expression starts with ";"
}
