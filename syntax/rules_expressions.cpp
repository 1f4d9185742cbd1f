// Assignment, the conditional, the ladder of two-operand levels (loosest
// first), the unary level and literals.
//
// Each two-operand level L has an operator rule, an expression rule that
// needs at least one operator of L, and an operand rule that hands a lone
// operand down to level L+1. The expression rule's reference to itself is
// answered by the memo only: after each reduction the engine re-enters the
// rule at the same record, which now holds it, so the level grows to the left.
#include "syntax/rules.h"

namespace {

const GrammarRuleRow kRules[] = {
    {KORVO_RULE_ROW(AssignmentOperator), R"~(TokenKind::CompoundAssignment | "=")~", "none"},
    {KORVO_RULE_ROW(Assignment), R"~(PrimaryExpression AssignmentOperator Expression)~", "none"},
    {KORVO_RULE_ROW(Conditional), R"~(Expression "?" Expression ":" Expression)~", R"~(24 at ":")~"},

    {KORVO_RULE_ROW(LogicalOrOperator), R"~("||")~", "none"},
    {KORVO_RULE_ROW(LogicalOrOperand), R"~(LogicalAndExpression | LogicalAndOperand)~", "none"},
    {KORVO_RULE_ROW(LogicalOrExpression),
     R"~((LogicalOrExpression | LogicalOrOperand) LogicalOrOperator LogicalOrOperand)~",
     "none"},

    {KORVO_RULE_ROW(LogicalAndOperator), R"~("&&")~", "none"},
    {KORVO_RULE_ROW(LogicalAndOperand), R"~(BitOrExpression | BitOrOperand)~", "none"},
    {KORVO_RULE_ROW(LogicalAndExpression),
     R"~((LogicalAndExpression | LogicalAndOperand) LogicalAndOperator LogicalAndOperand)~", "none"},

    {KORVO_RULE_ROW(BitOrOperator), R"~("|")~", "none"},
    {KORVO_RULE_ROW(BitOrOperand), R"~(XorExpression | XorOperand)~", "none"},
    {KORVO_RULE_ROW(BitOrExpression), R"~((BitOrExpression | BitOrOperand) BitOrOperator BitOrOperand)~", "none"},

    {KORVO_RULE_ROW(XorOperator), R"~("^")~", "none"},
    {KORVO_RULE_ROW(XorOperand), R"~(BitAndExpression | BitAndOperand)~", "none"},
    {KORVO_RULE_ROW(XorExpression), R"~((XorExpression | XorOperand) XorOperator XorOperand)~", "none"},

    {KORVO_RULE_ROW(BitAndOperator), R"~("&")~", "none"},
    {KORVO_RULE_ROW(BitAndOperand), R"~(EqualityExpression | EqualityOperand)~", "none"},
    {KORVO_RULE_ROW(BitAndExpression), R"~((BitAndExpression | BitAndOperand) BitAndOperator BitAndOperand)~", "none"},

    {KORVO_RULE_ROW(EqualityOperator), R"~(TokenKind::Equality)~", "none"},
    {KORVO_RULE_ROW(EqualityOperand), R"~(RelationalExpression | RelationalOperand)~", "none"},
    {KORVO_RULE_ROW(EqualityExpression), R"~((EqualityExpression | EqualityOperand) EqualityOperator EqualityOperand)~",
     "none"},

    {KORVO_RULE_ROW(RelationalOperator), R"~(">=" | ">" | "<=" | "<")~", "none"},
    {KORVO_RULE_ROW(RelationalOperand), R"~(ShiftExpression | ShiftOperand)~", "none"},
    {KORVO_RULE_ROW(RelationalExpression),
     R"~((RelationalExpression | RelationalOperand) RelationalOperator RelationalOperand)~", "none"},

    // There is no ">>" token: a right shift is two ">" records in a row,
    // whatever white space or comments stood between them.
    {KORVO_RULE_ROW(ShiftOperator), R"~("<<" | ">" ">")~", "none"},
    {KORVO_RULE_ROW(ShiftOperand), R"~(AdditiveExpression | AdditiveOperand)~", "none"},
    {KORVO_RULE_ROW(ShiftExpression), R"~((ShiftExpression | ShiftOperand) ShiftOperator ShiftOperand)~", "none"},

    {KORVO_RULE_ROW(AdditiveOperator), R"~(TokenKind::Additive)~", "none"},
    {KORVO_RULE_ROW(AdditiveOperand), R"~(MultiplicativeExpression | MultiplicativeOperand)~", "none"},
    {KORVO_RULE_ROW(AdditiveExpression), R"~((AdditiveExpression | AdditiveOperand) AdditiveOperator AdditiveOperand)~",
     "none"},

    {KORVO_RULE_ROW(MultiplicativeOperator), R"~(TokenKind::Multiplicative)~", "none"},
    {KORVO_RULE_ROW(MultiplicativeOperand), R"~(UnaryExpression | UnaryOperand)~", "none"},
    {KORVO_RULE_ROW(MultiplicativeExpression),
     R"~((MultiplicativeExpression | MultiplicativeOperand) MultiplicativeOperator MultiplicativeOperand)~", "none"},

    {KORVO_RULE_ROW(PrefixOperator), R"~(TokenKind::Not | TokenKind::IncDec | TokenKind::Additive)~", "none"},
    {KORVO_RULE_ROW(UnaryOperand), R"~(PrimaryExpression)~", "none"},
    // The prefix form's operand is a memo test of this rule at the next record,
    // so -n++ groups as (-n)++ through the re-entry after the prefix reduction.
    {KORVO_RULE_ROW(UnaryExpression),
     R"~(PrefixOperator (UnaryExpression | UnaryOperand) | (UnaryExpression | UnaryOperand) TokenKind::IncDec)~",
     "none"},

    {KORVO_RULE_ROW(Literal),
     R"~(TokenKind::HexInteger | TokenKind::LongInteger | TokenKind::Integer | TokenKind::Float)~"
     R"~( | TokenKind::String | TokenKind::Char)~",
     "none"},
};

}  // namespace

GrammarRuleTable expressionRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
