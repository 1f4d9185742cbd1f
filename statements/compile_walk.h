// Where the declaration pass, the statement compiler and the expression
// compiler re-enter each other. The three folders build as one library
// (korvo_compile) because their calls go both ways: a statement compiles its
// expressions, an expression (an anonymous class, a lambda body) compiles
// statements, and a class body runs the declaration pass before it is
// compiled. Every call across the three folders goes through this header.
#pragma once

#include <cstdint>

#include "source/node.h"

class CompileContext;
namespace model {
class IRObject;
}

// Compiles a node and then each of its children in order; an empty handle
// does nothing.
uint32_t compileTree(CompileContext& context, const _KNode<qeAbstractNode>& node);

// Compiles one statement behind the nesting limit, the unreachable-code
// warning (unless quiet) and the kind stack; the dispatcher's result.
uint32_t compileStatement(CompileContext& context, const _KNode<qeAbstractNode>& node, bool quiet);

// The general entry for an operator node.
void compileExpression(CompileContext& context, const _KNode<qeAbstractNode>& node);

// The compile-pass side of a class, interface, package or enum, and of a
// queued template instance (`origin` holds its template then).
int32_t compileClassDeclaration(CompileContext& context, model::IRObject* parent, const _KNode<qeAbstractNode>& node,
                                qestl::SmartPtr& origin, uint32_t kind, bool global);
