// Callable members: methods, constructors, operator overloads, the bodiless
// declarations of interfaces, parameter and throws lists, and native
// functions imported from dynamic libraries.
//
// Keyword placement: a method's calling convention leads the definition and
// excludes "static"/"final"; a native function's stands after its return
// type; "override" follows ")" of a definition, never the return type.
#include "syntax/rules.h"

namespace {

const GrammarRuleRow kRules[] = {
    // A constructor form needs "(" right after its first name, so a method
    // (return type, then name) fails them and is recognised as a method.
    {KORVO_RULE_ROW(MethodMember),
     R"~(ConstructorDefinition | ConstructorDeclaration | MethodDefinition | OperatorDefinition)~",
     "none"},
    {KORVO_RULE_ROW(MethodDefinition),
     R"~(("final" "static" | "static" "final" | "final" | "static" | "cdecl" | "stdcall" | "fastcall" | "pascal")?)~"
     R"~( ("<" TypeArgumentList ">")? TypeReference Identifier "(" ParameterList? ")" "override"? ThrowsClause?)~"
     R"~( "{" StatementList? "}")~",
     R"~(22 at "<", 23 at ">", 2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {KORVO_RULE_ROW(ConstructorDefinition),
     R"~(Identifier "(" ParameterList? ")" ThrowsClause? "{" StatementList? "}")~",
     R"~(2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {KORVO_RULE_ROW(ConstructorDeclaration), R"~(Identifier "(" ParameterList? ")" ThrowsClause? ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    {KORVO_RULE_ROW(OperatorDefinition),
     R"~(("final" "static" | "static" "final" | "final" | "static")? ("<" TypeArgumentList ">")? TypeReference)~"
     R"~( "operator" OperatorSymbol "(" ParameterList? ")" "override"? ThrowsClause? "{" StatementList? "}")~",
     R"~(22 at "<", 23 at ">", 2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {KORVO_RULE_ROW(InterfaceMethod),
     R"~(("final" "static" | "static" "final" | "final" | "static")? TypeReference Identifier)~"
     R"~( "(" ParameterList? ")" ThrowsClause? ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    {KORVO_RULE_ROW(InterfaceOperator),
     R"~(("final" "static" | "static" "final" | "final" | "static")? TypeReference "operator" OperatorSymbol)~"
     R"~( "(" ParameterList? ")" ThrowsClause? ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    // A parameter may be a type alone.
    {KORVO_RULE_ROW(ParameterList), R"~((ParameterList ",")? AnnotationList? TypeReference Identifier?)~", "none"},
    {KORVO_RULE_ROW(ThrowsClause), R"~("throws" TypeNameList)~", "none"},
    {KORVO_RULE_ROW(TypeNameList), R"~((TypeNameList ",")? TypeReference)~", "none"},
    {KORVO_RULE_ROW(NativeImportBlock), R"~("import" TokenKind::String? "{" NativeFunctionList? "}" ";")~",
     R"~(5 at "{", 6 at "}", 3 at ";")~"},
    // Matches nothing as well: an import block may be empty.
    {KORVO_RULE_ROW(NativeFunctionList), R"~(NativeFunctionList? NativeFunctionDeclaration?)~", "none"},
    {KORVO_RULE_ROW(NativeFunctionDeclaration),
     R"~(TypeReference ("cdecl" | "stdcall" | "fastcall" | "pascal")? Identifier "(" NativeParameterList? ")" ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    // The pointer mark is any multiplicative token or "&"; the listener reads
    // which. "..." is a whole parameter.
    {KORVO_RULE_ROW(NativeParameterList),
     R"~((NativeParameterList ",")? (Identifier (TokenKind::Multiplicative | "&")? Identifier? | "..."))~", "none"},
};

}  // namespace

GrammarRuleTable memberRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
