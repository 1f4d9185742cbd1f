// Builders of declarations: classes, interfaces, enums and packages, methods,
// constructors and operators, variable declarations with their declarators,
// parameter lists and base clauses.
#include <string>

#include "source/builders.h"

namespace build {
namespace {

// "static" and "final" in either order at the start; returns the position
// after them.
int leadingModifiers(const RuleMatch& m, uint32_t& flags) {
    if (m.is(0, TokenKind::Static)) {
        if (m.is(1, TokenKind::Final)) {
            flags |= NodeFlag::Static | NodeFlag::Final;
            return 2;
        }
        flags |= NodeFlag::Static;
        return 1;
    }
    if (m.is(0, TokenKind::Final)) {
        if (m.is(1, TokenKind::Static)) {
            flags |= NodeFlag::Static | NodeFlag::Final;
            return 2;
        }
        flags |= NodeFlag::Final;
        return 1;
    }
    return 0;
}

// A method may carry one calling convention in place of the modifiers; it is
// kept in the same bits the Native annotation sets.
int callingConvention(const RuleMatch& m, uint32_t& flags) {
    static constexpr struct {
        uint32_t token, flag;
    } kConventions[] = {{TokenKind::Cdecl, NodeFlag::Cdecl},
                        {TokenKind::Stdcall, NodeFlag::Stdcall},
                        {TokenKind::Fastcall, NodeFlag::Fastcall},
                        {TokenKind::Pascal, NodeFlag::Pascal}};
    for (const auto& c : kConventions) {
        if (m.is(0, c.token)) {
            flags |= c.flag;
            return 1;
        }
    }
    return 0;
}

// Parameter list, "override", throws clause and body of a method or operator
// whose "(" stands at `open`.
void callableTail(const RuleMatch& m, qeAbstractNode& n, int open, bool endMarker) {
    int p;
    if (m.is(open + 1, RuleId::ParameterList)) {
        m.push(n, open + 1);
        p = open + 3;
    } else {
        pushEmpty(n);
        p = open + 2;
    }
    if (m.is(p, TokenKind::Override)) {
        n.flags |= NodeFlag::Override;
        ++p;
    }
    if (m.is(p, RuleId::ThrowsClause)) {
        m.push(n, p);
        p += 2;
    } else {
        pushEmpty(n);
        p += 1;
    }
    if (p >= m.count()) return;
    if (m.is(p, RuleId::StatementList)) {
        m.push(n, p);
        if (endMarker) pushNode(n, m.makeRecordNode(p + 1, NodeKind::Empty));
    } else {
        pushNode(n, m.makeRecordNode(p, NodeKind::Empty));
    }
}

void trimEnds(std::string& text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    text = text.substr(b, e - b);
}

}  // namespace

// ClassDeclaration: ("final" "static" | "static" "final" | "final" | "static")? "class" Identifier ("<" TypeArgumentList ">")? ClassBaseList? "{" ClassMember? "}" ";"
// EnumDeclaration: "final"? "enum" Identifier EnumBase? "{" EnumItemList? "}" ";"
// InterfaceDeclaration: "interface" Identifier InterfaceBaseList? "{" AnnotatedInterfaceMember? "}" ";"
// PackageDeclaration: "package" Identifier "{" PackageMember? "}" ";"
void typeDeclaration(const RuleMatch& m, NodeRef& result, TypeSort sort) {
    NodeRef n = m.makeNode(NodeKind::Class);
    int p = leadingModifiers(m, n->flags);
    switch (sort) {
    case TypeSort::Interface: n->flags |= NodeFlag::Interface; break;
    case TypeSort::Package: n->flags |= NodeFlag::Package; break;
    case TypeSort::Enum: n->flags |= NodeFlag::Enum; break;
    case TypeSort::Class: break;
    }
    setNameText(*n, m, p + 1);
    p += 2;
    if (m.is(p, TokenKind::Less)) {
        m.push(*n, p + 1);
        n->kind = NodeKind::TemplateClass;
        p += 3;
    }
    if (m.is(p, RuleId::ClassBaseList) || m.is(p, RuleId::InterfaceBaseList) || m.is(p, RuleId::EnumBase)) {
        m.push(*n, p);
        ++p;
    } else {
        pushEmpty(*n);
    }
    if (m.is(p + 1, RuleId::ClassMember) || m.is(p + 1, RuleId::PackageMember) ||
        m.is(p + 1, RuleId::AnnotatedInterfaceMember) || m.is(p + 1, RuleId::EnumItemList)) {
        m.push(*n, p + 1);
        pushNode(*n, m.makeRecordNode(p + 2, NodeKind::Empty));
    } else {
        pushEmpty(*n);
    }
    result = std::move(n);
}

// MethodDefinition: ("final" "static" | "static" "final" | "final" | "static" | "cdecl" | "stdcall" | "fastcall" | "pascal")? ("<" TypeArgumentList ">")? TypeReference Identifier "(" ParameterList? ")" "override"? ThrowsClause? "{" StatementList? "}"
// ConstructorDefinition: Identifier "(" ParameterList? ")" ThrowsClause? "{" StatementList? "}"
// ConstructorDeclaration: Identifier "(" ParameterList? ")" ThrowsClause? ";"
// InterfaceMethod: ("final" "static" | "static" "final" | "final" | "static")? TypeReference Identifier "(" ParameterList? ")" ThrowsClause? ";"
void method(const RuleMatch& m, NodeRef& result, MethodSort sort) {
    NodeRef n = m.makeNode(NodeKind::Method);
    if (sort == MethodSort::Bodiless) n->flags |= NodeFlag::Bodiless;
    int name;
    if (m.is(1, TokenKind::LeftParen)) {
        pushEmpty(*n);
        pushEmpty(*n);
        name = 0;
    } else {
        int at = callingConvention(m, n->flags);
        if (at == 0) at = leadingModifiers(m, n->flags);
        if (m.is(at, TokenKind::Less)) {
            m.push(*n, at + 1);
            at += 3;
        } else {
            pushEmpty(*n);
        }
        m.push(*n, at);
        name = at + 1;
    }
    setNameText(*n, m, name);
    callableTail(m, *n, name + 1, true);
    result = std::move(n);
}

// OperatorDefinition: ("final" "static" | "static" "final" | "final" | "static")? ("<" TypeArgumentList ">")? TypeReference "operator" OperatorSymbol "(" ParameterList? ")" "override"? ThrowsClause? "{" StatementList? "}"
// InterfaceOperator: ("final" "static" | "static" "final" | "final" | "static")? TypeReference "operator" OperatorSymbol "(" ParameterList? ")" ThrowsClause? ";"
void operatorOverload(const RuleMatch& m, NodeRef& result, MethodSort sort) {
    NodeRef n = m.makeNode(NodeKind::Operator);
    if (sort == MethodSort::Bodiless) n->flags |= NodeFlag::Bodiless;
    int at = leadingModifiers(m, n->flags);
    if (m.is(at, TokenKind::Less)) {
        m.push(*n, at + 1);
        at += 3;
    } else {
        pushEmpty(*n);
    }
    m.push(*n, at);
    int open = at + 2;  // past the return type and "operator"
    std::string symbol;
    for (; open < m.count() && !m.is(open, TokenKind::LeftParen); ++open) {
        trimEnds(symbol);
        symbol.append(m.operatorText(open));
    }
    setText(*n, symbol);
    callableTail(m, *n, open, false);
    result = std::move(n);
}

// VariableDeclaration: "static"? "const"? TypeReference DeclaratorList
void variableDeclaration(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::VariableDeclaration);
    int at = 0;
    if (m.is(0, TokenKind::Static)) {
        n->flags |= NodeFlag::Static;
        at = 1;
    }
    if (m.is(at, TokenKind::Const)) {
        n->flags |= NodeFlag::Const;
        ++at;
    }
    if (m.is(at, RuleId::TypeReference)) m.push(*n, at);
    if (at + 1 < m.count()) m.push(*n, at + 1);
    result = std::move(n);
}

// DeclaratorList: (DeclaratorList ",")? Identifier ("=" Expression)?
// TypeNameList: (TypeNameList ",")? TypeReference
// EnumItemList: (EnumItemList ",")? Identifier ("=" Expression)?
void declaratorList(const RuleMatch& m, NodeRef& result, uint32_t ruleId, uint32_t kind) {
    int at;
    NodeRef list = growingList(m, ruleId, kind, 2, at);
    NodeRef element = m.makeRecordNode(at, kind);
    setNameText(*element, m, at);
    if (at + 1 < m.count() && m.is(at + 1, TokenKind::Assign)) m.push(*element, at + 2);
    pushNode(*list, element);
    result = std::move(list);
}

// ParameterList: (ParameterList ",")? AnnotationList? TypeReference Identifier?
void parameterList(const RuleMatch& m, NodeRef& result) {
    int at;
    NodeRef list = growingList(m, RuleId::ParameterList, NodeKind::List, 2, at);
    NodeRef parameter = m.makeNodeOver(at, 1, NodeKind::List);
    m.setSpan(*parameter, at, m.count() - 1);
    if (m.is(at, RuleId::AnnotationList)) {
        parameter->setAnnotations(m.node(at));
        if (parameter->annotations()) {
            parameter->flags |= NodeFlag::Annotated;
            parameter->flags |= annotationFlags(*parameter->annotations(), false);
        }
        ++at;
    }
    if (m.is(at, RuleId::TypeReference)) {
        m.push(*parameter, at);
        ++at;
    }
    if (at < m.count()) setNameText(*parameter, m, at);
    pushNode(*list, parameter);
    result = std::move(list);
}

// ClassBaseList: ":" AccessModifier? ("<" TypeArgumentList ">" | TypeReference)
// EnumBase: ":" AccessModifier? TypeReference
// InterfaceBaseList: ":" AccessModifier? TypeReference
void baseClause(const RuleMatch& m, NodeRef& result) {
    int at = 1;
    uint32_t access = NodeFlag::Public;
    if (m.is(1, RuleId::AccessModifier)) {
        std::string_view word = m.text(1);
        access = word == "protected" ? uint32_t{NodeFlag::Protected} : word == "private" ? 0u : uint32_t{NodeFlag::Public};
        at = 2;
    }
    NodeRef base = m.is(at, TokenKind::Less) ? m.node(at + 1) : m.node(at);
    if (base && access != 0) base->flags |= access;
    result = std::move(base);
}

// AccessModifier: "public" | "protected" | "private"
void accessModifier(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::AccessModifier);
    setText(*n, m.text(0));
    result = std::move(n);
}

// DeclareDirective: "@Declare" (PackageDeclaration | ClassDeclaration | EnumDeclaration | InterfaceDeclaration)
void declareDirective(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeBareNode(NodeKind::Declare);
    m.push(*n, 1);
    result = std::move(n);
}

}  // namespace build
