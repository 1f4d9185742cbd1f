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

// The rules without a builder of their own, one bit per rule id: over one
// record that already holds a node, their match is that node.
extern const uint64_t kPassThroughRules[4];

inline bool passesRecordThrough(uint32_t ruleId) {
    return ruleId < 256 && ((kPassThroughRules[ruleId >> 6] >> (ruleId & 63)) & 1u) != 0;
}

// Runs the builder of `ruleId` over the `count` records of the match.
RuleAction buildRuleMatch(BuildHost& host, NodeRef& result, TokenRecord* const* records, int count, uint32_t ruleId);
