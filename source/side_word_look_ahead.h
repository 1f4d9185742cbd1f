// The side words of the nodes some places ahead in a very long list, loaded
// while the node at hand is declared or compiled: a class of a million
// static fields has a word for each field's declarator, in a table tens of
// megabytes long, and each walk over the fields (declaring them, then
// compiling them) waited for each word far outside the caches
// (bench/hostile_shapes.py static_fields).
#pragma once

#include <cstddef>

#include "foundation/look_ahead.h"
#include "source/node.h"

namespace sidewords {

constexpr size_t kManyNodes = 4096;
constexpr size_t kAhead = 8;

// Called with each place `at` of the walk over `list`: the words of the
// eight nodes after the next eight, at every eighth place.
inline void loadAhead(const AstNodeVector& list, size_t at) {
    if (list.size() < kManyNodes) return;
    qestl::loadBatchAhead(at, kAhead, kAhead, list.size(),
                          [&](size_t i) { qeAbstractNode::loadSideWordsNear(list[i].get()); });
}

}  // namespace sidewords
