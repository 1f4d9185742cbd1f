// The semantic pass over a parsed project: declarations, then code.
#pragma once

#include "source/node.h"

class CompileContext;

// Declares and compiles everything reachable from the project's root unit;
// errors are counted in the context.
void compileUnit(CompileContext& context, const _KNode<qeAbstractNode>& root);
