// Builders of statement nodes: blocks, the control-flow statements, the
// three loop forms, switch, try and the synchronized blocks.
#include "diagnostics/diagnostics.h"
#include "source/builders.h"

namespace build {
namespace {

// Rules whose match stands as a statement by itself; its ";" adds nothing.
constexpr uint32_t kStatementRules[] = {
    RuleId::ReturnStatement,
    RuleId::ThrowStatement,
    RuleId::Expression,
    RuleId::SynchronizedBlock,
    RuleId::IfStatement,
    RuleId::ForStatement,
    RuleId::ForEachStatement,
    RuleId::ForToStatement,
    RuleId::WhileStatement,
    RuleId::DoWhileStatement,
    RuleId::SwitchStatement,
    RuleId::TryStatement,
    RuleId::DeclarationStatement,
    RuleId::MethodDefinition,
    RuleId::ConstructorDefinition,
    RuleId::ClassDeclaration,
};

NodeRef statementNode(const RuleMatch& m, uint32_t kind, std::initializer_list<int> records) {
    NodeRef n = m.makeNode(kind);
    for (int k : records) m.push(*n, k);
    return n;
}

// The loop variable of a for-each or for-to with a declared type: a
// declaration holding the type and one declarator holding the name.
NodeRef loopVariable(const RuleMatch& m) {
    NodeRef declaration = m.makeNodeOver(0, 1, NodeKind::VariableDeclaration);
    m.setSpan(*declaration, 2, 3);
    m.push(*declaration, 2);
    NodeRef declarator = m.makeNodeOver(0, 1, NodeKind::VariableDeclaration);
    m.setSpan(*declarator, 3, 3);
    m.push(*declarator, 3);
    pushNode(*declaration, declarator);
    return declaration;
}

void pushLoopVariable(const RuleMatch& m, qeAbstractNode& loop) {
    pushNode(loop, loopVariable(m));
    NodeRef copy;
    cloneAstSubtree(m.nodePtr(3), copy);
    pushNode(loop, copy);
}

}  // namespace

RuleSet standaloneStatementRules() {
    RuleSet rules;
    for (uint32_t rule : kStatementRules) rules.set(rule);
    return rules;
}

// Statement: SynchronizedBlock | IfStatement | ForEachStatement | ForToStatement | ForStatement | WhileStatement | DoWhileStatement | SwitchStatement | TryStatement | DeclarationStatement | MethodDefinition | (ClassDeclaration | Expression | "break" | "continue" | ThrowStatement | ReturnStatement) ";"
void statement(const RuleMatch& m, NodeRef& result) {
    for (uint32_t rule : kStatementRules) {
        if (m.is(0, rule)) {
            result = m.node(0);
            return;
        }
    }
    if (m.is(0, TokenKind::Break)) result = m.makeNode(NodeKind::Break);
    else if (m.is(0, TokenKind::Continue)) result = m.makeNode(NodeKind::Continue);
    else result.reset();
}

// StatementBody: "{" StatementList? "}" | Statement
void statementBody(const RuleMatch& m, NodeRef& result) {
    if (!m.is(0, TokenKind::LeftBrace)) {
        result = m.node(0);
        return;
    }
    if (!m.is(1, TokenKind::RightBrace)) {
        NodeRef block = m.makeNodeOver(1, 1, NodeKind::Block);
        m.setSpan(*block, 0, m.count() - 1);
        m.push(*block, 1);
        result = std::move(block);
        return;
    }
    result = m.makeRecordNode(1, NodeKind::Empty);
}

// IfStatement: "if" "(" Expression ")" StatementBody ("else" StatementBody)?
void ifStatement(const RuleMatch& m, NodeRef& result) {
    NodeRef n = statementNode(m, NodeKind::If, {2, 4});
    if (m.count() > 5) m.push(*n, 6);
    result = std::move(n);
}

// ForStatement: "for" "(" ForInit? ";" ForCondition? ";" ForStep? ")" StatementBody
void forStatement(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::For);
    int p;
    if (!m.is(2, TokenKind::Semicolon)) {
        m.push(*n, 2);
        p = 4;
    } else {
        pushNode(*n, m.makeRecordNode(2, NodeKind::Empty));
        p = 3;
    }
    int q;
    if (!m.is(p, TokenKind::Semicolon)) {
        m.push(*n, p);
        q = p + 2;
    } else {
        pushEmpty(*n);
        q = p + 1;
    }
    int b;
    if (!m.is(q, TokenKind::RightParen)) {
        m.push(*n, q);
        b = q + 2;
    } else {
        pushEmpty(*n);
        b = q + 1;
    }
    m.push(*n, b);
    result = std::move(n);
}

// ForInit: (ForInit ",")? (VariableDeclaration | Expression)
// ForStep: (ForStep ",")? Expression
void forClause(const RuleMatch& m, NodeRef& result, uint32_t ruleId) {
    if (m.is(0, ruleId)) {
        NodeRef head = m.node(0);
        if (head) head->children.pushBack(m.node(2));
        result = std::move(head);
        return;
    }
    result = m.node(0);
}

// ForEachStatement: "for" "(" TypeReference Identifier? ":" Expression ")" StatementBody
void forEach(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::ForEach);
    if (m.is(3, TokenKind::Colon)) {
        for (int k : {2, 4, 6}) m.push(*n, k);
    } else {
        pushLoopVariable(m, *n);
        m.push(*n, 5);
        m.push(*n, 7);
    }
    result = std::move(n);
}

// ForToStatement: "for" "(" TypeReference Identifier? "=" Expression "to" Expression ")" StatementBody
void forTo(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::ForTo);
    if (m.is(5, TokenKind::To)) {
        for (int k : {2, 4, 6, 8}) m.push(*n, k);
    } else {
        pushLoopVariable(m, *n);
        for (int k : {5, 7, 9}) m.push(*n, k);
    }
    result = std::move(n);
}

// WhileStatement: "while" "(" Expression ")" StatementBody
void whileStatement(const RuleMatch& m, NodeRef& result) { result = statementNode(m, NodeKind::While, {2, 4}); }

// DoWhileStatement: "do" StatementBody "while" "(" Expression ")" ";"
void doWhile(const RuleMatch& m, NodeRef& result) { result = statementNode(m, NodeKind::DoWhile, {1, 4}); }

// SwitchStatement: "switch" "(" Expression ")" "{" CaseGroup "}"
void switchStatement(const RuleMatch& m, NodeRef& result) { result = statementNode(m, NodeKind::Switch, {2, 5}); }

// CaseGroup: CaseGroup? ("case" Expression | "default") ":" StatementList?
void caseGroup(const RuleMatch& m, NodeRef& result) {
    int p;
    NodeRef groups = growingList(m, RuleId::CaseGroup, NodeKind::Group, 1, p);
    NodeRef label;
    if (!m.is(p, TokenKind::Default)) {
        ++p;
        label = m.makeRecordNode(p, NodeKind::Group);
        m.push(*label, p);
    } else {
        label = m.makeRecordNode(p, NodeKind::Group);
        label->flags |= NodeFlag::DefaultLabel;
        pushEmpty(*label);
        for (const NodeRef& earlier : groups->operands) {
            if (earlier && (earlier->flags & NodeFlag::DefaultLabel)) {
                const TokenRecord* at = m.record(p);
                m.host().reportBuildError(diag::SecondDefault.text, at ? at->startLine : 0, at ? at->startColumn : 0);
                result.reset();
                return;
            }
        }
    }
    if (p + 2 < m.count()) m.push(*label, p + 2);
    pushNode(*groups, label);
    result = std::move(groups);
}

// TryStatement: "try" "{" StatementList? "}" CatchClause? ("finally" "{" StatementList? "}")?
void tryStatement(const RuleMatch& m, NodeRef& result) {
    NodeRef n = m.makeNode(NodeKind::Try);
    int p;
    if (m.is(2, RuleId::StatementList)) {
        m.push(*n, 2);
        p = 4;
    } else {
        pushEmpty(*n);
        p = 3;
    }
    if (m.is(p, RuleId::CatchClause)) {
        m.push(*n, p);
        ++p;
    } else {
        pushEmpty(*n);
    }
    if (m.is(p, TokenKind::Finally) && p + 2 < m.count() && m.is(p + 2, RuleId::StatementList)) m.push(*n, p + 2);
    else pushEmpty(*n);
    result = std::move(n);
}

// CatchClause: CatchClause? "catch" "(" Expression Identifier ")" "{" StatementList? "}"
void catchClause(const RuleMatch& m, NodeRef& result) {
    int o;
    NodeRef clauses = growingList(m, RuleId::CatchClause, NodeKind::Catch, 1, o);
    NodeRef clause = m.makeRecordNode(o + 3, NodeKind::CatchClause);
    setText(*clause, m.text(o + 3));
    m.push(*clause, o + 2);
    if (m.is(o + 6, RuleId::StatementList)) m.push(*clause, o + 6);
    else pushEmpty(*clause);
    pushNode(*clauses, clause);
    result = std::move(clauses);
}

// ReturnStatement: "return" Expression?
// ThrowStatement: "throw" Expression
void returnOrThrow(const RuleMatch& m, NodeRef& result, uint32_t kind) {
    NodeRef n = m.makeNode(kind);
    if (m.count() == 2) m.push(*n, 1);
    result = std::move(n);
}

// SynchronizedBlock: ("synchronized" | "synchronized_read" | "synchronized_write") "(" (MemberAccess | Identifier) ")" "{" StatementList? "}"
void synchronizedBlock(const RuleMatch& m, NodeRef& result) {
    uint32_t kind = NodeKind::Synchronized;
    if (m.is(0, TokenKind::SynchronizedRead)) kind = NodeKind::SynchronizedRead;
    else if (m.is(0, TokenKind::SynchronizedWrite)) kind = NodeKind::SynchronizedWrite;
    NodeRef n = m.makeNode(kind);
    m.push(*n, 2);
    if (m.count() > 5) m.push(*n, 5);
    result = std::move(n);
}

}  // namespace build
