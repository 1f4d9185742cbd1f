// Asking for memory before it is read: the one place that prefetches. A
// walk over millions of records made long before lies far outside the
// caches, and each record read in turn is a wait; asked for some steps
// ahead, the waits overlap. Each user says in its own comment which bench
// shape pays for it, so that it can be measured again and dropped.
//
// Every helper here is an always-inline template. A function made of
// prefetches alone reads to the optimiser as one without effect, and a call
// to it is removed; inlined into its caller, the prefetches stay (checked
// with objdump -d of the release build: prefetcht0 at each caller).
#pragma once

#include <algorithm>
#include <cstddef>

namespace qestl {

// Asks for the cache line that holds `address`.
template <typename T>
[[gnu::always_inline]] inline void touch(const T* address) {
    __builtin_prefetch(static_cast<const void*>(address));
}

// The same for an address made from a hash (a slot of an open table):
// GCC 12 takes such a prefetch for dead and drops it, which the empty asm
// prevents.
template <typename T>
[[gnu::always_inline]] inline void touchHashed(const T* address) {
    asm volatile("" ::: "memory");
    __builtin_prefetch(static_cast<const void*>(address));
}

// Asks for every line of the `bytes` bytes from `address`, from the line at
// `from` bytes on.
template <typename T>
[[gnu::always_inline]] inline void touchLines(const T* address, size_t bytes, size_t from = 0) {
    const char* start = reinterpret_cast<const char*>(address);
    for (size_t line = from; line < bytes; line += 64) __builtin_prefetch(start + line);
}

// Visits each element of a list in order, calling `fetch` on the element
// `distance` places ahead first (while there is one): for walks over lists
// long enough that their elements' targets are far apart in memory.
template <typename List, typename Fetch, typename Visit>
[[gnu::always_inline]] inline void forEachAhead(List& list, size_t distance, Fetch fetch, Visit visit) {
    const size_t count = list.size();
    for (size_t i = 0; i < count; ++i) {
        if (i + distance < count) fetch(list[i + distance]);
        visit(list[i]);
    }
}

// At every `batch`-th place `at` of a walk over `count` elements, calls
// `load` with each place of the batch that lies `distance` places ahead.
// What a walk over millions of elements loads lies on pages of its own, and
// a load waits until its page is found: asked one per step, those waits
// never overlap; asked a batch at a time, they do.
template <typename Load>
[[gnu::always_inline]] inline void loadBatchAhead(size_t at, size_t batch, size_t distance, size_t count, Load&& load) {
    if (at % batch != 0) return;
    const size_t end = std::min(at + distance + batch, count);
    for (size_t i = at + distance; i < end; ++i) load(i);
}

}  // namespace qestl
