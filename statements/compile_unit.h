// The semantic pass over a parsed project, the spine of the compile pass:
// the declaration phase, the compile walk over the tree, the queued classes
// and the program entry code.
#pragma once

#include "source/node.h"

class CompileContext;

// Declares and compiles everything reachable from the project's root unit;
// errors are counted in the context.
void compileUnit(CompileContext& context, const _KNode<qeAbstractNode>& root);
