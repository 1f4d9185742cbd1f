// The places the near misses of deferred errors some entries ahead are
// listed from, loaded while an error is reported: each is listed from the
// tables of the containers its name failed in (the similar names kept for
// the name, the count noted at its first failure), which a program of a
// million errors has far outside the caches, and each listing waited for
// memory (bench/hostile_shapes.py unknown_bases).
#pragma once

#include <cstddef>
#include <vector>

#include "codegen/diagnostic_capture.h"

namespace deferredahead {

constexpr size_t kManyEntries = 4096;
constexpr size_t kAhead = 8;

// Called with each place `at` of the walk over `entries`.
inline void loadAhead(const DeferredDiagnostics& deferred, const std::vector<DeferredDiagnostics::Entry>& entries,
                      size_t at) {
    if (entries.size() >= kManyEntries && at + kAhead < entries.size())
        deferred.prefetchSuggestionsOf(entries[at + kAhead]);
}

}  // namespace deferredahead
