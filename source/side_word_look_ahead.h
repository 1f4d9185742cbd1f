// The side words of the nodes some places ahead in a very long list, loaded
// while the node at hand is declared or compiled: a class of a million
// static fields has a word for each field's declarator, in a table tens of
// megabytes long, and each walk over the fields (declaring them, then
// compiling them) waited for each word far outside the caches
// (bench/hostile_shapes.py static_fields).
#pragma once

#include <algorithm>
#include <cstddef>

#include "source/node.h"

namespace sidewords {

constexpr size_t kManyNodes = 4096;
constexpr size_t kAhead = 8;

// Called with each place `at` of the walk over `list`. The loads go out
// eight at a time, for the eight nodes after the next eight: the words lie
// on pages of their own, and a load waits for its page's place to be found
// before the next can start; asked together, those searches overlap.
inline void loadAhead(const AstNodeVector& list, size_t at) {
    if (list.size() < kManyNodes || at % kAhead != 0) return;
    const size_t end = std::min(at + 2 * kAhead, list.size());
    for (size_t i = at == 0 ? 0 : at + kAhead; i < end; ++i) qeAbstractNode::loadSideWordsNear(list[i].get());
}

}  // namespace sidewords
