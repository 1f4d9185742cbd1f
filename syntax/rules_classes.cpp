// Classes, enums and interfaces, their base clauses and the members of their
// bodies. An access keyword is never a member of its own: it prefixes the
// member that follows it.
#include "syntax/rules.h"

namespace {

const GrammarRuleRow kRules[] = {
    // The modifiers are one of four fixed sequences; nothing else (no access
    // keyword, "const" or "override") stands before "class".
    {KORVO_RULE_ROW(ClassDeclaration),
     R"~(("final" "static" | "static" "final" | "final" | "static")? "class" Identifier)~"
     R"~( ("<" TypeArgumentList ">")? ClassBaseList? "{" ClassMember? "}" ";")~",
     R"~(22 at "<", 23 at ">", 5 at "{", 6 at "}", 3 at ";")~"},
    // The bracketed list is tried before the single type.
    {KORVO_RULE_ROW(ClassBaseList), R"~(":" AccessModifier? ("<" TypeArgumentList ">" | TypeReference))~",
     R"~(24 at ":", 22 at "<", 23 at ">", 15 at TypeReference)~"},
    {KORVO_RULE_ROW(EnumDeclaration), R"~("final"? "enum" Identifier EnumBase? "{" EnumItemList? "}" ";")~",
     R"~(5 at "{", 6 at "}", 3 at ";")~"},
    {KORVO_RULE_ROW(EnumBase), R"~(":" AccessModifier? TypeReference)~", R"~(24 at ":")~"},
    // A missing name after "," ends the list before the ",": no trailing comma.
    {KORVO_RULE_ROW(EnumItemList), R"~((EnumItemList ",")? Identifier ("=" Expression)?)~", R"~(18 at Identifier)~"},
    {KORVO_RULE_ROW(InterfaceDeclaration),
     R"~("interface" Identifier InterfaceBaseList? "{" AnnotatedInterfaceMember? "}" ";")~",
     R"~(5 at "{", 6 at "}", 3 at ";")~"},
    {KORVO_RULE_ROW(InterfaceBaseList), R"~(":" AccessModifier? TypeReference)~", R"~(24 at ":")~"},
    {KORVO_RULE_ROW(AnnotatedInterfaceMember),
     R"~(AnnotatedInterfaceMember? AnnotationList? InterfaceMember)~", "none"},
    {KORVO_RULE_ROW(InterfaceMember), R"~(InterfaceMethod | InterfaceOperator | InterfaceDeclaration)~", "none"},
    // Method members (constructors first) before bodiless declarations, and a
    // variable declaration last.
    {KORVO_RULE_ROW(ClassMember),
     R"~(ClassMember? AnnotationList? AccessModifier? (MethodMember | InterfaceMember | NativeImportBlock)~"
     R"~( | NativeFunctionDeclaration | ClassDeclaration | EnumDeclaration | InterfaceDeclaration)~"
     R"~( | DeclarationStatement))~",
     "none"},
    {KORVO_RULE_ROW(AccessModifier), R"~("public" | "protected" | "private")~", "none"},
};

}  // namespace

GrammarRuleTable classRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
