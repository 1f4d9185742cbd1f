// Expressions of two-operand operators recognised by precedence climbing,
// in the engine's speculative parse.
//
// Walked as the rules say, every operand descends the ten operator levels
// (an expression and an operand rule each) and fails back up them, and every
// reduction at the operand's record makes the levels above it try again: an
// expression that mixes its operators cost twenty times the instructions per
// token of one whose operator sequence the walk cache had seen (the varied
// code of the front-end comparison, 1000 lines of `x = c << b * d & g >> a + e;`
// and the like). Here each operand is recognised once, by the unary level's
// own rules, and the operator behind it names the one level that grows.
//
// The matches are recorded as the rules would record them, in the same order
// and over the same records: the operand rules of every level a record
// passes, each operator, each reduction of a level over operand, operator and
// operand, then the operator expression and the expression. What the rules'
// failing attempts would leave (visited marks of rules that cannot match
// there) is left out; nothing reads them but the attempts they answer, which
// fail anyway. Whatever this does not know how to finish makes the
// speculative parse fail, and the exact engine parses the text again.
#include <cstring>

#include "syntax/grammar.h"
#include "syntax/lex_syntax.h"
#include "syntax/rule_ids.h"

namespace {

constexpr int kLevels = 10;  // "||" is level 1, "*" "/" "%" level 10

// The rules of level L (1 to 10) follow one another from 95: operator,
// operand, expression.
constexpr uint32_t operatorRule(int level) { return RuleId::AssignmentOperator + 3 * static_cast<uint32_t>(level); }
constexpr uint32_t operandRule(int level) { return operatorRule(level) + 1; }
constexpr uint32_t expressionRule(int level) { return operatorRule(level) + 2; }
static_assert(operatorRule(1) == RuleId::LogicalOrOperator && operandRule(5) == RuleId::BitAndOperand &&
              expressionRule(kLevels) == RuleId::MultiplicativeExpression);

// The rules of the operator levels and the unary level, and the two that
// join them into an expression: a record that holds one of them is no fresh
// operand for the climb, and one marked by an attempt of one of them is no
// start the climb knows how the rules would go on from. A literal is an
// operand like a name.
const RuleSet& ladderRules() {
    static const RuleSet rules = [] {
        RuleSet set;
        for (uint32_t id = RuleId::AssignmentOperator; id < RuleId::Literal; ++id) set.set(id);
        set.set(RuleId::OperatorExpression);
        set.set(RuleId::Expression);
        return set;
    }();
    return rules;
}

bool holdsLadderRule(const RuleSet& matches) { return matches.intersects(ladderRules()); }

// The same but for the expression rule, which is under way at the start of
// every climb.
const RuleSet& ladderMarks() {
    static const RuleSet rules = [] {
        RuleSet set = ladderRules();
        set.reset(RuleId::Expression);
        return set;
    }();
    return rules;
}

// The alternatives of the operator expression, in their order.
constexpr uint32_t kOperatorAlternatives[] = {
    RuleId::Assignment,           RuleId::Conditional,        RuleId::LogicalOrExpression,
    RuleId::LogicalAndExpression, RuleId::BitOrExpression,    RuleId::XorExpression,
    RuleId::BitAndExpression,     RuleId::EqualityExpression, RuleId::RelationalExpression,
    RuleId::ShiftExpression,      RuleId::AdditiveExpression, RuleId::MultiplicativeExpression,
    RuleId::UnaryExpression};

// What may stand behind an operand for the operator expression to go on:
// an assignment, a conditional, a two-operand operator or a postfix one.
const RuleSet& continuations() {
    static const RuleSet kinds = [] {
        RuleSet set;
        for (uint32_t id :
             {TokenKind::CompoundAssignment, TokenKind::Assign, TokenKind::Question, TokenKind::LogicalOr,
              TokenKind::LogicalAnd, TokenKind::BitOr, TokenKind::Xor, TokenKind::BitAnd, TokenKind::Equality,
              TokenKind::ShiftLeft, TokenKind::GreaterEqual, TokenKind::Greater, TokenKind::LessEqual, TokenKind::Less,
              TokenKind::Additive, TokenKind::Multiplicative, TokenKind::IncDec})
            set.set(id);
        set.set(RuleId::AssignmentOperator);
        for (uint32_t id = RuleId::LogicalOrOperator; id <= RuleId::MultiplicativeOperator; id += 3) set.set(id);
        return set;
    }();
    return kinds;
}

// The operand rules of every level and the unary one: what a primary
// expression the rules handed down the ladder holds.
const RuleSet& operandChain() {
    static const RuleSet rules = [] {
        RuleSet set;
        for (uint32_t id = RuleId::LogicalOrOperand; id <= RuleId::MultiplicativeOperand; id += 3) set.set(id);
        set.set(RuleId::UnaryOperand);
        set.set(RuleId::PrimaryExpression);
        return set;
    }();
    return rules;
}

// The two-operand operators' levels by token kind (the kinds from 64 on,
// which a match set keeps in its second word). ">" is a comparison unless
// a second ">" follows it.
constexpr auto kLevelOfKind = [] {
    struct Levels {
        int8_t level[64] = {};
        constexpr int operator[](uint32_t i) const { return level[i]; }
    } levels;
    levels.level[TokenKind::Multiplicative - 64] = 10;
    levels.level[TokenKind::Additive - 64] = 9;
    levels.level[TokenKind::ShiftLeft - 64] = 8;
    levels.level[TokenKind::Greater - 64] = 7;
    levels.level[TokenKind::GreaterEqual - 64] = 7;
    levels.level[TokenKind::LessEqual - 64] = 7;
    levels.level[TokenKind::Less - 64] = 7;
    levels.level[TokenKind::Equality - 64] = 6;
    levels.level[TokenKind::BitAnd - 64] = 5;
    levels.level[TokenKind::Xor - 64] = 4;
    levels.level[TokenKind::BitOr - 64] = 3;
    levels.level[TokenKind::LogicalAnd - 64] = 2;
    levels.level[TokenKind::LogicalOr - 64] = 1;
    return levels;
}();
static_assert(TokenKind::LogicalOr >= 64 && TokenKind::Multiplicative < 128, "the operators share one word");

// The operators' kinds as bits of that word.
constexpr uint64_t kOperatorKinds = [] {
    uint64_t bits = 0;
    for (uint32_t i = 0; i < 64; ++i)
        if (kLevelOfKind[i] != 0) bits |= uint64_t{1} << i;
    return bits;
}();

// Any rule at all (ids from 95 on): token kinds sit below.
bool holdsAnyRule(const RuleSet& matches) {
    static_assert(RuleId::First == 95);
    return (matches.word(1) >> 31) != 0 || matches.word(2) != 0 || matches.word(3) != 0;
}

bool isPrefixOperator(const RuleSet& matches) {
    return matches.test(TokenKind::Not) || matches.test(TokenKind::IncDec) || matches.test(TokenKind::Additive);
}

}  // namespace

bool qeLexSyntax::grammarClimbs(const Grammar& grammar) {
    const uint32_t ids[] = {RuleId::Expression,        RuleId::OperatorExpression, RuleId::Conditional,
                            RuleId::Assignment,        RuleId::PrimaryExpression,  RuleId::UnaryExpression,
                            RuleId::LogicalOrOperator, RuleId::LogicalOrOperand,   RuleId::MultiplicativeExpression};
    const char* names[] = {"Expression",        "OperatorExpression", "Conditional",
                           "Assignment",        "PrimaryExpression",  "UnaryExpression",
                           "LogicalOrOperator", "LogicalOrOperand",   "MultiplicativeExpression"};
    for (size_t i = 0; i < sizeof ids / sizeof ids[0]; ++i) {
        const char* name = grammar.ruleName(ids[i]);
        if (name == nullptr || std::strcmp(name, names[i]) != 0) return false;
    }
    return true;
}

// The level of the operator at `at` (0: none). Two ">" in a row are a
// right shift, which the levels try before the comparison.
int qeLexSyntax::operatorLevel(int at) {
    const uint64_t operators = tokenAt(at)->matches.word(1) & kOperatorKinds;
    if (operators == 0) return 0;
    // A record holds one token kind at most: its bit names the level.
    const uint32_t kind = 64 + static_cast<uint32_t>(__builtin_ctzll(operators));
    if (kind == TokenKind::Greater && tokenAt(at + 1)->matches.test(TokenKind::Greater)) return 8;
    return kLevelOfKind[kind - 64];
}

void qeLexSyntax::recordOne(int at, uint32_t ruleId, uint32_t& changed) {
    int end = at + 1;
    changed |= static_cast<uint32_t>(recordRuleMatch(at, end, 1, ruleId));
}

// The operand of level `level` at `at` (level 0: the whole ladder at the
// start of an expression): its unary operand, then every tighter level, whose
// operators it takes while they follow. False when the climb cannot go on.
bool qeLexSyntax::climbOperand(int level, int at, uint32_t& changed) {
    if (!climbUnary(at, changed)) return false;
    // The operator behind the operand changes only when a level reduces it.
    int next = operatorLevel(at + 1);
    for (int j = kLevels; j > level; --j) {
        for (; next == j; next = operatorLevel(at + 1)) {
            if (holdsAnyRule(tokenAt(at + 1)->matches)) return false;
            // The operator rule matches its one token, or the two ">" of a
            // right shift, which become one record.
            const bool twoRecords = j == 8 && tokenAt(at + 1)->matches.test(TokenKind::Greater);
            if (twoRecords && holdsAnyRule(tokenAt(at + 2)->matches)) return false;
            int signEnd = at + (twoRecords ? 3 : 2);
            changed |= static_cast<uint32_t>(recordRuleMatch(at + 1, signEnd, twoRecords ? 2 : 1, operatorRule(j)));
            if (!climbOperand(j, at + 2, changed) || error_) return false;
            int end = at + 3;
            changed |= static_cast<uint32_t>(recordRuleMatch(at, end, 3, expressionRule(j)));
        }
        if (j - 1 >= (level > 0 ? level : 1)) recordOne(at, operandRule(j - 1), changed);
        if (error_) return false;
    }
    return true;
}

// The unary level at `at`: a primary expression the rules hand down as the
// unary operand and the multiplicative operand; prefix and postfix operators
// are left to the unary rules themselves.
bool qeLexSyntax::climbUnary(int at, uint32_t& changed) {
    const RuleSet& matches = tokenAt(at)->matches;
    bool primary = false;
    if (!holdsAnyRule(matches) && grammar_->leadingIds(RuleId::PrimaryExpression).intersects(matches)) {
        uint32_t local = 0;
        const int covered = parseRule(RuleId::PrimaryExpression, at, local);
        changed |= local;
        if (covered < 0 || error_) return false;
        primary = true;
    } else {
        primary = matches.test(RuleId::PrimaryExpression) && !holdsLadderRule(matches);
    }
    if (primary && !tokenAt(at + 1)->matches.test(TokenKind::IncDec)) {
        recordOne(at, RuleId::UnaryOperand, changed);
        recordOne(at, RuleId::MultiplicativeOperand, changed);
        return !error_;
    }
    uint32_t local = 0;
    const int covered = parseRule(RuleId::MultiplicativeOperand, at, local);
    changed |= local;
    return covered >= 0 && !error_;
}

// True when a walk of the expression at `start` is bound to read more
// tokens than a kept climb may have (kLongestClimbKept), as the records in
// the window already show: an operator behind the first operand, and behind
// the second one a token that goes on (an operator, a call, a member, a
// subscript, a conditional, a postfix step) to a record that is there. Such
// a walk is never kept, and writing it down is lost: on varied code (10k
// lines) 90 of the 8,400 expressions written down were kept. Only records
// scanned already are looked at, and none is read as the walk reads.
bool qeLexSyntax::climbOutrunsKeeping(int start) const {
    static_assert(kLongestClimbKept == 4, "the records looked at are the first five");
    if (start < 0 || start + 4 >= kWindowSize || window_[start + 4] == nullptr) return false;
    const TokenRecord* sign = window_[start + 1];
    const TokenRecord* after = window_[start + 3];
    if (sign == nullptr || after == nullptr || sign->span != 1 || after->span != 1) return false;
    constexpr uint64_t kAssigning = (uint64_t{1} << (TokenKind::Assign - 64)) |
                                    (uint64_t{1} << (TokenKind::CompoundAssignment - 64));
    constexpr uint64_t kGoingOn = kOperatorKinds | kAssigning | (uint64_t{1} << (TokenKind::LeftParen - 64)) |
                                  (uint64_t{1} << (TokenKind::Dot - 64)) |
                                  (uint64_t{1} << (TokenKind::LeftBracket - 64)) |
                                  (uint64_t{1} << (TokenKind::IncDec - 64));
    const bool operatorBehind = (sign->matches.word(1) & (kOperatorKinds | kAssigning)) != 0;
    const bool goesOn = (after->matches.word(1) & kGoingOn) != 0 || after->matches.test(TokenKind::Question);
    return operatorBehind && goesOn;
}

int qeLexSyntax::climbExpression(int start, uint32_t& changed) {
    TokenRecord* first = tokenAt(start);
    if (error_ || first == &spare_ || first->span != 1)
        return grammar_->matchBody(*this, RuleId::Expression, start, changed);
    // The memo answers the first alternative.
    if (first->matches.test(RuleId::OperatorExpression)) return start + 1;
    if (first->matches.test(RuleId::Expression)) {
        const int end = expressionAgain(start, *first);
        return end >= 0 ? end : grammar_->matchBody(*this, RuleId::Expression, start, changed);
    }
    // A start that earlier attempts reduced (a name a declaration tried as
    // its type, the inside of a cast tried as an array type) climbs as a
    // fresh one does, unless the ladder was tried there already.
    if (holdsLadderRule(first->matches) || first->visited.intersects(ladderMarks()) ||
        first->active.intersects(ladderMarks()))
        return grammar_->matchBody(*this, RuleId::Expression, start, changed);
    // The rules try an assignment first, whose target is a primary
    // expression: recognised here as they would, it is the first operand
    // unless an assignment operator follows.
    if (first->matches.test(RuleId::PrimaryExpression) ||
        grammar_->leadingIds(RuleId::PrimaryExpression).intersects(first->matches)) {
        int at = start;
        uint32_t local = 0;
        const bool primary = matchItem(at, RuleId::PrimaryExpression, true, local);
        changed |= local;
        if (!primary || at != start + 1 || error_)
            return grammar_->matchBody(*this, RuleId::Expression, start, changed);
        const RuleSet& after = tokenAt(start + 1)->matches;
        if (after.test(TokenKind::Assign) || after.test(TokenKind::CompoundAssignment) || holdsLadderRule(after))
            return grammar_->matchBody(*this, RuleId::Expression, start, changed);
    } else if (!isPrefixOperator(first->matches)) {
        return grammar_->matchBody(*this, RuleId::Expression, start, changed);
    }
    if (!climbOperand(0, start, changed)) return abandonClimb();
    const RuleSet& top = tokenAt(start)->matches;
    bool operatorExpression = top.test(RuleId::UnaryExpression);
    for (int j = 1; j <= kLevels; ++j) operatorExpression = operatorExpression || top.test(expressionRule(j));
    if (!operatorExpression && !top.test(RuleId::PrimaryExpression)) return abandonClimb();
    if (operatorExpression) recordOne(start, RuleId::OperatorExpression, changed);
    if (tokenAt(start + 1)->matches.test(TokenKind::Question)) {
        // The conditional's first part is the expression the rules found
        // through it; the conditional is then an operator expression itself.
        recordOne(start, RuleId::Expression, changed);
        uint32_t local = 0;
        const int covered = parseRule(RuleId::Conditional, start, local);
        changed |= local;
        if (covered != 1 || error_) return abandonClimb();
        recordOne(start, RuleId::OperatorExpression, changed);
    }
    return error_ ? -1 : start + 1;
}

// The expression attempted again at a record it was recorded at as a
// primary expression handed down the ladder (the protocol's repeated attempt
// after the match, or a later rule trying an expression there): when nothing
// behind it can go on, every alternative of the operator expression fails at
// once, and the memo answers the primary one. The marks those failing
// attempts leave are left as the rules leave them. -1 when the rules must
// walk it.
int qeLexSyntax::expressionAgain(int start, TokenRecord& first) {
    if (!first.matches.covers(operandChain()) || first.matches.intersects(ladderMarks())) return -1;
    const TokenRecord* next = recordInWindow(start + 1);
    if (next == nullptr || next->matches.intersects(continuations())) return -1;
    // The operators the alternatives test behind the operand are rules: each
    // must be one the leading sets refuse there, as they would.
    for (uint32_t level = 1; level <= 10; ++level)
        if (!grammar_->failsAtOnce(operatorRule(static_cast<int>(level)), next->matches, next->hint)) return -1;
    if (!grammar_->failsAtOnce(RuleId::AssignmentOperator, next->matches, next->hint) ||
        !grammar_->failsAtOnce(RuleId::PrefixOperator, first.matches, first.hint))
        return -1;
    if (!grammar_->failsAtOnce(RuleId::OperatorExpression, first.matches, first.hint) &&
        !first.active.test(RuleId::OperatorExpression) && !first.visited.test(RuleId::OperatorExpression)) {
        first.visited.set(RuleId::OperatorExpression);
        for (uint32_t alternative : kOperatorAlternatives) {
            if (grammar_->failsAtOnce(alternative, first.matches, first.hint)) continue;
            if (!first.active.test(alternative)) first.visited.set(alternative);
        }
    }
    return start + 1;
}

int qeLexSyntax::abandonClimb() {
    error_ = 1;
    return -1;
}
