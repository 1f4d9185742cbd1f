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
    {192, "MethodMember", R"~(ConstructorDefinition | ConstructorDeclaration | MethodDefinition | OperatorDefinition)~",
     "none"},
    {188, "MethodDefinition",
     R"~(("final" "static" | "static" "final" | "final" | "static" | "cdecl" | "stdcall" | "fastcall" | "pascal")?)~"
     R"~( ("<" TypeArgumentList ">")? TypeReference Identifier "(" ParameterList? ")" "override"? ThrowsClause?)~"
     R"~( "{" StatementList? "}")~",
     R"~(22 at "<", 23 at ">", 2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {189, "ConstructorDefinition", R"~(Identifier "(" ParameterList? ")" ThrowsClause? "{" StatementList? "}")~",
     R"~(2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {190, "ConstructorDeclaration", R"~(Identifier "(" ParameterList? ")" ThrowsClause? ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    {191, "OperatorDefinition",
     R"~(("final" "static" | "static" "final" | "final" | "static")? ("<" TypeArgumentList ">")? TypeReference)~"
     R"~( "operator" OperatorSymbol "(" ParameterList? ")" "override"? ThrowsClause? "{" StatementList? "}")~",
     R"~(22 at "<", 23 at ">", 2 at "(", 4 at ")", 5 at "{", 6 at "}")~"},
    {203, "InterfaceMethod",
     R"~(("final" "static" | "static" "final" | "final" | "static")? TypeReference Identifier)~"
     R"~( "(" ParameterList? ")" ThrowsClause? ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    {204, "InterfaceOperator",
     R"~(("final" "static" | "static" "final" | "final" | "static")? TypeReference "operator" OperatorSymbol)~"
     R"~( "(" ParameterList? ")" ThrowsClause? ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    // A parameter may be a type alone.
    {180, "ParameterList", R"~((ParameterList ",")? AnnotationList? TypeReference Identifier?)~", "none"},
    {176, "ThrowsClause", R"~("throws" TypeNameList)~", "none"},
    {175, "TypeNameList", R"~((TypeNameList ",")? TypeReference)~", "none"},
    {197, "NativeImportBlock", R"~("import" TokenKind::String? "{" NativeFunctionList? "}" ";")~",
     R"~(5 at "{", 6 at "}", 3 at ";")~"},
    // Matches nothing as well: an import block may be empty.
    {196, "NativeFunctionList", R"~(NativeFunctionList? NativeFunctionDeclaration?)~", "none"},
    {195, "NativeFunctionDeclaration",
     R"~(TypeReference ("cdecl" | "stdcall" | "fastcall" | "pascal")? Identifier "(" NativeParameterList? ")" ";")~",
     R"~(2 at "(", 4 at ")", 3 at ";")~"},
    // The pointer mark is any multiplicative token or "&"; the listener reads
    // which. "..." is a whole parameter.
    {181, "NativeParameterList",
     R"~((NativeParameterList ",")? (Identifier (TokenKind::Multiplicative | "&")? Identifier? | "..."))~", "none"},
};

}  // namespace

GrammarRuleTable memberRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
