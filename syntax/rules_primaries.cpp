// Operands and types: names, operator names, member access, subscripts,
// calls, generic and array types, the four "new" forms, parentheses, casts,
// brace initialisers, argument and type-argument lists, and the two rules
// that join them with the operator levels.
//
// The order of PrimaryExpression is the priority: a cast comes first, so a
// parenthesised part directly followed by a primary expression is always a
// cast; the postfix chains come before the plain forms they start with.
#include "syntax/rules.h"

namespace {

const GrammarRuleRow kRules[] = {
    {132, "Identifier", R"~(TokenKind::Identifier)~", "none"},
    {133, "OperatorName", R"~("operator" OperatorSymbol | Identifier)~", "none"},
    {134, "MemberAccess", R"~((MemberAccess | GenericType | Parenthesized | Identifier | Literal) "." OperatorName)~",
     "none"},
    {135, "Subscript", R"~((Subscript | MemberAccess | Parenthesized | Identifier) "[" Expression "]")~",
     R"~(20 at "[", 21 at "]")~"},
    // Not left-recursive: T<A><B> is no type.
    {136, "GenericType", R"~((MemberAccess | Parenthesized | Identifier) "<" TypeArgumentList ">")~",
     R"~(22 at "<", 23 at ">")~"},
    {137, "NewObject",
     R"~("new" (GenericType | MemberAccess | Parenthesized | Identifier) "(" ArgumentList? ")")~",
     R"~(2 at "(", 4 at ")")~"},
    {138, "ArrayType", R"~((ArrayType | GenericType | MemberAccess | Parenthesized | Identifier) "[" "]")~",
     R"~(20 at "[", 21 at "]")~"},
    {139, "ArrayDimensions",
     R"~((ArrayDimensions | GenericType | MemberAccess | Parenthesized | Identifier) "[" Expression "]")~",
     R"~(20 at "[", 21 at "]")~"},
    {140, "NewArray", R"~("new" ArrayDimensions)~", "none"},
    {141, "NewArrayWithInitializer", R"~("new" ArrayType BraceInitializer)~", "none"},
    {142, "MemberAccessChain",
     R"~((MemberAccessChain | NewArrayWithInitializer | NewArray | NewObject | SubscriptChain | Subscript | Call)~"
     R"~( | NewWithClassBody) "." OperatorName)~",
     "none"},
    {143, "SubscriptChain", R"~((SubscriptChain | Call | MemberAccessChain) "[" Expression "]")~",
     R"~(20 at "[", 21 at "]")~"},
    // A plain name is reached through OperatorName's second alternative.
    {144, "Call", R"~((MemberAccessChain | MemberAccess | OperatorName | GenericType) "(" ArgumentList? ")")~",
     R"~(2 at "(", 4 at ")")~"},
    {145, "TypeReference", R"~(ArrayType | MemberAccess | GenericType | Identifier)~", "none"},
    // The inner Parenthesized stands at the next record and is a memo test
    // only; nested parentheses are otherwise matched through Expression.
    {146, "Parenthesized", R"~("(" (Parenthesized | ArrayType | Expression) ")")~", R"~(2 at "(", 4 at ")")~"},
    {147, "Cast", R"~(Parenthesized PrimaryExpression)~", "none"},
    {151, "PrimaryExpression",
     R"~(Cast | BraceInitializer | Call | SubscriptChain | MemberAccessChain | NewWithClassBody)~"
     R"~( | NewArrayWithInitializer | NewArray | NewObject | GenericType | Subscript | MemberAccess)~"
     R"~( | Parenthesized | Identifier | Literal)~",
     "none"},
    {152, "OperatorExpression",
     R"~(Assignment | Conditional | LogicalOrExpression | LogicalAndExpression | BitOrExpression)~"
     R"~( | XorExpression | BitAndExpression | EqualityExpression | RelationalExpression | ShiftExpression)~"
     R"~( | AdditiveExpression | MultiplicativeExpression | UnaryExpression)~",
     "none"},
    {153, "Expression", R"~(OperatorExpression | PrimaryExpression)~", "none"},
    {154, "NewWithClassBody", R"~(NewObject "{" ClassMember? "}")~", R"~(5 at "{", 6 at "}")~"},
    // "&" only marks an argument; the listener gives it a meaning.
    {155, "ArgumentList", R"~((ArgumentList ",")? "&"? Expression)~", "none"},
    {156, "TypeArgumentList", R"~((TypeArgumentList ",")? (Identifier ":" TypeReference | TypeReference))~", "none"},
    // At least one element: {} is no expression.
    {157, "BraceInitializer", R"~("{" ArgumentList "}")~", R"~(5 at "{", 6 at "}")~"},
};

}  // namespace

GrammarRuleTable primaryRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
