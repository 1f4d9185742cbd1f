// Work that recurses deeply (the declaration pass nests one frame chain per
// nested class or template instance, up to 255 levels) runs on a stack sized
// for it, not on the main thread's, whose size the user's limits decide.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// The stack the compile thread gets: room for 255 nested declaration levels
// with the frames of the sanitized build.
constexpr size_t kCompileStackBytes = size_t{512} << 20;

// Whether this build's frames are the sanitized build's, some four times the
// size of a release build's: a depth bound derived from a stack's size
// counts its levels with the frames of the build that runs.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizedFrames = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitizedFrames = true;
#else
constexpr bool kSanitizedFrames = false;
#endif
#else
constexpr bool kSanitizedFrames = false;
#endif

// Runs work(data) on a stack of `bytes`, or of less where the process's
// limits of address space or data would leave the heap short (a quarter of
// the smaller at most), and returns when it is done: the
// calling thread switches to that stack (the sanitized build, whose checks
// follow threads rather than switched stacks, runs the work on a new thread
// and waits for it). When no such stack can be had, or the work already
// runs on one made here (whatever its size: the limits that sized it have
// not changed), it runs where it is.
void runOnLargeStack(size_t bytes, void (*work)(void* data), void* data);

// True while at least `bytes` of stack are left below the caller on the
// stack its thread runs on now. A recursion as deep as its input asks before
// each level, so that its depth is bounded by the stack actually had rather
// than by a count made for the largest. An overflow that happens all the same
// ends the process with a plain message and status 1, its temporary outputs
// removed.
inline bool stackRoomLeft(size_t bytes);

// The bytes of stack left below the caller on the stack its thread runs on
// now; SIZE_MAX when the stack's end cannot be told.
inline size_t stackRoomNow();

// The same for any callable.
template <typename Work>
void runOnLargeStack(size_t bytes, Work& work) {
    runOnLargeStack(bytes, [](void* data) { (*static_cast<Work*>(data))(); }, &work);
}

namespace detail {
// The lowest usable address of the stack the thread runs on now; 0 until
// asked.
extern thread_local uintptr_t tStackLow;
uintptr_t findStackLow();
}  // namespace detail

// Inline: the parser asks before every rule.
inline bool stackRoomLeft(size_t bytes) {
    uintptr_t low = detail::tStackLow;
    if (low == 0) low = detail::findStackLow();
    const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    return low == 0 || here < low || here - low >= bytes;
}

inline size_t stackRoomNow() {
    uintptr_t low = detail::tStackLow;
    if (low == 0) low = detail::findStackLow();
    const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    return low == 0 || here < low ? SIZE_MAX : here - low;
}

}  // namespace platform
