// The memory of counted objects (instructions and model objects): hundreds of
// thousands of them, a few sizes, made and dropped all through a compilation.
// An optimised build carves them from large mapped blocks and keeps freed
// ones on a list per size: no C heap bookkeeping per object, and objects of
// one compilation lie close together. (Asking the kernel for huge pages for
// the blocks cost more system time than the page faults it saved.) A
// sanitized build uses the C heap, so that overruns and leaks stay visible.
#pragma once

#include <cstddef>

namespace qestl {

// Never null: exhaustion ends the process.
void* allocateObjectMemory(size_t bytes);
// Takes back memory of allocateObjectMemory, given the size it was asked
// with (no block records its own: a million of them would carry a header
// each); nothing for null.
void freeObjectMemory(void* memory, size_t bytes);
// Memory of `newBytes` holding the first of `oldBytes` of `memory` (from
// allocateObjectMemory), which it takes back: bytes moved as they are. A
// large block grows in place or by moving its pages where the C heap can.
void* reallocateObjectMemory(void* memory, size_t oldBytes, size_t newBytes);

// The same as freeObjectMemory, for blocks freed one after the other that
// often lie side by side (a compiled body's syntax nodes, made one after the
// other by the parse): those are gathered into runs that objects of any size
// are carved from, up to endFreedRuns, rather than each joining the free
// list of its size. The records made after a body take 56 bytes, where a
// node's 64-byte block wasted 8 of each (1M varied lines: 40 MB of the peak).
// The blocks are no larger than a syntax node's.
void freeObjectMemoryInRun(void* memory, size_t bytes);
void endFreedRuns();

}  // namespace qestl
