// The one entry from the parse listener into the node builders: builds the
// node of a new rule match and leaves it in `out` (or leaves `out` empty).
#pragma once

#include <cstdint>

#include "source/node.h"
#include "source/rule_table.h"
#include "syntax/lex_syntax.h"
#include "syntax/token_record.h"

class qeSourceProcessor;

// Builds the node of a match that does more than pass its one record's node
// on (dispatchRuleMatch decides that case).
void buildMatchNode(qeSourceProcessor& processor, qeLexSyntax& engine, int start, int count, uint32_t ruleId,
                    _KNode<qeAbstractNode>& out);

// The engine reports millions of matches, and most are a rule without a
// builder over one record that already has its node: the node stands for
// the match. That case is decided here, inline and without a call; every
// other goes to buildMatchNode.
inline void dispatchRuleMatch(qeSourceProcessor& processor, qeLexSyntax& engine, int start, int count, uint32_t ruleId,
                              _KNode<qeAbstractNode>& out) {
    if (count == 1 && passesRecordThrough(ruleId) && !engine.errorFlag()) {
        if (const TokenRecord* only = engine.slot(start); only != nullptr && only->node) {
            out = only->node;
            return;
        }
    }
    buildMatchNode(processor, engine, start, count, ruleId, out);
}
