// Builders of expression nodes: literals, names, operator expressions with
// constant folding, calls, "new" forms, subscripts and type forms.
#include <string>

#include "diagnostics/diagnostics.h"
#include "foundation/signed_digits.h"
#include "foundation/text_escape.h"
#include "source/builders.h"
#include "source/fold.h"

namespace build {
namespace {

constexpr std::string_view kFragmentCall = "___print_html_source__";

fold::Literal literalOf(const qeAbstractNode* node) {
    if (!node) return {0, {}};
    return {node->kind, node->text.view()};
}

bool isLiteral(const qeAbstractNode* node) {
    if (!node) return false;
    const uint32_t kind = node->kind;
    return kind == NodeKind::StringLiteral || kind == NodeKind::CharLiteral || kind == NodeKind::IntegerLiteral ||
           kind == NodeKind::FloatLiteral;
}

// Only two literal operands can fold; anything else is built as written
// without asking the fold (and without its result's allocations).
bool mayFold(const RuleMatch& m) { return isLiteral(m.nodePtr(0)) && isLiteral(m.nodePtr(2)); }

// The fold's result replaces the left operand in place; the left operand
// then stands for the whole expression and keeps its own span.
bool applyFold(const RuleMatch& m, const fold::Result& folded, NodeRef& result) {
    if (folded.outcome == fold::Outcome::NotFolded) return false;
    if (folded.outcome == fold::Outcome::DivideByZero) {
        const qeAbstractNode* divisor = m.nodePtr(2);
        m.host().reportBuildError(diag::DivideByZero.text, divisor ? divisor->startLine : 0, divisor ? divisor->startColumn : 0);
        result.reset();
        return true;
    }
    NodeRef left = m.node(0);
    left->kind = folded.kind;
    if (folded.outcome == fold::Outcome::Appended) left->text.append(folded.text.view());
    else left->setText(folded.text.view());
    result = std::move(left);
    return true;
}

void operatorNode(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Expression);
    setText(*n, m.operatorText(1));
    m.push(*n, 0);
    m.push(*n, 2);
    result = std::move(n);
}

// The fragment index of a generated printing call: an optional sign, then
// octal digits after a leading 0, else decimal digits.
int64_t fragmentIndex(std::string_view text) {
    // Bounded: no fragment number comes near 2^40, and a longer text must
    // not wrap into a small one.
    qestl::DigitRules rules;
    rules.stopAt = uint64_t{1} << 40;
    return qestl::readSignedDigits(text.data(), text.data() + text.size(), rules).as<int64_t>();
}

// Two literal operands fold into the left one; anything else is an operator node.
using Fold = fold::Result (*)(std::string_view op, const fold::Literal& left, const fold::Literal& right);
void foldOrBuild(const RuleMatch& m, NodeRef& result, Fold fold, std::string_view op) {
    if (mayFold(m) && applyFold(m, fold(op, literalOf(m.nodePtr(0)), literalOf(m.nodePtr(2))), result)) return;
    operatorNode(m, result);
}

// Server pages print their HTML through generated calls that name a stored
// fragment by number; the call becomes response.print("fragment").
void rewriteFragmentCall(const RuleMatch& m, qeAbstractNode& callNode) {
    if (callNode.operands.size() < 3) return;
    qeAbstractNode* callee = callNode.operands[0].get();
    qeAbstractNode* args = callNode.operands[2].get();
    if (!callee || callee->text.view() != kFragmentCall || !args || args->operands.size() != 1) return;
    qeAbstractNode* first = args->operands[0].get();
    if (!first || first->kind != NodeKind::IntegerLiteral) return;
    int64_t index = fragmentIndex(first->text.view());
    const qestl::qestringA* fragment = index >= 0 ? m.host().htmlFragment(static_cast<size_t>(index)) : nullptr;
    if (!fragment) return;
    setText(*callee, ".");
    callee->kind = NodeKind::Expression;
    NodeRef response = m.makeNode(NodeKind::Name);
    setText(*response, "response");
    NodeRef print = m.makeNode(NodeKind::Name);
    setText(*print, "print");
    pushNode(*callee, response);
    pushNode(*callee, print);
    first->setText(fragment->view());
    first->kind = NodeKind::StringLiteral;
}

}  // namespace

// Literal: TokenKind::HexInteger | TokenKind::LongInteger | TokenKind::Integer | TokenKind::Float | TokenKind::String | TokenKind::Char
void literal(const RuleMatch& m, NodeRef& result) {
    uint32_t kind;
    if (m.is(0, TokenKind::String)) kind = NodeKind::StringLiteral;
    else if (m.is(0, TokenKind::Char)) kind = NodeKind::CharLiteral;
    else if (m.is(0, TokenKind::HexInteger) || m.is(0, TokenKind::LongInteger) || m.is(0, TokenKind::Integer))
        kind = NodeKind::IntegerLiteral;
    else if (m.is(0, TokenKind::Float)) kind = NodeKind::FloatLiteral;
    else return;
    NodeRef n = m.makeNode(kind);
    std::string_view text = m.text(0);
    if (kind == NodeKind::StringLiteral || kind == NodeKind::CharLiteral) {
        text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string_view();
        qestl::qestringA unescaped(text);
        qestl::unescape(unescaped);
        setText(*n, unescaped.view());
    } else {
        setText(*n, text);
    }
    result = std::move(n);
}

// PrimaryExpression: Cast | BraceInitializer | Call | SubscriptChain | MemberAccessChain | NewWithClassBody | NewArrayWithInitializer | NewArray | NewObject | GenericType | Subscript | MemberAccess | Parenthesized | Identifier | Literal
void primary(const RuleMatch& m, NodeRef& result) {
    if (NodeRef own = m.node(0)) {
        // The identifier rule has already made a name of the word by the time
        // it is seen as a primary expression; true and false become literals here.
        if (own->kind == NodeKind::Name && isBoolWord(*own)) own->kind = NodeKind::BoolLiteral;
        result = std::move(own);
        return;
    }
    NodeRef n = m.makeNode(NodeKind::Name);
    setText(*n, m.text(0));
    if (isBoolWord(*n)) n->kind = NodeKind::BoolLiteral;
    result = std::move(n);
}

// OperatorName: "operator" OperatorSymbol | Identifier
void operatorName(const RuleMatch& m, NodeRef& result) {
    // Over an identifier the name node is the one the identifier rule made,
    // as long as nothing else holds or changed it: a new one would be equal.
    if (const NodeRef& own = m.node(0); isPlainName(m, own, 1)) {
        result = own;
        return;
    }
    NodeRef n = m.makeNode(NodeKind::Name);
    if (!m.is(0, TokenKind::Operator)) {
        setText(*n, m.text(0));
    } else {
        qestl::qestringA spelled;
        for (int k = 1; k < m.count(); ++k) spelled.append(m.operatorText(k));
        setText(*n, spelled.view());
    }
    result = std::move(n);
}

// LogicalOrExpression: (LogicalOrExpression | LogicalOrOperand) LogicalOrOperator LogicalOrOperand
// LogicalAndExpression: (LogicalAndExpression | LogicalAndOperand) LogicalAndOperator LogicalAndOperand
// EqualityExpression: (EqualityExpression | EqualityOperand) EqualityOperator EqualityOperand
// RelationalExpression: (RelationalExpression | RelationalOperand) RelationalOperator RelationalOperand
void binary(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Expression);
    setText(*n, m.text(1));
    m.push(*n, 0);
    const qeAbstractNode* right = m.nodePtr(2);
    if (right && right->kind == NodeKind::List && right->operands.size() == 1) pushNode(*n, right->operands[0]);
    else m.push(*n, 2);
    result = std::move(n);
}

// AdditiveExpression: (AdditiveExpression | AdditiveOperand) AdditiveOperator AdditiveOperand
void additive(const RuleMatch& m, NodeRef& result) { foldOrBuild(m, result, fold::additive, m.text(1)); }

// MultiplicativeExpression: (MultiplicativeExpression | MultiplicativeOperand) MultiplicativeOperator MultiplicativeOperand
void multiplicative(const RuleMatch& m, NodeRef& result) {
    foldOrBuild(m, result, fold::multiplicative, m.text(1));
}

// BitOrExpression: (BitOrExpression | BitOrOperand) BitOrOperator BitOrOperand
// XorExpression: (XorExpression | XorOperand) XorOperator XorOperand
// BitAndExpression: (BitAndExpression | BitAndOperand) BitAndOperator BitAndOperand
// ShiftExpression: (ShiftExpression | ShiftOperand) ShiftOperator ShiftOperand
void bitwise(const RuleMatch& m, NodeRef& result) { foldOrBuild(m, result, fold::bitwise, m.operatorText(1)); }

// UnaryExpression: PrefixOperator (UnaryExpression | UnaryOperand) | (UnaryExpression | UnaryOperand) TokenKind::IncDec
void unary(const RuleMatch& m, NodeRef& result) {
    if (m.is(0, RuleId::PrefixOperator) || m.is(0, TokenKind::IncDec)) {
        NodeRef n = m.makeNode(NodeKind::Expression);
        pushEmpty(*n);
        setText(*n, m.text(0));
        NodeRef operand = m.node(1);
        if (n->text.view() == "-" && operand &&
            (operand->kind == NodeKind::IntegerLiteral || operand->kind == NodeKind::FloatLiteral)) {
            // A literal already negated loses its sign rather than gain a second.
            std::string digits(operand->text.view());
            setText(*operand, !digits.empty() && digits[0] == '-' ? digits.substr(1) : "-" + digits);
            result = std::move(operand);
            return;
        }
        pushNode(*n, operand);
        result = std::move(n);
        return;
    }
    NodeRef n = m.makeNode(NodeKind::Expression);
    setText(*n, m.text(1));
    m.push(*n, 0);
    result = std::move(n);
}

void conditional(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Conditional);
    m.push(*n, 0);
    m.push(*n, 2);
    m.push(*n, 4);
    result = std::move(n);
}

// Cast: Parenthesized PrimaryExpression
void cast(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Cast);
    m.push(*n, 0);
    m.push(*n, 1);
    result = std::move(n);
}

// MemberAccess: (MemberAccess | GenericType | Parenthesized | Identifier | Literal) "." OperatorName
// MemberAccessChain: (MemberAccessChain | NewArrayWithInitializer | NewArray | NewObject | SubscriptChain | Subscript | Call | NewWithClassBody) "." OperatorName
void memberAccess(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Expression);
    setText(*n, ".");
    m.push(*n, 0);
    m.push(*n, 2);
    result = std::move(n);
}

// Subscript: (Subscript | MemberAccess | Parenthesized | Identifier) "[" Expression "]"
// ArrayDimensions: (ArrayDimensions | GenericType | MemberAccess | Parenthesized | Identifier) "[" Expression "]"
// SubscriptChain: (SubscriptChain | Call | MemberAccessChain) "[" Expression "]"
void subscript(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Subscript);
    setText(*n, "[]");
    m.push(*n, 0);
    m.push(*n, 2);
    result = std::move(n);
}

// ArrayType: (ArrayType | GenericType | MemberAccess | Parenthesized | Identifier) "[" "]"
void arrayType(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Subscript);
    setText(*n, "[]");
    NodeRef element = m.node(0);
    n->operands.insertRange(0, &element, 1);
    result = std::move(n);
}

// GenericType: (MemberAccess | Parenthesized | Identifier) "<" TypeArgumentList ">"
void genericType(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::GenericType);
    m.push(*n, 0);
    m.push(*n, 2);
    result = std::move(n);
}

// NewObject: "new" (GenericType | MemberAccess | Parenthesized | Identifier) "(" ArgumentList? ")"
// Call: (MemberAccessChain | MemberAccess | OperatorName | GenericType) "(" ArgumentList? ")"
void call(const RuleMatch& m, NodeRef& result, bool withNew) {
    NodeRef n = m.makeBareNode(NodeKind::Call);
    int c = withNew ? 1 : 0;
    if (withNew) n->flags |= NodeFlag::New;
    m.setSpan(*n, c, m.count() - 1);
    const qeAbstractNode* generic = m.nodePtr(c);
    if (!withNew && m.is(c, RuleId::GenericType) && generic) {
        pushNode(*n, generic->operands.size() > 0 ? generic->operands[0] : NodeRef());
        pushNode(*n, generic->operands.size() > 1 ? generic->operands[1] : NodeRef());
    } else {
        m.push(*n, c);
        pushEmpty(*n);
    }
    if (m.count() > c + 3) m.push(*n, c + 2);
    rewriteFragmentCall(m, *n);
    result = std::move(n);
}

// NewWithClassBody: NewObject "{" ClassMember? "}"
void newWithBody(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::NewWithBody);
    m.push(*n, 0);
    if (m.is(2, RuleId::ClassMember) && m.nodePtr(2)) m.push(*n, 2);
    result = std::move(n);
}

// ArgumentList: (ArgumentList ",")? "&"? Expression
// TypeArgumentList: (TypeArgumentList ",")? (Identifier ":" TypeReference | TypeReference)
void list(const RuleMatch& m, NodeRef& result) {
    NodeRef listNode;
    int p = 0;
    if (m.is(0, RuleId::ArgumentList) || m.is(0, RuleId::TypeArgumentList)) {
        listNode = m.node(0);
        p = 2;
    }
    if (!listNode) {
        listNode = m.makeNodeOver(0, m.count(), NodeKind::List);
        m.setSpan(*listNode, 0, 0);
    }
    bool byReference = false;
    if (m.is(p, TokenKind::BitAnd)) {
        byReference = true;
        ++p;
    }
    NodeRef element = m.node(p);
    if (element) {
        if (m.is(p + 1, TokenKind::Colon)) m.push(*element, p + 2);
        if (byReference) element->flags |= NodeFlag::ByReference;
    }
    pushNode(*listNode, element);
    result = std::move(listNode);
}

// ShiftOperator: "<<" | ">" ">"
void shiftOperator(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Name);
    qestl::qestringA spelled;
    for (int k = 0; k < m.count(); ++k) spelled.append(m.text(k));
    setText(*n, spelled.view());
    result = std::move(n);
}

// NewArray: "new" ArrayDimensions
void newArray(const RuleMatch& m, NodeRef& result) {
    NodeRef dims = m.node(1);
    if (dims) dims->flags |= NodeFlag::New;
    result = std::move(dims);
}

// NewArrayWithInitializer: "new" ArrayType BraceInitializer
void newArrayWithInitializer(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::NewArrayWithInitializer);
    m.push(*n, 1);
    m.push(*n, 2);
    result = std::move(n);
}

// BraceInitializer: "{" ArgumentList "}"
void braceInitializer(const RuleMatch& m, NodeRef& result) {
    NodeRef items = m.node(1);
    if (items) items->kind = NodeKind::ArrayInitializer;
    result = std::move(items);
}

}  // namespace build
