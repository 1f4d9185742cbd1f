// The outermost level of a source file: top-level items, packages, the
// "@Declare" directive, using blocks, include and require directives, and
// annotations. Rule 215 is the entry of the whole grammar.
#include "syntax/rules.h"

namespace {

const GrammarRuleRow kRules[] = {
    // Matches an empty or wholly unparsable text too, covering nothing.
    {KORVO_RULE_ROW(CompilationUnit), R"~(TopLevelItems?)~", "none"},
    // The order is the priority: "@Declare" first, a method before a variable
    // declaration, the type declarations after both, a global statement last.
    {KORVO_RULE_ROW(TopLevelItems),
     R"~(TopLevelItems? AnnotationList? (DeclareDirective | MethodDefinition | UsingBlock | IncludeDirective)~"
     R"~( | RequireDirective | NativeImportBlock | PackageDeclaration | DeclarationStatement | ClassDeclaration)~"
     R"~( | EnumDeclaration | InterfaceDeclaration | Expression ";"))~",
     R"~(3 at ";")~"},
    {KORVO_RULE_ROW(DeclareDirective),
     R"~("@Declare" (PackageDeclaration | ClassDeclaration | EnumDeclaration | InterfaceDeclaration))~", "none"},
    {KORVO_RULE_ROW(PackageDeclaration), R"~("package" Identifier "{" PackageMember? "}" ";")~", "none"},
    {KORVO_RULE_ROW(PackageMember),
     R"~(PackageMember? AnnotationList? AccessModifier?)~"
     R"~( (PackageDeclaration | ClassDeclaration | EnumDeclaration | InterfaceDeclaration))~",
     "none"},
    {KORVO_RULE_ROW(UsingBlock), R"~("using" "{" UsingItem "}" ";")~", "none"},
    {KORVO_RULE_ROW(UsingItem), R"~(UsingItem? DottedName ";")~", "none"},
    {KORVO_RULE_ROW(DottedName), R"~(DottedName "." Identifier | Identifier)~", "none"},
    // Not followed by ";": the directive ends at its ")".
    {KORVO_RULE_ROW(IncludeDirective), R"~("include" "(" StringList ")")~", R"~(2 at "(", 4 at ")")~"},
    {KORVO_RULE_ROW(RequireDirective), R"~("require" "(" StringList ")")~", R"~(2 at "(", 4 at ")")~"},
    {KORVO_RULE_ROW(StringList), R"~((StringList ",")? TokenKind::String)~", "none"},
    {KORVO_RULE_ROW(AnnotationList), R"~(AnnotationList? Annotation)~", "none"},
    // The argument group is all or nothing: @A() is no annotation with an
    // empty list, its "(" is left to the enclosing rule.
    {KORVO_RULE_ROW(Annotation), R"~("@" Identifier ("(" AnnotationArguments ")")?)~", R"~(2 at "(", 4 at ")")~"},
    {KORVO_RULE_ROW(AnnotationArguments), R"~((AnnotationArguments ",")? Identifier ("=" (Identifier | Literal))?)~",
     "none"},
};

}  // namespace

GrammarRuleTable unitRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
