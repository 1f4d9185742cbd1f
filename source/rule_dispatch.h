// The one entry from the parse listener into the node builders: builds the
// node of a new rule match and leaves it in `out` (or leaves `out` empty).
#pragma once

#include <cstdint>

#include "source/node.h"

class qeSourceProcessor;
class qeLexSyntax;

void dispatchRuleMatch(qeSourceProcessor& processor, qeLexSyntax& engine, int start, int count, uint32_t ruleId,
                       _KNode<qeAbstractNode>& out);
