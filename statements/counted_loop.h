// Loops the virtual machine runs itself: one loop instruction (209 for
// the collection and range loops, 105 for a recognised three-clause loop)
// followed by the body and the trailers jspin, jbreak, jcontinue, jret,
// which break, continue and return inside the body jump to.
#pragma once

#include <cstdint>
#include <string_view>

#include "statements/compile_walk.h"
#include "codegen/code_emitter.h"

// The first call node among the node and its operands (depth first), or
// an empty handle.
StatementNode findCallNode(const StatementNode& node);

// Compiles a for(init; cond; step) whose initialiser is compiled as one
// loop instruction of opcode 105; false, with nothing emitted, when the
// loop is not of that form. `codeMark` is where the loop's code began.
bool tryFastLoop(CompileContext& context, const StatementNode& node, uint32_t codeMark);

// The comparison code of an operator text (kind 32, int): "==" 0, "!=" 1,
// "<" 2, ">" 3, "<=" 4, ">=" 5; any other text 33 of kind 33.
model::Operand comparisonKindOf(std::string_view text);

// Emits `loop` (operands 0 to 4 set) into `list`, which is current, then
// the body and the trailers, with break, continue and return of the body
// sent to them; splices the list into the outer one with operand 5 (the
// bytes after the loop instruction) and operand 6 (the way out to the
// enclosing return) set, and binds the labels from `codeMark` on.
void emitCountedLoop(CompileContext& context, PrivateCodeList& list, const model::cbircode& loop,
                     const StatementNode& source, const StatementNode& body, uint64_t codeMark);
