// The one entry from the parse listener into the node builders: builds the
// node of a new rule match and leaves it in `out` (or leaves `out` empty).
#pragma once

#include <cstdint>

#include "source/node.h"
#include "source/rule_table.h"
#include "syntax/lex_syntax.h"
#include "syntax/token_record.h"

class qeSourceProcessor;

// Builds the node of a new match into `out` (or leaves `out` empty). The
// engine does not tell the matches that pass their one record's node on
// (qeSourceProcessor::passThroughRules), most of all it would report.
void buildMatchNode(qeSourceProcessor& processor, qeLexSyntax& engine, int start, int count, uint32_t ruleId,
                    _KNode<qeAbstractNode>& out);
