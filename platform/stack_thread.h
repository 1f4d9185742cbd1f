// Work that recurses deeply (the declaration pass nests one frame chain per
// nested class or template instance, up to 255 levels) runs on a thread of
// its own with a stack sized for it, not on the main thread whose stack the
// user's limits decide.
#pragma once

#include <cstddef>

namespace platform {

// The stack the compile thread gets: room for 255 nested declaration levels
// with the frames of the sanitized build.
constexpr size_t kCompileStackBytes = size_t{512} << 20;

// Runs work(data) on a new thread with a stack of `bytes` and waits for it.
// When no such thread can be made, or the calling thread is one made here
// with at least that stack, the work runs on the calling thread.
void runOnLargeStack(size_t bytes, void (*work)(void* data), void* data);

// The same for any callable.
template <typename Work>
void runOnLargeStack(size_t bytes, Work& work) {
    runOnLargeStack(bytes, [](void* data) { (*static_cast<Work*>(data))(); }, &work);
}

}  // namespace platform
