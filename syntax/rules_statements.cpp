// Statements of method bodies. There is no empty statement: a ";" alone is
// refused, so for (;;); and a class without the extra ";" in a body fail.
#include "syntax/rules.h"

namespace {

const GrammarRuleRow kRules[] = {
    {KORVO_RULE_ROW(Statement),
     R"~(SynchronizedBlock | IfStatement | ForEachStatement | ForToStatement | ForStatement | WhileStatement)~"
     R"~( | DoWhileStatement | SwitchStatement | TryStatement | DeclarationStatement | MethodDefinition)~"
     R"~( | (ClassDeclaration | Expression | "break" | "continue" | ThrowStatement | ReturnStatement) ";")~",
     R"~(3 at ";")~"},
    // The hint on a missing "{" is left before the single statement is tried.
    {KORVO_RULE_ROW(StatementBody), R"~("{" StatementList? "}" | Statement)~", R"~(5 at "{", 6 at "}")~"},
    {KORVO_RULE_ROW(StatementList), R"~(StatementList? StatementBody)~", "none"},
    {KORVO_RULE_ROW(SynchronizedBlock),
     R"~(("synchronized" | "synchronized_read" | "synchronized_write") "(" (MemberAccess | Identifier) ")")~"
     R"~( "{" StatementList? "}")~",
     R"~(2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {KORVO_RULE_ROW(IfStatement), R"~("if" "(" Expression ")" StatementBody ("else" StatementBody)?)~",
     R"~(2 at "(", 4 at ")")~"},
    // The three loops share "for" "(" and are told apart in this order: a
    // header with ":" iterates, one with "=" ... "to" counts, the rest is classic.
    {KORVO_RULE_ROW(ForEachStatement), R"~("for" "(" TypeReference Identifier? ":" Expression ")" StatementBody)~",
     R"~(2 at "(", 24 at ":", 4 at ")")~"},
    {KORVO_RULE_ROW(ForToStatement),
     R"~("for" "(" TypeReference Identifier? "=" Expression "to" Expression ")" StatementBody)~",
     R"~(2 at "(", 4 at ")")~"},
    {KORVO_RULE_ROW(ForStatement), R"~("for" "(" ForInit? ";" ForCondition? ";" ForStep? ")" StatementBody)~",
     R"~(2 at "(", 3 at each ";", 4 at ")")~"},
    {KORVO_RULE_ROW(ForInit), R"~((ForInit ",")? (VariableDeclaration | Expression))~", "none"},
    {KORVO_RULE_ROW(ForCondition), R"~(Expression)~", "none"},
    {KORVO_RULE_ROW(ForStep), R"~((ForStep ",")? Expression)~", "none"},
    {KORVO_RULE_ROW(WhileStatement), R"~("while" "(" Expression ")" StatementBody)~", R"~(2 at "(", 4 at ")")~"},
    {KORVO_RULE_ROW(DoWhileStatement), R"~("do" StatementBody "while" "(" Expression ")" ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    {KORVO_RULE_ROW(SwitchStatement), R"~("switch" "(" Expression ")" "{" CaseGroup "}")~",
     R"~(2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {KORVO_RULE_ROW(CaseGroup), R"~(CaseGroup? ("case" Expression | "default") ":" StatementList?)~", R"~(24 at ":")~"},
    {KORVO_RULE_ROW(TryStatement), R"~("try" "{" StatementList? "}" CatchClause? ("finally" "{" StatementList? "}")?)~",
     R"~(5 at each "{", 6 at each "}")~"},
    // The caught type is parsed as an expression; the name is required.
    {KORVO_RULE_ROW(CatchClause), R"~(CatchClause? "catch" "(" Expression Identifier ")" "{" StatementList? "}")~",
     R"~(2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {KORVO_RULE_ROW(ReturnStatement), R"~("return" Expression?)~", "none"},
    {KORVO_RULE_ROW(ThrowStatement), R"~("throw" Expression)~", "none"},
    {KORVO_RULE_ROW(DeclarationStatement), R"~(VariableDeclaration ";")~", R"~(3 at ";")~"},
    {KORVO_RULE_ROW(VariableDeclaration), R"~("static"? "const"? TypeReference DeclaratorList)~", "none"},
    {KORVO_RULE_ROW(DeclaratorList), R"~((DeclaratorList ",")? Identifier ("=" Expression)?)~", "none"},
};

}  // namespace

GrammarRuleTable statementRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
