// The outermost level of a source file: top-level items, packages, the
// "@Declare" directive, using blocks, include and require directives, and
// annotations. Rule 215 is the entry of the whole grammar.
#include "syntax/rules.h"

namespace {

const GrammarRuleRow kRules[] = {
    // Matches an empty or wholly unparsable text too, covering nothing.
    {215, "CompilationUnit", R"~(TopLevelItems?)~", "none"},
    // The order is the priority: "@Declare" first, a method before a variable
    // declaration, the type declarations after both, a global statement last.
    {214, "TopLevelItems",
     R"~(TopLevelItems? AnnotationList? (DeclareDirective | MethodDefinition | UsingBlock | IncludeDirective)~"
     R"~( | RequireDirective | NativeImportBlock | PackageDeclaration | DeclarationStatement | ClassDeclaration)~"
     R"~( | EnumDeclaration | InterfaceDeclaration | Expression ";"))~",
     R"~(3 at ";")~"},
    {210, "DeclareDirective",
     R"~("@Declare" (PackageDeclaration | ClassDeclaration | EnumDeclaration | InterfaceDeclaration))~", "none"},
    {209, "PackageDeclaration", R"~("package" Identifier "{" PackageMember? "}" ";")~", "none"},
    {208, "PackageMember",
     R"~(PackageMember? AnnotationList? AccessModifier?)~"
     R"~( (PackageDeclaration | ClassDeclaration | EnumDeclaration | InterfaceDeclaration))~",
     "none"},
    {187, "UsingBlock", R"~("using" "{" UsingItem "}" ";")~", "none"},
    {186, "UsingItem", R"~(UsingItem? DottedName ";")~", "none"},
    {185, "DottedName", R"~(DottedName "." Identifier | Identifier)~", "none"},
    // Not followed by ";": the directive ends at its ")".
    {184, "IncludeDirective", R"~("include" "(" StringList ")")~", R"~(2 at "(", 4 at ")")~"},
    {183, "RequireDirective", R"~("require" "(" StringList ")")~", R"~(2 at "(", 4 at ")")~"},
    {182, "StringList", R"~((StringList ",")? TokenKind::String)~", "none"},
    {213, "AnnotationList", R"~(AnnotationList? Annotation)~", "none"},
    // The argument group is all or nothing: @A() is no annotation with an
    // empty list, its "(" is left to the enclosing rule.
    {212, "Annotation", R"~("@" Identifier ("(" AnnotationArguments ")")?)~", R"~(2 at "(", 4 at ")")~"},
    {211, "AnnotationArguments", R"~((AnnotationArguments ",")? Identifier ("=" (Identifier | Literal))?)~",
     "none"},
};

}  // namespace

GrammarRuleTable unitRules() { return {kRules, sizeof(kRules) / sizeof(kRules[0])}; }
