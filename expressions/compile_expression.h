// The expression compiler's entries: operator nodes and their operands,
// member access, calls and their binding, assignments and increments,
// identifiers, array initialisers and literals. The statement compilers and
// the compile pass of classes and methods reach expressions through these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "codegen/suggestions.h"
#include "foundation/smart_ptr.h"
#include "model/ir_result.h"
#include "statements/compile_walk.h"

class CompileContext;
class ExpressionState;
struct DiagnosticCapture;
namespace model {
class IRObject;
}  // namespace model

// The general entry for an operator node.
void compileExpression(CompileContext& context, const StatementNode& node);

// Compiles an operand node and hands back its candidate values; false after
// an error (reported).
bool compileToCandidates(CompileContext& context, const StatementNode& node, model::IRValueList& out);

// An operator node whose operands are compiled: code and count as
// classifyOperator gives them, the operand nodes (empty when absent) and
// their candidates. Leaves the value as the only candidate, or reports.
void compileOperatorNode(CompileContext& context, uint32_t code, int32_t count, const StatementNode& firstNode,
                         const StatementNode& secondNode, model::IRValueList& first, model::IRValueList& second,
                         const StatementNode& node);

// The operator method of an operand's class, compiled as a call with the
// argument lists; false, silently, when the class has none.
bool findOperatorOverload(CompileContext& context, model::IRValueList& operands, IRValueListArray& arguments,
                          const StatementNode& node);
// The two halves of it: whether an operand's class declares the operator,
// asked before the arguments are copied (most operators apply to built-in
// values), then the call once one does.
bool operatorOverloadDeclared(CompileContext& context, model::IRValueList& operands, const StatementNode& node);
// The same for one operand, asked before the operator's operands are
// gathered in a list: most operators apply to built-in values, which
// declare none, and their operand need not be copied for the question.
bool operatorOverloadDeclaredOn(CompileContext& context, const model::IRResult& operand, const StatementNode& node);
// `operandsTaken`: the caller reads the operands no more (a failed call
// reports why, and an operator gives up then), so they are moved into the
// members found rather than copied (the left operand of a string sum holds
// the code of the whole sum so far). `firstNode`: the operator's first
// operand, when the caller classified the operator already.
bool callOperatorOverload(CompileContext& context, model::IRValueList& operands, IRValueListArray& arguments,
                          const StatementNode& node, bool operandsTaken = false,
                          const StatementNode* firstNode = nullptr);

// Member access: `member` looked up in each value of the object node (or of
// `objectValues` when given, moved out of them when `objectValuesTaken`);
// the members found become the candidates. `extraValues` go after the
// member name to an overloaded "." operator, which is tried when nothing is
// found; true when that call was compiled.
bool resolveMemberAccess(CompileContext& context, const StatementNode& objectNode, model::IRValueList* objectValues,
                         std::string_view member, const StatementNode& node, const model::IRValueList& extraValues,
                         bool objectValuesTaken = false);

// The methods a call's callee `a.m` finds through its one value, left bare
// until the call binder knows which of them it needs as candidates reached
// through that value: each such candidate is an instance object the size of
// a class, and a method of 100k overloads made them all for the exact match
// to pass over all but one. Made when wrapped, a candidate has the serial
// it had when every member was wrapped at once, and the objects made after
// them have theirs.
class CalleeMembers {
public:
    CalleeMembers(CompileContext& context, const StatementNode& callee);
    ~CalleeMembers();
    CalleeMembers(const CalleeMembers&) = delete;
    CalleeMembers& operator=(const CalleeMembers&) = delete;

    // Whether the member access of `node` is the callee that leaves its
    // members here; asked once, as the access begins.
    static CalleeMembers* claimFor(CompileContext& context, const StatementNode& node);
    // Takes the members found through `owner`, and the owner, when they
    // are several plain methods that wrapping leaves untouched; false
    // leaves both to be wrapped at once.
    bool hold(model::IRValueList& found, model::IRResult& owner, bool ownerMayBeNil);
    // Done asking: the callee's compilation is over.
    void close();

    bool held() const;
    // The members, ranked as their candidates are (match rank and lookup
    // rank): the exact match picks among them as among the candidates.
    model::IRValueList& bare();
    // The candidate of bare()[i].
    model::IRResult& wrapped(size_t i);
    // Every candidate in order, replacing `out` (which may be bare()).
    void wrapAll(model::IRValueList& out);

private:
    // Apart: most calls hold nothing, and pay only for the pointer.
    struct Held;
    CompileContext& context_;
    ExpressionState& state_;
    CalleeMembers* outer_;
    const void* callee_;
    std::unique_ptr<Held> held_;
};

// The constructors a `new` tried, class by class, as they were when tried:
// described only when the caller reports the failure, most calls binding.
class ConstructorListing {
public:
    void add(const model::IRValueList& constructors) { lists_.push_back(constructors); }
    bool empty() const { return lists_.empty(); }
    qestl::qestringA describe() const;

private:
    std::vector<model::IRValueList> lists_;
};

// ---- Calls. The call binder chooses one overload among the candidates (the
// class's constructors when `constructorWanted`; `receiver` is then the class
// being instantiated, else null), binds the arguments and compiles the call
// into the current code list; the successful results (several when the
// choice stayed ambiguous) are left as the context's candidates. May note
// constructors for the caller to report first. True when a binding succeeded.
// `bare`, when it holds members, has them as the candidates.
bool resolveAndCompileCall(CompileContext& context, const model::IRResult* receiver, model::IRValueList& candidates,
                           IRValueListArray& arguments, bool constructorWanted, const StatementNode& node,
                           ConstructorListing& tried, CalleeMembers* bare = nullptr);
// The call binder behind every call expression and super call: reports an
// ambiguous or unmatched call; true when exactly one call was compiled, its
// value the only candidate.
bool compileCallToCandidates(CompileContext& context, model::IRValueList& candidates, IRValueListArray& arguments,
                             const StatementNode& node, CalleeMembers* bare = nullptr);
// After a cast of `value` into `variable`: carries the nilptr state of the
// value's source object over to the variable.
void recordNullState(CompileContext& context, model::IRObject* variable, const model::IRResult& value,
                     model::IRObject* source);

// ---- Template methods (expressions/template_methods.cpp). A call whose
// candidates hold template methods: instantiates them for the arguments and
// compiles the call; false when nothing was compiled.
bool compileTemplateMethodCall(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                               IRValueListArray& arguments);
// ---- Inside the call binder (expressions/). The arguments of `method`
// bound for a call: one list per parameter (variadic arguments packed into
// one), each result holding the argument's code and its push. False when an
// argument has no fitting value (reported when the cause is a fault).
bool bindCallArguments(CompileContext& context, model::IRObject& method, IRValueListArray& arguments,
                       IRValueListArray& bound, const StatementNode& node);
// Emits the call of the chosen candidate (or its intrinsic instruction) with
// the bound arguments; its value in eax becomes the only candidate.
bool compileMethodCallOrIntrinsic(CompileContext& context, const model::IRResult* receiver, model::IRResult& candidate,
                                  IRValueListArray& arguments, bool constructorWanted, const StatementNode& node);
// The members every object answers (hash, toString, getClass, ...), offered
// as "$special/..." functions for `member` looked up on `self`.
void bindObjectIntrinsic(const qestl::SmartPtr& self, CompileContext& context, std::string_view member,
                         const StatementNode& node);

// Member access; increments and decrements (Finc, Fdec, Binc, Bdec); plain
// and compound assignments (Mov, Shlm to Xorm).
void compileMemberExpression(CompileContext& context, const StatementNode& node);
void compileIncDec(CompileContext& context, const StatementNode& node, uint32_t code);
void compileAssignment(CompileContext& context, const StatementNode& node, uint32_t code);

// ---- Assignment helpers (expressions/trial_compilation.cpp).
// An element assignment a[i] = v offered to the "[]" operator of a's class
// with the index and the value; the right side's values are handed back
// for the built-in store. Failed: an operand reported an error.
enum class IndexerCall { Bound, NotBound, Failed };
IndexerCall compileOperatorCall(CompileContext& context, const StatementNode& node, model::IRValueList& rights);
// Deferred values (calls of template methods) compiled on trial against the
// type of each target and replaced by what compiled cleanly; the trial's
// diagnostics stay in the capture, which is never reported. Empties targets.
DiagnosticCapture& filterCandidatesByTrial(DiagnosticCapture& capture, CompileContext& context,
                                           model::IRValueList& targets, model::IRValueList& values);
// Whether any value is deferred: without one the targets go unread.
bool anyDeferredValue(const model::IRValueList& values);
// A place of `type` to try the values against, made only when one of them is
// deferred; otherwise the serial it would have taken is passed over, so that
// every later object numbers as before.
void addTrialTarget(model::IRValueList& targets, const model::IRValueList& values, const qestl::SmartPtr& type);
// Each deferred value against one expected type, compiled once per node;
// clean results are appended to `out` as copies.
void trialCompileCandidate(CompileContext& context, model::IRValueList& out, model::IRValueList& values,
                           const qestl::SmartPtr& expectedType);

// ---- Operator nodes (expressions/operator_codes.cpp). An operator node's
// text is its spelling; operand 0 is the left operand (a postfix operand),
// operand 1 the right one (a prefix operand, with operand 0 empty).

// Operand `index` of a node; empty past the last.
StatementNode nodeChild(const StatementNode& node, size_t index);
// The operator code (the opcode of the instruction implementing it), 0 for
// no operator; "++"/"--" with an operand 0 are the postfix codes Binc/Bdec.
uint32_t operatorCodeOf(const StatementNode& node);
// The same code with the operands and their count; nothing is written for
// an unknown text, and `second` stays untouched by one-operand forms.
uint32_t classifyOperator(const StatementNode& node, StatementNode& first, StatementNode& second, int32_t& count);
// The name an operator overload method is found by: the text without
// surrounding blanks, a view into the node's text.
std::string_view operatorOverloadName(const StatementNode& node);
// That name, and the operands as classifyOperator gives them.
std::string_view operatorOverloadSignature(const StatementNode& node, StatementNode& first, StatementNode& second,
                                           int32_t& count);
bool isPostfixIncDec(const StatementNode& node);
// mov eax, source: eax typed like the type (11 without one); not emitted.
qestl::SmartPtr makeResultMove(model::IRObject* type, const model::Operand& source);
// Copies every instruction; a link to an instruction of the source list
// points to its copy.
void cloneInstructionList(const qestl::SmartPtrVector& source, qestl::SmartPtrVector& destination);

// One operand's value among its candidates, copied into `result`; a named
// constant becomes its immediate without load code. False after reporting.
bool resolveIdentifier(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                       model::IRResult& result, const uint32_t* kinds, size_t kindCount);
// The same for a list the caller reads no more: the value is moved out of
// it, sparing the copy of its code and states.
bool takeIdentifier(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                    model::IRResult& result, const uint32_t* kinds, size_t kindCount);
// The two steps of either, for a caller that learns only after choosing
// whether it reads the list again: the value chosen (null after
// reporting), left where it lies; then, once copied or moved out, settled.
model::IRResult* pickIdentifier(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                                const uint32_t* kinds, size_t kindCount);
void settleIdentifier(model::IRResult& result, const StatementNode& node);

// ---- Array initialisers: the provisional values a brace initialiser left,
// converted into arrays of the expected type; the arrays made become the
// candidates (none for a value that cannot be converted).
void compileArrayInitializerElements(CompileContext& context, model::IRValueList& candidates,
                                     const qestl::SmartPtr& expected, const StatementNode& node);
void compileArrayInitializerElement(CompileContext& context, const model::IRResult& candidate,
                                    const qestl::SmartPtr& expected, const StatementNode& node);
// A brace initialiser's value that no array type has been given yet.
bool isProvisionalArray(const model::IRObject* object);
