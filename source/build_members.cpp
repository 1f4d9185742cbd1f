// Builders of the lists that hold a program together (statement and member
// head lists, string lists, using blocks) and of annotations and native
// import blocks.
#include "foundation/ascii_case.h"
#include "foundation/text_escape.h"
#include "source/builders.h"
#include "syntax/scanner.h"

namespace build {
namespace {

bool isName(const RuleMatch& m, int k) { return m.is(k, RuleId::Identifier) || m.is(k, TokenKind::Identifier); }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return qestl::sameIgnoringAsciiCase(a.data(), a.size(), b.data(), b.size());
}

// The flag of the calling convention a Native annotation names. The value
// keeps the quotes of the string literal it was written as; a bare word
// names nothing.
uint32_t conventionOf(std::string_view value) {
    static constexpr struct {
        const char* quoted;
        uint32_t flag;
    } kConventions[] = {{"\"stdcall\"", NodeFlag::Stdcall},
                        {"\"cdecl\"", NodeFlag::Cdecl},
                        {"\"fastcall\"", NodeFlag::Fastcall},
                        {"\"pascal\"", NodeFlag::Pascal}};
    for (const auto& c : kConventions)
        if (sameIgnoringCase(value, c.quoted)) return c.flag;
    return 0;
}

uint32_t nativeConvention(const qeAbstractNode& native) {
    for (const NodeRef& parameter : native.operands) {
        if (!parameter || parameter->text.view() != "CallConvention" || parameter->operands.empty()) continue;
        const qeAbstractNode* value = parameter->operands[0].get();
        return value ? conventionOf(value->text.view()) : 0;
    }
    return 0;
}

NodeRef tokenNode(const RuleMatch& m, int k, uint32_t kind) {
    NodeRef n = m.makeRecordNode(k, kind);
    setText(*n, m.text(k));
    return n;
}

}  // namespace

uint32_t annotationFlags(const qeAbstractNode& list, bool withNative) {
    uint32_t flags = 0;
    const qeAbstractNode* firstNative = nullptr;
    for (const NodeRef& a : list.operands) {
        if (!a) continue;
        if (a->text.view() == "NotNilptr") flags |= NodeFlag::NotNilptr;
        if (a->text.view() == "Native" && !firstNative) firstNative = a.get();
    }
    if (withNative && firstNative) flags |= NodeFlag::Native | nativeConvention(*firstNative);
    return flags;
}

// StatementList: StatementList? StatementBody
// ClassMember: ClassMember? AnnotationList? AccessModifier? (MethodMember | InterfaceMember | NativeImportBlock | NativeFunctionDeclaration | ClassDeclaration | EnumDeclaration | InterfaceDeclaration | DeclarationStatement)
// AnnotatedInterfaceMember: AnnotatedInterfaceMember? AnnotationList? InterfaceMember
// PackageMember: PackageMember? AnnotationList? AccessModifier? (PackageDeclaration | ClassDeclaration | EnumDeclaration | InterfaceDeclaration)
// TopLevelItems: TopLevelItems? AnnotationList? (DeclareDirective | MethodDefinition | UsingBlock | IncludeDirective | RequireDirective | NativeImportBlock | PackageDeclaration | DeclarationStatement | ClassDeclaration | EnumDeclaration | InterfaceDeclaration | Expression ";")
void memberList(const RuleMatch& m, NodeRef& result, uint32_t ruleId) {
    NodeRef head;
    int p = 0;
    if (m.is(0, ruleId)) {
        head = m.node(0);
        p = 1;
    }
    NodeRef annotations;
    if (m.is(p, RuleId::AnnotationList)) annotations = m.node(p++);
    uint32_t access = 0;
    if (m.is(p, RuleId::AccessModifier)) {
        std::string_view word = m.text(p++);
        access = word == "public" ? NodeFlag::Public : word == "protected" ? uint32_t{NodeFlag::Protected} : 0u;
    }
    NodeRef member = m.node(p);
    if (member && annotations) {
        member->setAnnotations(annotations);
        member->flags |= NodeFlag::Annotated | annotationFlags(*annotations, true);
    }
    if (member && access != 0) member->flags |= access;
    if (head) {
        head->children.pushBack(member);
        result = std::move(head);
    } else {
        result = std::move(member);
    }
}

// AnnotationList: AnnotationList? Annotation
void annotationList(const RuleMatch& m, NodeRef& result) {
    int p;
    NodeRef list = growingList(m, RuleId::AnnotationList, NodeKind::AnnotationList, 1, p);
    m.push(*list, p);
    result = std::move(list);
}

// Annotation: "@" Identifier ("(" AnnotationArguments ")")?
void annotation(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Annotation);
    setText(*n, m.text(1));
    NodeRef arguments = m.node(3);
    if (m.count() > 2 && arguments) n->operands.swap(arguments->operands);
    result = std::move(n);
}

// AnnotationArguments: (AnnotationArguments ",")? Identifier ("=" (Identifier | Literal))?
void annotationArguments(const RuleMatch& m, NodeRef& result) {
    int p;
    NodeRef list = growingList(m, RuleId::AnnotationArguments, NodeKind::List, 2, p);
    NodeRef parameter = tokenNode(m, p, NodeKind::List);
    if (p + 1 < m.count()) pushNode(*parameter, tokenNode(m, p + 2, NodeKind::List));
    pushNode(*list, parameter);
    result = std::move(list);
}

// NativeImportBlock: "import" TokenKind::String? "{" NativeFunctionList? "}" ";"
void nativeImport(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::NativeImport);
    int p;
    if (!m.is(1, TokenKind::String)) {
        n->kind = NodeKind::DynamicNativeImport;
        setText(*n, "$dynamiclibrary");
        p = 2;
    } else {
        std::string_view quoted = m.text(1);
        qestl::qestringA unquoted(quoted.size() >= 2 ? quoted.substr(1, quoted.size() - 2) : std::string_view());
        qestl::unescape(unquoted);
        setText(*n, unquoted.view());
        p = 3;
    }
    if (m.is(p, RuleId::NativeFunctionList)) m.push(*n, p);
    result = std::move(n);
}

// NativeFunctionList: NativeFunctionList? NativeFunctionDeclaration?
void nativeFunctionList(const RuleMatch& m, NodeRef& result) {
    int p;
    NodeRef list = growingList(m, RuleId::NativeFunctionList, NodeKind::Group, 1, p);
    m.push(*list, p);
    result = std::move(list);
}

// NativeFunctionDeclaration: TypeReference ("cdecl" | "stdcall" | "fastcall" | "pascal")? Identifier "(" NativeParameterList? ")" ";"
void nativeFunction(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::NativeFunction);
    m.push(*n, 0);
    int name = 1;
    NodeRef convention = m.makeRecordNode(1, NodeKind::StringLiteral);
    if (m.is(1, TokenKind::Cdecl) || m.is(1, TokenKind::Stdcall) || m.is(1, TokenKind::Fastcall) ||
        m.is(1, TokenKind::Pascal)) {
        setText(*convention, m.text(1));
        name = 2;
    }
    pushNode(*n, convention);
    setText(*n, m.text(name));
    if (m.is(name + 2, RuleId::NativeParameterList) && m.nodePtr(name + 2)) m.push(*n, name + 2);
    else pushEmpty(*n);
    result = std::move(n);
}

// NativeParameterList: (NativeParameterList ",")? (Identifier (TokenKind::Multiplicative | "&")? Identifier? | "...")
void nativeParameterList(const RuleMatch& m, NodeRef& result) {
    int p;
    NodeRef list = growingList(m, RuleId::NativeParameterList, NodeKind::List, 2, p);
    NodeRef parameter = tokenNode(m, p, NodeKind::List);
    NodeRef marker, name;
    int q = p + 1;
    if (p + 1 < m.count() && !isName(m, p + 1)) {
        marker = tokenNode(m, p + 1, NodeKind::List);
        q = p + 2;
    }
    if (q < m.count() && isName(m, q)) name = tokenNode(m, q, NodeKind::List);
    pushNode(*parameter, marker);
    pushNode(*parameter, name);
    pushNode(*list, parameter);
    result = std::move(list);
}

// UsingItem: UsingItem? DottedName ";"
void usingItem(const RuleMatch& m, NodeRef& result) {
    int p;
    NodeRef items = growingList(m, RuleId::UsingItem, NodeKind::Using, 1, p);
    m.push(*items, p);
    result = std::move(items);
}

// DottedName: DottedName "." Identifier | Identifier
void dottedName(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::StringLiteral);
    if (m.is(0, RuleId::DottedName)) {
        m.push(*n, 0);
        setText(*n, m.text(2));
    } else {
        setText(*n, m.text(0));
    }
    result = std::move(n);
}

// StringList: (StringList ",")? TokenKind::String
void stringList(const RuleMatch& m, NodeRef& result) {
    int p;
    NodeRef list = growingList(m, RuleId::StringList, NodeKind::ArrayInitializer, 2, p);
    pushNode(*list, tokenNode(m, p, NodeKind::StringLiteral));
    result = std::move(list);
}

}  // namespace build
