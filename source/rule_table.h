// From a grammar rule id (95 to 215) to the builder that turns its match
// into a syntax-tree node.
#pragma once

#include <cstdint>

#include "source/build_support.h"
#include "syntax/rule_ids.h"

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

// The operator rules: over one record their builder hands back the node
// that record holds, or none when it holds none.
RuleSet operatorRules();

// Marks a node carries for the engine (qeLexSyntax::markNode), each for the
// rules whose builder, over the one record that holds the node, would hand
// it back as it is.
inline constexpr uint8_t kKeptAsPrimary = 1;  // a primary expression
inline constexpr uint8_t kKeptAsName = 2;     // an operator name
void fillNodeMarkRules(uint8_t (&marks)[256]);
// Per rule id, what the first record of a match over several records may
// hold for the rule's builder to hand that record's node back as it is.
void fillFirstRecordRules(RuleSet (&rules)[256]);
// The marks of a name built for match `m`, once the match's first record
// holds it.
uint8_t nameMarks(const RuleMatch& m, const NodeRef& name);
// The marks of any node built for match `m`. Inline: most nodes are no
// names, and build::primary passes every other node on.
inline uint8_t keptNodeMarks(const RuleMatch& m, const NodeRef& node) {
    if (node->kind != NodeKind::Name) return kKeptAsPrimary;
    if (m.plainName()) return isBoolWord(*node) ? kKeptAsName : kKeptAsName | kKeptAsPrimary;
    return nameMarks(m, node);
}

using RuleBuilder = void (*)(const RuleMatch& m, NodeRef& result);
// The builder of every rule id below 256; null for the two directives.
struct RuleBuilderTable {
    RuleBuilder byId[256];
};
extern const RuleBuilderTable kRuleBuilders;
// What a rule id of 256 or more builds: the record it passes through.
void passRecordThrough(const RuleMatch& m, NodeRef& result);

// Runs the builder of `ruleId` over the `count` records of the match into
// the empty handle `result`.
// Inline: it runs for every match the listener is told of.
// `marks` receives the marks of the node built (keptNodeMarks), 0 if none.
inline RuleAction buildRuleMatch(BuildHost& host, NodeRef& result, TokenRecord* const* records, int count,
                                 uint32_t ruleId, uint8_t& marks) {
    RuleBuilder builder = ruleId < 256 ? kRuleBuilders.byId[ruleId] : passRecordThrough;
    if (builder == nullptr) return ruleId == RuleId::RequireDirective ? RuleAction::Require : RuleAction::Include;
    RuleMatch match(host, records, count);
    // Builders fill `result` (empty on entry) directly; one that builds
    // nothing leaves it empty.
    builder(match, result);
    marks = result ? keptNodeMarks(match, result) : 0;
    return RuleAction::Built;
}
