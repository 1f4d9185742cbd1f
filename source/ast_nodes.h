// Interim: making and copying pooled syntax-tree nodes.
#pragma once

#include "source/node.h"

// Places a copy of the prototype in a pool block and lists it as live.
qeAbstractNode* newAstNode(const qeAbstractNode& prototype);
// A deep copy of a subtree (empty handles stay empty at their place).
void cloneAstSubtree(const qeAbstractNode* node, _KNode<qeAbstractNode>& out);
