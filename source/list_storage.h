// Where the parse's node lists are stored while the tree is built.
//
// The lists of statements and expressions go when the compile releases the
// bodies that hold them; the lists of declarations stay to the end. Kept
// apart, the first kind fills storage of its own that empties as the bodies
// go, and goes back instead of idling beside what the compile makes.
#pragma once

#include <array>
#include <cstdint>

namespace nodelist {

namespace detail {
inline constexpr uint32_t kRuleLimit = 512;
// Set while a body's rule is built: its lists go to the bodies' storage.
extern bool bodyRule;
extern const std::array<bool, kRuleLimit> bodyRules;
}  // namespace detail

// Whether the lists made from now on are a body's (rule: the rule whose
// match is about to be built). Told for every match, so kept inline.
inline void noteRule(uint32_t rule) { detail::bodyRule = rule < detail::kRuleLimit && detail::bodyRules[rule]; }
// The tree is built (true) or a parse begins (false). Once built, storage a
// body's lists give back is no longer kept for new lists: a stretch of it
// that empties is returned.
void setTreeBuilt(bool built);

}  // namespace nodelist
