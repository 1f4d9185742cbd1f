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
    {95, "AssignmentOperator", R"~(TokenKind::CompoundAssignment | "=")~", "none"},
    {96, "Assignment", R"~(PrimaryExpression AssignmentOperator Expression)~", "none"},
    {97, "Conditional", R"~(Expression "?" Expression ":" Expression)~", R"~(24 at ":")~"},

    {98, "LogicalOrOperator", R"~("||")~", "none"},
    {99, "LogicalOrOperand", R"~(LogicalAndExpression | LogicalAndOperand)~", "none"},
    {100, "LogicalOrExpression", R"~((LogicalOrExpression | LogicalOrOperand) LogicalOrOperator LogicalOrOperand)~",
     "none"},

    {101, "LogicalAndOperator", R"~("&&")~", "none"},
    {102, "LogicalAndOperand", R"~(BitOrExpression | BitOrOperand)~", "none"},
    {103, "LogicalAndExpression",
     R"~((LogicalAndExpression | LogicalAndOperand) LogicalAndOperator LogicalAndOperand)~", "none"},

    {104, "BitOrOperator", R"~("|")~", "none"},
    {105, "BitOrOperand", R"~(XorExpression | XorOperand)~", "none"},
    {106, "BitOrExpression", R"~((BitOrExpression | BitOrOperand) BitOrOperator BitOrOperand)~", "none"},

    {107, "XorOperator", R"~("^")~", "none"},
    {108, "XorOperand", R"~(BitAndExpression | BitAndOperand)~", "none"},
    {109, "XorExpression", R"~((XorExpression | XorOperand) XorOperator XorOperand)~", "none"},

    {110, "BitAndOperator", R"~("&")~", "none"},
    {111, "BitAndOperand", R"~(EqualityExpression | EqualityOperand)~", "none"},
    {112, "BitAndExpression", R"~((BitAndExpression | BitAndOperand) BitAndOperator BitAndOperand)~", "none"},

    {113, "EqualityOperator", R"~(TokenKind::Equality)~", "none"},
    {114, "EqualityOperand", R"~(RelationalExpression | RelationalOperand)~", "none"},
    {115, "EqualityExpression", R"~((EqualityExpression | EqualityOperand) EqualityOperator EqualityOperand)~",
     "none"},

    {116, "RelationalOperator", R"~(">=" | ">" | "<=" | "<")~", "none"},
    {117, "RelationalOperand", R"~(ShiftExpression | ShiftOperand)~", "none"},
    {118, "RelationalExpression",
     R"~((RelationalExpression | RelationalOperand) RelationalOperator RelationalOperand)~", "none"},

    // There is no ">>" token: a right shift is two ">" records in a row,
    // whatever white space or comments stood between them.
    {119, "ShiftOperator", R"~("<<" | ">" ">")~", "none"},
    {120, "ShiftOperand", R"~(AdditiveExpression | AdditiveOperand)~", "none"},
    {121, "ShiftExpression", R"~((ShiftExpression | ShiftOperand) ShiftOperator ShiftOperand)~", "none"},

    {122, "AdditiveOperator", R"~(TokenKind::Additive)~", "none"},
    {123, "AdditiveOperand", R"~(MultiplicativeExpression | MultiplicativeOperand)~", "none"},
    {124, "AdditiveExpression", R"~((AdditiveExpression | AdditiveOperand) AdditiveOperator AdditiveOperand)~",
     "none"},

    {125, "MultiplicativeOperator", R"~(TokenKind::Multiplicative)~", "none"},
    {126, "MultiplicativeOperand", R"~(UnaryExpression | UnaryOperand)~", "none"},
    {127, "MultiplicativeExpression",
     R"~((MultiplicativeExpression | MultiplicativeOperand) MultiplicativeOperator MultiplicativeOperand)~", "none"},

    {128, "PrefixOperator", R"~(TokenKind::Not | TokenKind::IncDec | TokenKind::Additive)~", "none"},
    {129, "UnaryOperand", R"~(PrimaryExpression)~", "none"},
    // The prefix form's operand is a memo test of this rule at the next record,
    // so -n++ groups as (-n)++ through the re-entry after the prefix reduction.
    {130, "UnaryExpression",
     R"~(PrefixOperator (UnaryExpression | UnaryOperand) | (UnaryExpression | UnaryOperand) TokenKind::IncDec)~",
     "none"},

    {131, "Literal",
     R"~(TokenKind::HexInteger | TokenKind::LongInteger | TokenKind::Integer | TokenKind::Float)~"
     R"~( | TokenKind::String | TokenKind::Char)~",
     "none"},
};

}  // namespace

GrammarRuleTable expressionRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
