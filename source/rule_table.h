// From a grammar rule id (95 to 215) to the builder that turns its match
// into a syntax-tree node.
#pragma once

#include <cstdint>

#include "source/build_support.h"

enum class RuleAction {
    Built,         // the builder ran; `result` holds its node or nothing
    Include,       // an include directive: the listener reads the named files
    Require,       // a require directive, likewise
};

// True for the rules without a builder of their own: over one record that
// already holds a node, their match is that node.
bool passesRecordThrough(uint32_t ruleId);

// Runs the builder of `ruleId` over the `count` records of the match.
RuleAction buildRuleMatch(BuildHost& host, NodeRef& result, TokenRecord* const* records, int count, uint32_t ruleId);
