// The walk of the compile pass: a tree compiled node by node, each statement
// sent to the compiler of its kind, and what the statement compilers offer
// the other folders of the compile floor. The floor (declare/, classes/,
// statements/, expressions/) builds as one library, korvo_compile, because
// its calls go both ways: a statement compiles its expressions, an
// expression (an anonymous class, a lambda body) compiles statements, and a
// class body runs the declaration pass before it is compiled. The expression
// entries are in expressions/compile_expression.h, the compile pass of
// classes and methods in classes/, and what it asks of the declaration pass
// in declare/declaration_entries.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/smart_ptr.h"
#include "model/ir_result.h"
#include "source/node.h"

class CompileContext;
namespace model {
class IRObject;
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

// Compiles a condition and names the conditional jump taken when it holds
// (or fails, with invert); 0 on success, the result left as the only
// candidate.
uint32_t compileConditionJump(CompileContext& context, const StatementNode& node, uint32_t& jumpOpcode, bool invert);
// The short-circuit operators.
uint32_t compileLogicalNode(CompileContext& context, const StatementNode& node);
// A comparison used as a value (only the cmp under the compare-only flag).
void compileComparisonExpression(CompileContext& context, const StatementNode& node);

// The annotations written before a declaration, acted on before it compiles.
void compileAnnotations(CompileContext& context, const StatementNode& node);

// Every handler of the dispatch table: the context and the node, the
// dispatcher's result.
#define KORVO_STATEMENT(kind, handler, around) uint32_t handler(CompileContext& context, const StatementNode& node);
#include "statements/statement_kinds.def"
#undef KORVO_STATEMENT


// Before a block's flow node closes: the value states that hold on every
// way out of it become the block's own.
void resolveBlockExits(model::FlowNode& block);

// Declares the variable a catch clause left pending for the next block as a
// local of the current frame, and clears it.
void declarePendingBlockVariable(CompileContext& context);

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
