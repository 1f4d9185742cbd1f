// One-record matches of rules that pass their record's node on are not told
// to the listener, and the window ends as when every match is told.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/stack_thread.h"
#include "source/ast_nodes.h"
#include "syntax/lex_syntax.h"
#include "syntax/rule_ids.h"
#include "syntax/rules.h"
#include "syntax/walk_cache.h"

namespace {

// Gives every match it is told of a node of its own; with `passing` set, the
// operand rules of the arithmetic levels pass their record's node on, the
// additive operator keeps its record's, and a primary expression keeps a
// node marked 1 (every node is), and a statement of an expression and its
// ";" is the expression's node.
class NodeGivingListener final : public qeLexSyntax::OnParseListener {
public:
    explicit NodeGivingListener(bool passing) : passing_(passing) {}

    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start, int count,
                                          uint32_t ruleId) override {
        const TokenRecord* first = engine.slot(start);
        const bool marked = first && (first->nodeMarks & 1) && ruleId == RuleId::PrimaryExpression;
        if (count == 1 && first && first->node && (passThroughRules().test(ruleId) || marked)) ++toldPassing;
        if (count == 1 && keepsRecordRules().test(ruleId)) ++toldPassing;
        ++told;
        if (ruleId == RuleId::Statement && count > 1 && first->matches.test(RuleId::Expression) && first->node) {
            if (passing_) ++toldPassing;
            *out = first->node;
            return out;
        }
        *out = makeAstNode(ruleId);
        if (passing_) engine.markNode(1);
        return out;
    }
    RuleSet keepsRecordRules() const override {
        RuleSet rules;
        if (passing_) rules.set(RuleId::AdditiveOperator);
        return rules;
    }
    void firstRecordRules(RuleSet (&rules)[256]) const override {
        if (passing_) rules[RuleId::Statement].set(RuleId::Expression);
    }
    void nodeMarkRules(uint8_t (&marks)[256]) const override {
        if (passing_) marks[RuleId::PrimaryExpression] = 1;
    }
    RuleSet passThroughRules() const override {
        RuleSet rules;
        if (passing_)
            for (uint32_t rule : {RuleId::UnaryOperand, RuleId::MultiplicativeOperand, RuleId::AdditiveOperand})
                rules.set(rule);
        return rules;
    }
    void onBadCharacter(SourceInput*) override {}
    bool filterToken(SourceInput*, int32_t, TokenCode kind, char**) override {
        return kind != TokenKind::Whitespace && kind != TokenKind::Comment;
    }
    TokenRecord* newTokenRecord() override { return new TokenRecord(); }
    void freeTokenRecord(TokenRecord* record) override { delete record; }
    void onParseFailed(SourceInput*) override {}
    void onLookaheadOverflow(SourceInput*) override {}

    size_t told = 0;
    size_t toldPassing = 0;  // told although they pass their node on

private:
    bool passing_;
};

// The match sets and spans the window holds after the parse, record by record.
std::vector<std::string> windowAfter(NodeGivingListener& listener, const std::string& text) {
    std::vector<std::string> window;
    auto parse = [&] {
        qeLexSyntax engine;
        SourceInput input;
        input.setText(text.data(), text.size());
        const auto walks = std::make_unique<WalkCache>();
        engine.setFastPath(walks.get(), korvoCachedWalks());
        engine.attach(&input, &listener, &korvoGrammar());
        EXPECT_TRUE(engine.parseText(RuleId::Entry));
        for (int i = 0; i < qeLexSyntax::kWindowSize && engine.slot(i); ++i) {
            const TokenRecord& record = *engine.slot(i);
            std::string line = std::to_string(record.startOffset) + "+" + std::to_string(record.length);
            for (int w = 0; w < 4; ++w) line += " " + std::to_string(record.matches.word(w));
            window.push_back(line);
        }
        engine.reset();
    };
    platform::runOnLargeStack(platform::kCompileStackBytes, parse);
    return window;
}

}  // namespace

TEST(UntoldMatches, PassingRulesAreNotToldAndChangeNothing) {
    const std::string text =
        "class A {\n    int f(int a) {\n        f(a);\n        return a * 2 + f(a - 1);\n    }\n};\n";
    NodeGivingListener all(false);
    NodeGivingListener some(true);
    EXPECT_EQ(windowAfter(some, text), windowAfter(all, text));
    EXPECT_EQ(some.toldPassing, 0u);
    EXPECT_LT(some.told, all.told);
}
