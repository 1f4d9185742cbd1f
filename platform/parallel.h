// Work split into parts that run at once, one thread each: for passes over
// large data whose parts touch disjoint memory and wait mostly on it.
#pragma once

#include <cstddef>

namespace platform {

// The processors this process may run on (at least 1).
size_t processorCount();

// Runs work(data, part) for every part in [0, parts) and returns when all
// are done. Part 0 runs on the calling thread, the others on threads of their
// own; a part whose thread cannot be made runs on the calling thread too.
void runInParallel(size_t parts, void (*work)(void* data, size_t part), void* data);

// The same for any callable taking the part number.
template <typename Work>
void runInParallel(size_t parts, Work& work) {
    runInParallel(parts, [](void* data, size_t part) { (*static_cast<Work*>(data))(part); }, &work);
}

}  // namespace platform
