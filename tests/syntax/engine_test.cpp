#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <utility>

#include "engine_fixture.h"
#include "test_support.h"

using enginetest::Match;
using enginetest::Parse;
using syntaxtest::onBigStack;
using syntaxtest::onStackOf;

namespace {

// The ladder of a two-operand level and a literal, as the expression grammar
// writes them.
const std::vector<GrammarRuleRow> kSums = {
    {100, "Sum", "( Sum | Term ) `TokenKind::Additive` Term", "none"},
    {101, "Term", "Product | Atom", "none"},
    {102, "Product", "( Product | Atom ) `TokenKind::Multiplicative` Atom", "none"},
    {103, "Atom", "`TokenKind::Identifier` | \"(\" Expression \")\"", "4 at \")\""},
    {104, "Expression", "Sum | Term", "none"},
    {105, "Unit", "Statement?", "none"},
    {106, "Statement", "Expression \";\"?", "none"},
};

TEST(Engine, LeftRecursionGroupsToTheLeft) {
    Parse parse(kSums, "a - b + c * d * e - f;");
    ASSERT_TRUE(parse.built) << parse.grammar.error();
    EXPECT_TRUE(parse.run(105));
    EXPECT_EQ(parse.tree(), "((((a - b) + ((c * d) * e)) - f) ;)");
    // the whole unit collapsed into one record covering the text
    TokenRecord* unit = parse.engine.slot(0);
    EXPECT_EQ(unit->length, parse.input.length);
    EXPECT_TRUE(unit->matches.test(105));
    EXPECT_EQ(parse.engine.tokenAt(1)->length, 0u);  // only the end of input follows
}

TEST(Engine, ReductionsKeepPositionsAndFreeCoveredRecords) {
    Parse parse(kSums, "/* lead */ x\n  + y * z");
    EXPECT_TRUE(parse.run(105));
    TokenRecord* unit = parse.engine.slot(0);
    EXPECT_EQ(unit->startLine, 0u);
    EXPECT_EQ(unit->startColumn, 11u);
    EXPECT_EQ(unit->endLine, 1u);
    EXPECT_EQ(unit->endColumn, 9u);
    ASSERT_NE(unit->docComment, nullptr);
    EXPECT_STREQ(unit->docComment, "/* lead */");
    EXPECT_EQ(parse.engine.tokenAt(1)->length, 0u);
    EXPECT_EQ(parse.listener.liveRecords, 2);  // the unit and the end of input
    parse.engine.reset();
    EXPECT_EQ(parse.listener.liveRecords, 0);
}

// Whitespace stepped over by the engine leaves the records, their positions
// and the end record's kind as whitespace scanned as tokens and dropped.
TEST(Engine, SkippedWhitespaceLeavesTheSameRecords) {
    const char* texts[] = {"a  b\n\t c \r\n", " \x01a\n\n", "a /* c */\n b  ", "a // c\n", "", "  \n "};
    for (const char* text : texts) {
        std::string seen[2];
        for (int skip = 0; skip < 2; ++skip) {
            Parse parse(kSums, text);
            parse.listener.skipsWhitespace = skip == 1;
            parse.engine.attach(&parse.input, &parse.listener, &parse.grammar);
            for (int i = 0; i < 8; ++i) {
                const TokenRecord* record = parse.engine.tokenAt(i);
                for (uint32_t value : {record->startOffset, record->length, record->startLine, record->startColumn,
                                       record->endLine, record->endColumn})
                    seen[skip] += std::to_string(value) + ",";
                seen[skip] += std::to_string(record->matches.single()) + (record->docComment ? "d " : " ");
                if (record->length == 0) break;
            }
        }
        EXPECT_EQ(seen[0], seen[1]) << text;
    }
}

int atomRuns = 0;

// An atom rule that counts how often its body really runs.
int countingAtom(qeLexSyntax& engine, uint32_t, int start, uint32_t& changed) {
    ++atomRuns;
    int q = start;
    return engine.matchItem(q, TokenKind::Identifier, false, changed) ? q : -1;
}

TEST(Engine, LaterAlternativesReuseTheRecordedMatch) {
    // After the first alternative fails at ",", Atom is already recorded at 0
    // and its visited guard is up: the second alternative can only succeed
    // through the memo, and must not run Atom again.
    Parse parse({{100, "Pair", "Atom \",\" Atom | Atom \";\"", "none"}}, "a;");
    ASSERT_TRUE(parse.grammar.addNativeRule(101, "Atom", countingAtom));
    ASSERT_TRUE(parse.grammar.build()) << parse.grammar.error();
    atomRuns = 0;
    int runsWhenPairWasReported = -1;
    struct Spy : enginetest::Listener {
        int* snapshot;
        _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start, int count,
                                              uint32_t rule) override {
            if (rule == 100 && *snapshot < 0) *snapshot = atomRuns;
            return Listener::onRuleMatched(out, engine, start, count, rule);
        }
    } spy;
    spy.snapshot = &runsWhenPairWasReported;
    parse.engine.reset();
    parse.engine.attach(&parse.input, &spy, &parse.grammar);
    EXPECT_TRUE(parse.run(100));
    // the first run and the re-entry after Atom's own recording
    EXPECT_EQ(runsWhenPairWasReported, 2);
    // one report per new match: a match of the same span is not reported again
    EXPECT_EQ(spy.matches, (std::vector<Match>{{101, 0, 1}, {100, 0, 2}}));
    parse.engine.reset();  // the spy goes before the parse does
}

TEST(Engine, ListRuleGrowsOneItemPerAttempt) {
    Parse parse({{100, "Items", "( Items \",\" )? `TokenKind::Identifier`", "none"}}, "a, b, c");
    EXPECT_TRUE(parse.run(100));
    EXPECT_EQ(parse.listener.matches, (std::vector<Match>{{100, 0, 1}, {100, 0, 3}, {100, 0, 3}}));
    EXPECT_EQ(parse.tree(), "((a , b) , c)");
    EXPECT_EQ(parse.result, 1);
}

TEST(Engine, LongListsNeedNoStack) {
    std::string text = "x";
    for (int i = 0; i < 200000; ++i) text += ",x";
    Parse parse({{100, "Items", "( Items \",\" )? `TokenKind::Identifier`", "none"}}, text);
    parse.listener.bracketText = false;
    EXPECT_TRUE(parse.run(100));  // on the test's ordinary stack
    EXPECT_EQ(parse.listener.matchesOf(100), 200001);
}

TEST(Engine, EmptyMatchIsReportedButChangesNothing) {
    Parse parse(kSums, "");
    EXPECT_TRUE(parse.run(105));
    EXPECT_EQ(parse.listener.matches, (std::vector<Match>{{105, 0, 0}}));
    TokenRecord* end = parse.engine.slot(0);
    EXPECT_EQ(end->length, 0u);
    EXPECT_EQ(end->span, 1u);
    EXPECT_FALSE(end->matches.test(105));
    EXPECT_EQ(parse.tree(), "");  // the empty node of the match stays in the record
    EXPECT_TRUE(end->node);
}

TEST(Engine, EndOfInputRecordCarriesTheLastDroppedKind) {
    Parse tight(kSums, "a");
    EXPECT_TRUE(tight.run(105));
    TokenRecord* end = tight.engine.tokenAt(1);
    EXPECT_TRUE(end->matches.test(0));
    for (uint32_t k = 1; k < 256; ++k) ASSERT_FALSE(end->matches.test(k)) << k;
    Parse spaced(kSums, "a // c");
    EXPECT_TRUE(spaced.run(105));
    EXPECT_TRUE(spaced.engine.tokenAt(1)->matches.test(TokenKind::Comment));
}

const std::vector<GrammarRuleRow> kCalls = {
    {100, "Call", "`TokenKind::Identifier` \"(\" `TokenKind::Identifier` \")\"", "2 at \"(\", 4 at \")\""},
    {101, "Bracket", "`TokenKind::Identifier` \"(\" `TokenKind::Identifier` \"]\"", "21 at \"]\""},
    {102, "Unit", "Call | Bracket", "none"},
};

TEST(Engine, FailedRulesLeaveTheFirstHint) {
    Parse parse(kCalls, "f(a;");
    EXPECT_FALSE(parse.run(102));
    EXPECT_EQ(parse.engine.slot(3)->hint, 4);  // Call's hint came first; Bracket's 21 did not replace it
    EXPECT_EQ(parse.engine.slot(1)->hint, -1);
    Parse missingOpen(kCalls, "f a)");
    EXPECT_FALSE(missingOpen.run(102));
    EXPECT_EQ(missingOpen.engine.slot(1)->hint, 2);
    EXPECT_STREQ(syntaxHintText(missingOpen.engine.slot(1)->hint), "缺少左括号 '('.");
    EXPECT_EQ(syntaxHintText(7), nullptr);
}

TEST(Engine, BadCharacterEndsTheParseAndHintsGoToTheEndOfInput) {
    Parse parse(kCalls, "f(a #");
    EXPECT_FALSE(parse.run(102));
    EXPECT_EQ(parse.listener.badCharacters, 1);
    EXPECT_TRUE(parse.engine.errorFlag());
    EXPECT_EQ(parse.engine.slot(3), nullptr);
    EXPECT_EQ(parse.engine.endOfInputHint(), 4);
}

TEST(Engine, ParseThatStopsEarlyIsNotWhole) {
    Parse parse(kSums, "a b");
    EXPECT_FALSE(parse.run(105));
    EXPECT_GE(parse.result, 0);
}

std::string openParens(int count) { return std::string(static_cast<size_t>(count), '('); }

TEST(Engine, FullWindowIsReportedOnceAndFails) {
    std::string text;
    for (int i = 0; i < 600; ++i) text += "a ";
    Parse flat({{100, "Ids", "`TokenKind::Identifier` Ids2?", "none"}, {101, "Ids2", "`TokenKind::Identifier` Ids?", "none"}}, text);
    EXPECT_FALSE(flat.run(100));
    EXPECT_EQ(flat.listener.overflows, 1);
    EXPECT_TRUE(flat.engine.errorFlag());
}

TEST(Engine, DeepNestingEndsWithTheWindowNotTheStack) {
    onBigStack([] {
        Parse deep(kSums, openParens(100000) + "a");
        EXPECT_FALSE(deep.run(105));
        EXPECT_EQ(deep.listener.overflows, 1);

        // Just below the window's limit nesting still parses.
        int depth = 250;
        Parse nested(kSums, openParens(depth) + "a" + std::string(static_cast<size_t>(depth), ')') + ";");
        EXPECT_TRUE(nested.run(105));
        EXPECT_EQ(nested.listener.overflows, 0);
    });
}

// The stack left is measured on the thread the parse runs on: a stack of
// twice what the engine keeps in reserve below the deepest rule holds far
// fewer levels than the window, and the nesting ends the parse with one
// report, not a fault.
TEST(Engine, NestingPastTheStackLeftEndsTheParse) {
    onStackOf(size_t{512} << 10, [] {
        const auto nested = [](int depth) {
            return openParens(depth) + "a" + std::string(static_cast<size_t>(depth), ')') + ";";
        };
        Parse shallow(kSums, nested(4));
        EXPECT_TRUE(shallow.run(105));
        Parse deep(kSums, nested(480));
        EXPECT_FALSE(deep.run(105));
        EXPECT_EQ(deep.listener.overflows, 1);
    });
}

TEST(Engine, PositionHookRewritesTheStartAndTheEnd) {
    Parse parse(kSums, "a");
    parse.input.fileIndex = 3;
    parse.input.positionHook = [](uint32_t, uint32_t, uint32_t* file, uint32_t*, uint32_t* line, uint32_t*,
                                  SourceInput* input) {
        *file = 7;
        *line += 40;
        return input;
    };
    EXPECT_TRUE(parse.run(105));
    EXPECT_EQ(parse.engine.slot(0)->fileIndex, 7u);
    EXPECT_EQ(parse.engine.slot(0)->startLine, 40u);
    EXPECT_EQ(parse.engine.slot(0)->endLine, 40u);  // mapped through the token's last byte
    EXPECT_EQ(parse.engine.slot(0)->endColumn, 1u);
}

TEST(GrammarNotation, RejectsFaultyTables) {
    Grammar unknown;
    GrammarRuleRow bad = {100, "A", "B \"(\"", "none"};
    EXPECT_TRUE(unknown.addRules(&bad, 1));
    EXPECT_FALSE(unknown.build());
    EXPECT_NE(unknown.error().find("unknown name B"), std::string::npos);

    Grammar notToken;
    GrammarRuleRow twoTokens = {100, "A", "\"a b\"", "none"};
    notToken.addRules(&twoTokens, 1);
    EXPECT_FALSE(notToken.build());

    Grammar twice;
    GrammarRuleRow same[] = {{100, "A", "\";\"", "none"}, {100, "B", "\";\"", "none"}};
    EXPECT_FALSE(twice.addRules(same, 2));

    Grammar badHint;
    GrammarRuleRow hint = {100, "A", "\";\"", "3 at \"(\" extra"};
    badHint.addRules(&hint, 1);
    EXPECT_FALSE(badHint.build());
}

TEST(GrammarNotation, AbbreviationsExpandInPlaceWithoutHints) {
    Grammar grammar;
    GrammarAbbreviation symbols = {"Symbol", "\"+\" | \"[\" \"]\""};
    GrammarRuleRow rules[] = {{100, "OperatorName", "\"operator\" Symbol \"(\"", "2 at \"(\", 20 at \"[\""}};
    ASSERT_TRUE(grammar.addAbbreviations(&symbols, 1));
    ASSERT_TRUE(grammar.addRules(rules, 1));
    ASSERT_TRUE(grammar.build()) << grammar.error();

    for (const char* text : {"operator [ ] (", "operator+("}) {
        std::string source = text;
        SourceInput input;
        input.setText(source.data(), source.size());
        enginetest::Listener listener;
        qeLexSyntax engine;
        engine.attach(&input, &listener, &grammar);
        EXPECT_TRUE(engine.parseText(100)) << text;
    }
    std::string source = "operator ] (";
    SourceInput input;
    input.setText(source.data(), source.size());
    enginetest::Listener listener;
    qeLexSyntax engine;
    engine.attach(&input, &listener, &grammar);
    EXPECT_FALSE(engine.parseText(100));
    EXPECT_EQ(engine.slot(1)->hint, -1);  // "[" of the abbreviation is no hint point of the rule
}

}  // namespace
