// Statements of method bodies. There is no empty statement: a ";" alone is
// refused, so for (;;); and a class without the extra ";" in a body fail.
#include "syntax/rules.h"

namespace {

const GrammarRuleRow kRules[] = {
    {150, "Statement",
     R"~(SynchronizedBlock | IfStatement | ForEachStatement | ForToStatement | ForStatement | WhileStatement)~"
     R"~( | DoWhileStatement | SwitchStatement | TryStatement | DeclarationStatement | MethodDefinition)~"
     R"~( | (ClassDeclaration | Expression | "break" | "continue" | ThrowStatement | ReturnStatement) ";")~",
     R"~(3 at ";")~"},
    // The hint on a missing "{" is left before the single statement is tried.
    {172, "StatementBody", R"~("{" StatementList? "}" | Statement)~", R"~(5 at "{", 6 at "}")~"},
    {173, "StatementList", R"~(StatementList? StatementBody)~", "none"},
    {158, "SynchronizedBlock",
     R"~(("synchronized" | "synchronized_read" | "synchronized_write") "(" (MemberAccess | Identifier) ")")~"
     R"~( "{" StatementList? "}")~",
     R"~(2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {159, "IfStatement", R"~("if" "(" Expression ")" StatementBody ("else" StatementBody)?)~",
     R"~(2 at "(", 4 at ")")~"},
    // The three loops share "for" "(" and are told apart in this order: a
    // header with ":" iterates, one with "=" ... "to" counts, the rest is classic.
    {164, "ForEachStatement", R"~("for" "(" TypeReference Identifier? ":" Expression ")" StatementBody)~",
     R"~(2 at "(", 24 at ":", 4 at ")")~"},
    {165, "ForToStatement",
     R"~("for" "(" TypeReference Identifier? "=" Expression "to" Expression ")" StatementBody)~",
     R"~(2 at "(", 4 at ")")~"},
    {163, "ForStatement", R"~("for" "(" ForInit? ";" ForCondition? ";" ForStep? ")" StatementBody)~",
     R"~(2 at "(", 3 at each ";", 4 at ")")~"},
    {160, "ForInit", R"~((ForInit ",")? (VariableDeclaration | Expression))~", "none"},
    {162, "ForCondition", R"~(Expression)~", "none"},
    {161, "ForStep", R"~((ForStep ",")? Expression)~", "none"},
    {166, "WhileStatement", R"~("while" "(" Expression ")" StatementBody)~", R"~(2 at "(", 4 at ")")~"},
    {167, "DoWhileStatement", R"~("do" StatementBody "while" "(" Expression ")" ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    {169, "SwitchStatement", R"~("switch" "(" Expression ")" "{" CaseGroup "}")~",
     R"~(2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {168, "CaseGroup", R"~(CaseGroup? ("case" Expression | "default") ":" StatementList?)~", R"~(24 at ":")~"},
    {171, "TryStatement", R"~("try" "{" StatementList? "}" CatchClause? ("finally" "{" StatementList? "}")?)~",
     R"~(5 at each "{", 6 at each "}")~"},
    // The caught type is parsed as an expression; the name is required.
    {170, "CatchClause", R"~(CatchClause? "catch" "(" Expression Identifier ")" "{" StatementList? "}")~",
     R"~(2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {148, "ReturnStatement", R"~("return" Expression?)~", "none"},
    {149, "ThrowStatement", R"~("throw" Expression)~", "none"},
    {179, "DeclarationStatement", R"~(VariableDeclaration ";")~", R"~(3 at ";")~"},
    {178, "VariableDeclaration", R"~("static"? "const"? TypeReference DeclaratorList)~", "none"},
    {174, "DeclaratorList", R"~((DeclaratorList ",")? Identifier ("=" Expression)?)~", "none"},
};

}  // namespace

GrammarRuleTable statementRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
