// Small operations the statement, declaration and expression compilers
// share: views of syntax nodes, guards that undo changes to the context,
// the flow-tree cursor and the utilities of the switch compiler.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "codegen/jump_scope.h"
#include "foundation/text_number.h"
#include "model/declaration_views.h"
#include "model/ir_object.h"

class CompileContext;

// Views of a try statement: operand 0 the block, operand 1 the catch
// clauses, operand 2 the finally block.
inline model::NodeHandle tryBodyNode(const model::NodeHandle& node) { return model::IRCore::operandOf(node, 0); }
inline model::NodeHandle catchClauseNode(const model::NodeHandle& node, size_t i) {
    return model::IRCore::operandOf(model::IRCore::operandOf(node, 1), i);
}
size_t catchClauseCount(const model::NodeHandle& node);
inline model::NodeHandle finallyNode(const model::NodeHandle& node) { return model::IRCore::operandOf(node, 2); }
// Parameter i of a native declaration, read as a function's.
inline model::NodeHandle parameterNodeAt(const model::NodeHandle& node, size_t i) {
    return model::IRFunction(node).parameterNode(i);
}
inline bool isConstNode(const model::NodeHandle& node) { return node && (node->flags & NodeFlag::Const) != 0; }

// May the class be made with new? (Its built-in value-type byte, signed, is
// below 1, or is 9 or 11.)
bool isNewable(const model::IRObject& klass);
// byte, char, short, int or long.
bool isIntegralType(const model::IRObject* type);

// [begin, end) is a number: hexadecimal digits after an optional "0x" (hex),
// else digits and "." after an optional sign or "0x", a final "h" allowed.
inline bool isNumberText(const char* begin, const char* end, bool hex) { return qestl::isNumberSpan(begin, end, hex); }

// The case values of one switch statement. Values written in rising order,
// as most switches have them, need no tree: one above the largest so far is
// new; so is one below the smallest, while every value so far has come below
// the one before it (a tree of a million values was a wait for memory at
// most of its levels, for each value). The first that breaks the order
// moves them all into an ordered set, which answers from then on. The values
// are the source's own, so no hashing of them may decide the cost: a table's
// probes could be made to collide.
class CaseValueSet {
public:
    bool contains(int64_t value) const;
    // False when the value was there already.
    bool insert(int64_t value);
    // Every value so far came above the ones before it.
    bool rising() const { return fallen_.empty() && !falling_; }

private:
    std::vector<int64_t> risen_;  // while in one order, in that order
    bool falling_ = false;        // the order is falling
    std::set<int64_t> fallen_;
};

// A reference to instruction `index` of the list; past the last one for an
// index equal to the count; empty beyond.
model::Operand labelOperandAt(uint64_t index, const CodeList& list);

// Pops the innermost object scope when released.
class ScopeGuard {
public:
    explicit ScopeGuard(CompileContext& context) : context_(&context) {}
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;
    ~ScopeGuard() { release(); }
    void release();

private:
    CompileContext* context_;
};

// Restores the innermost scope's lookup mode pushed by pushScopeMode.
class ScopeModeGuard {
public:
    explicit ScopeModeGuard(CompileContext& context) : context_(&context) {}
    ScopeModeGuard(const ScopeModeGuard&) = delete;
    ScopeModeGuard& operator=(const ScopeModeGuard&) = delete;
    ~ScopeModeGuard() { restore(); }
    void restore();

private:
    CompileContext* context_;
};

// A class declared inside a function body captures the frame it sees: the
// frame becomes the class's closure container and a fresh frame is pushed
// until `end`, which takes the container back.
class ClosureCapture {
public:
    ClosureCapture() = default;
    ClosureCapture(const ClosureCapture&) = delete;
    ClosureCapture& operator=(const ClosureCapture&) = delete;
    ~ClosureCapture() { end(); }

    void begin(CompileContext& context, const qestl::SmartPtr& klass);
    // Once only: the frame is given back and the class notes whether it
    // captured anything.
    void end();

private:
    qestl::SmartPtr klass_;
    CompileContext* context_ = nullptr;
    bool done_ = false;
};

// The flow tree of the function being compiled.
void pushFlowNode(CompileContext& context, uint32_t kind, uint32_t mask, const model::IRResult* value);
void popFlowNode(CompileContext& context);
bool currentFlowExits(const CompileContext& context);
