// Where the parse's node lists are stored while the tree is built.
//
// The lists of statements and expressions go when the compile releases the
// bodies that hold them; those of class and method declarations go when
// their classes are compiled (model/declaration_place.h), but for the few
// kept whole; the lists of other declarations stay to the end. Kept apart,
// the first two kinds fill storage of their own that empties as the bodies
// and classes go, and goes back instead of idling beside what the compile
// makes (a declaration kept whole keeps only declarations' storage).
#pragma once

#include <cstdint>

namespace nodelist {

// The storage a rule's lists take.
enum class Storage : uint8_t { Main, Body, Declaration };

// Where the lists made from now on go (rule: the rule whose match is about
// to be built). Told by the parse for every match.
void noteRule(uint32_t rule);
// The tree is built (true) or a parse begins (false). Once built, storage a
// body's or a class's lists give back is no longer kept for new lists: a
// stretch of it that empties is returned.
void setTreeBuilt(bool built);

}  // namespace nodelist
