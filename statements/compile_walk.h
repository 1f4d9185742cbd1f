// Where the declaration pass, the statement compiler and the expression
// compiler re-enter each other. The three folders build as one library
// (korvo_compile) because their calls go both ways: a statement compiles its
// expressions, an expression (an anonymous class, a lambda body) compiles
// statements, and a class body runs the declaration pass before it is
// compiled. Every call across the three folders goes through this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codegen/suggestions.h"
#include "foundation/smart_ptr.h"
#include "model/ir_result.h"
#include "source/node.h"

class CompileContext;
struct DiagnosticCapture;
namespace model {
class IRObject;
class IRFunction;
}  // namespace model

using StatementNode = _KNode<qeAbstractNode>;

// Compiles a node and then each of its children in order; an empty handle
// does nothing.
uint32_t compileTree(CompileContext& context, const StatementNode& node);

// Compiles one statement behind the nesting limit, the unreachable-code
// warning (unless quiet) and the kind stack; the dispatcher's result.
uint32_t compileStatement(CompileContext& context, const StatementNode& node, bool quiet);

// Sends a node to the compiler of its kind (statements/statement_kinds.def).
uint32_t dispatchStatement(CompileContext& context, const StatementNode& node);

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
// A comparison used as a value (only the cmp under the compare-only flag).
void compileComparisonExpression(CompileContext& context, const StatementNode& node);

// The operator method of an operand's class, compiled as a call with the
// argument lists; false, silently, when the class has none.
bool findOperatorOverload(CompileContext& context, model::IRValueList& operands, IRValueListArray& arguments,
                          const StatementNode& node);
// Compiles a condition and names the conditional jump taken when it holds
// (or fails, with invert); 0 on success, the result left as the only
// candidate.
uint32_t compileConditionJump(CompileContext& context, const StatementNode& node, uint32_t& jumpOpcode, bool invert);

// Member access: `member` looked up in each value of the object node (or of
// `objectValues` when given); the members found become the candidates.
// `extraValues` go after the member name to an overloaded "." operator,
// which is tried when nothing is found; true when that call was compiled.
bool resolveMemberAccess(CompileContext& context, const StatementNode& objectNode, const model::IRValueList* objectValues,
                         std::string_view member, const StatementNode& node, const model::IRValueList& extraValues);

// ---- Calls. The call binder chooses one overload among the candidates (the
// class's constructors when `constructorWanted`; `receiver` is then the class
// being instantiated, else null), binds the arguments and compiles the call
// into the current code list; the successful results (several when the
// choice stayed ambiguous) are left as the context's candidates. May write a
// detail text for the caller to report first. True when a binding succeeded.
bool resolveAndCompileCall(CompileContext& context, const model::IRResult* receiver, model::IRValueList& candidates,
                           IRValueListArray& arguments, bool constructorWanted, const StatementNode& node,
                           qestl::qestringA& resultText);
// The call binder behind every call expression and super call: reports an
// ambiguous or unmatched call; true when exactly one call was compiled, its
// value the only candidate.
bool compileCallToCandidates(CompileContext& context, model::IRValueList& candidates, IRValueListArray& arguments,
                             const StatementNode& node);
// After a cast of `value` into `variable`: carries the nilptr state of the
// value's source object over to the variable.
void recordNullState(CompileContext& context, model::IRObject* variable, const model::IRResult& value,
                     model::IRObject* source);

// ---- Template methods (statements/template_methods.cpp). A call whose
// candidates hold template methods: instantiates them for the arguments and
// compiles the call; false when nothing was compiled.
bool compileTemplateMethodCall(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                               IRValueListArray& arguments);
// Declares and compiles the clone of a template method's declaration as a
// method, its template parameters bound as names; its code is left as the
// one pending candidate. Errors go to the active capture.
void compileTemplateMethodClone(CompileContext& context, const model::IRFunction& clone);
// ---- Inside the call binder (expressions/). The arguments of `method`
// bound for a call: one list per parameter (variadic arguments packed into
// one), each result holding the argument's code and its push. False when an
// argument has no fitting value (reported when the cause is a fault).
bool bindCallArguments(CompileContext& context, model::IRObject& method, IRValueListArray& arguments,
                       IRValueListArray& bound, const StatementNode& node);
// Emits the call of the chosen candidate (or its intrinsic instruction) with
// the bound arguments; its value in eax becomes the only candidate.
bool compileMethodCallOrIntrinsic(CompileContext& context, const model::IRResult* receiver,
                                  model::IRResult& candidate, IRValueListArray& arguments, bool constructorWanted,
                                  const StatementNode& node);
// The members every object answers (hash, toString, getClass, ...), offered
// as "$special/..." functions for `member` looked up on `self`.
void bindObjectIntrinsic(const qestl::SmartPtr& self, CompileContext& context, std::string_view member,
                         const StatementNode& node);

// The short-circuit operators; member access; increments and decrements
// (code 101-104); plain and compound assignments (code 106, 113-122).
uint32_t compileLogicalNode(CompileContext& context, const StatementNode& node);
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
// no operator; "++"/"--" with an operand 0 are the postfix codes 103/104.
uint32_t operatorCodeOf(const StatementNode& node);
// The same code with the operands and their count; nothing is written for
// an unknown text, and `second` stays untouched by one-operand forms.
uint32_t classifyOperator(const StatementNode& node, StatementNode& first, StatementNode& second, int32_t& count);
// The name an operator overload method is found by (the text without
// surrounding blanks), and its operands as classifyOperator gives them.
qestl::qestringA operatorOverloadSignature(const StatementNode& node, StatementNode& first, StatementNode& second,
                                           int32_t& count);
bool isPostfixIncDec(const StatementNode& node);
// mov eax, source: eax typed like the type (11 without one); not emitted.
qestl::SmartPtr makeResultMove(model::IRObject* type, const model::Operand& source);
// Copies every instruction; a link to an instruction of the source list
// points to its copy.
void cloneInstructionList(const qestl::SmartPtrVector& source, qestl::SmartPtrVector& destination);

// The compile-pass side of a class, interface, package or enum, and of a
// queued template instance (`origin` holds its template then).
int32_t compileClassDeclaration(CompileContext& context, model::IRObject* parent, const StatementNode& node,
                                qestl::SmartPtr& origin, uint32_t kind, bool global);

// The anonymous class of `new T(...) { ... }` (the kind-33 node), derived
// from T; the class, or an instance standing for it, becomes the only
// candidate.
int32_t compileTemporaryClass(CompileContext& context, model::IRObject* parent, const StatementNode& node,
                              qestl::SmartPtr& origin, uint32_t kind, bool global);

// Appends to `out` the calls of the parameterless constructors that making
// an object of the class needs; false when a base declares constructors but
// none without parameters, or the call failed.
bool emitBaseConstructorCalls(const qestl::SmartPtr& klass, CompileContext& context, model::IRResult& out,
                              const StatementNode& node);

// The annotations written before a declaration, acted on before it compiles.
void compileAnnotations(CompileContext& context, const StatementNode& node);

// Every handler of the dispatch table: the context and the node, the
// dispatcher's result.
#define KORVO_STATEMENT(kind, handler, around) uint32_t handler(CompileContext& context, const StatementNode& node);
#include "statements/statement_kinds.def"
#undef KORVO_STATEMENT

// The one value among the candidates an expression left (lowest storage
// score, ties dropped); null after reporting why there is none.
model::IRResult* pickSingleObject(CompileContext& context, model::IRValueList& candidates, const StatementNode& node);
// The same among the candidates whose object is of one of the kinds
// (0xFFFFFFFF: any object).
model::IRResult* pickSingleObject(CompileContext& context, model::IRValueList& candidates, const StatementNode& node,
                                  const uint32_t* kinds, size_t kindCount);
// One operand's value among its candidates, copied into `result`; a named
// constant becomes its immediate without load code. False after reporting.
bool resolveIdentifier(CompileContext& context, const StatementNode& node, model::IRValueList& candidates,
                       model::IRResult& result, const uint32_t* kinds, size_t kindCount);

// Before a block's flow node closes: the value states that hold on every
// way out of it become the block's own.
void resolveBlockExits(model::FlowNode& block);

// Declares the variable a catch clause left pending for the next block as a
// local of the current frame, and clears it.
void declarePendingBlockVariable(CompileContext& context);

// ---- Array initialisers: the provisional values a brace initialiser left,
// converted into arrays of the expected type; the arrays made become the
// candidates (none for a value that cannot be converted).
void compileArrayInitializerElements(CompileContext& context, model::IRValueList& candidates,
                                     const qestl::SmartPtr& expected, const StatementNode& node);
void compileArrayInitializerElement(CompileContext& context, const model::IRResult& candidate,
                                    const qestl::SmartPtr& expected, const StatementNode& node);
// A brace initialiser's value that no array type has been given yet.
bool isProvisionalArray(const model::IRObject* object);

// The mov opcode that stores a value of the type.
uint32_t moveOpcodeForType(const model::IRObject* type);

// Does the actual dotted version satisfy the constraint (an operator, then
// the required version)?
bool compareDottedVersions(const char* constraint, const char* actual);

// Warns (117, 163, 164) when storing `operand`, of type `source`, into a
// place of type `target` may lose data or precision; an immediate that fits
// the target passes. Refuses nothing and emits nothing.
void checkConstantNarrowing(CompileContext& context, const qestl::SmartPtr& target, const qestl::SmartPtr& source,
                            model::Operand operand, const StatementNode& node);

// A floating constant as an integer of [low, high]: NaN gives 0, a value
// beyond the range its nearest end.
int64_t floatingToInteger(double value, int64_t low, int64_t high);

// The value of an integer literal's text and whether it is a long.
struct IntegerLiteral {
    int64_t value = 0;
    bool isLong = false;
};
IntegerLiteral readIntegerLiteral(const char* text);

// ---- the declaration pass (declare/)

// Enters every using name of the tree (included units too) in the
// context's referenced packages, keyed by its dotted path.
void indexUsingDeclarations(CompileContext& context, const _KNode<qeAbstractNode>& node);
// "/a/b/c" for the dotted name a.b.c: every component after a "/".
qestl::qestringA dottedNamePath(const _KNode<qeAbstractNode>& node);
// Declares one scope (empty scope and declaration for a unit's root) behind
// the nesting limit; always 0.
int declareSubtree(CompileContext& context, const qestl::SmartPtr& scope, const _KNode<qeAbstractNode>& body,
                   const _KNode<qeAbstractNode>& declaration);

// Type subtrees to the objects they may denote, in the context's candidate
// list: the declaration pass defers its errors, the compile pass reports
// them at once.
void resolveTypeExpression(CompileContext& context, const qestl::SmartPtr& scope, const _KNode<qeAbstractNode>& node);
void resolveTypeReference(CompileContext& context, const _KNode<qeAbstractNode>& node);
// The base class of a class declaration, empty after an error (deferred by
// the first, reported by the second). `derivingIsStatic` is the deriving
// class's static flag.
qestl::SmartPtr resolveBaseClasses(CompileContext& context, const qestl::SmartPtr& scope,
                                   const _KNode<qeAbstractNode>& baseNode, bool derivingIsStatic);
qestl::SmartPtr checkBaseClass(CompileContext& context, const _KNode<qeAbstractNode>& baseNode, bool derivingIsStatic);
bool isExtendableBase(CompileContext& context, model::IRObject* base, bool derivingIsStatic);
// A class-like object that is not a package, or an array type.
bool isTypeObject(const model::IRObject* object);
// The base-class choice's rank of a candidate: 8 x lookup level + location.
uint64_t candidateRank(const model::IRResult& candidate);
// The candidate of lowest rank among those whose object is of one of the
// kinds; a tie with the one kept ends the choice empty.
const model::IRResult* lowestRankedCandidate(const model::IRValueList& candidates, const uint32_t* kinds,
                                            size_t kindCount);

// The declaration pass's instantiation of a template (kind-42 type node):
// the instance goes to the candidate list; errors are deferred.
int declareTemplateInstance(CompileContext& context, const qestl::SmartPtr& scope, const qestl::SmartPtr& templ,
                            const _KNode<qeAbstractNode>& typeNode, bool declareInScope);
// The compile pass's: source templates go to compileClassDeclaration.
void instantiateTemplate(CompileContext& context, const qestl::SmartPtr& templ, const _KNode<qeAbstractNode>& typeNode);

// An import block (kind 64, or 84 for a dynamic table in a class).
int32_t compileNativeImportDeclaration(CompileContext& context, const _KNode<qeAbstractNode>& block,
                                       const qestl::SmartPtr& owner, bool deferErrors, bool dynamicTable);
// A native member function (kind 27 outside import blocks) of the owner
// class, or of the class being declared in the member declaration mode.
int32_t compileNativeDeclaration(CompileContext& context, const _KNode<qeAbstractNode>& node,
                                 const qestl::SmartPtr& owner, bool deferErrors);
// The built-in type of a native type name; empty for any other name.
qestl::SmartPtr builtinTypeByName(std::string_view name);
// The C spelling of a native type in stub texts ("kint ", "unknow", ...).
const char* nativeTypeName(const model::IRObject* type);
