// Raw memory helpers shared by the strings and the containers.
//
// Buffers of the house strings and vectors come from the C heap. A capacity of
// all ones marks storage that belongs to somebody else: it is never freed or
// reallocated by the object that points at it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qestl {

// Capacity value that marks a borrowed buffer; also "measure the text" as a length.
inline constexpr size_t npos = SIZE_MAX;

// Bytes before the first 0 byte.
size_t cStringLength(const char* text);

// Units before the first 0 unit, for either unit width.
template <typename Unit>
size_t unitLength(const Unit* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// Overlap-safe copies: backwards when the destination lies above the source.
void memMoveBytes(void* destination, const void* source, size_t count);
void memMoveUnits16(char16_t* destination, const char16_t* source, size_t count);

// Frees the block only when the ownership flag is 1.
void freeIfOwned(void* block, int ownershipFlag);

// The identity used where an object is constructed in place.
inline void* placementNew(void* address) { return address; }

// malloc/realloc that end the process on exhaustion: the compiler has no
// road on which running out of memory could be reported and survived. The
// end is an error message and exit status 1, never a signal.
[[noreturn]] void outOfMemory(size_t bytes);
// The line printed on stdout before that exit: the compiler's own message,
// which the foundation does not know; none until the compiler sets it.
void setOutOfMemoryLine(const char* line);
// The standard containers and `new` end the same way, rather than throwing
// std::bad_alloc out of the compile into an abort.
void endOnFailedNew();
void* allocateOrDie(size_t bytes);
void* zeroAllocateOrDie(size_t count, size_t size);
void* reallocateOrDie(void* block, size_t bytes);
// The array of an open table (foundation/open_slots.h TableAllocator), and
// its release with the same size.
void* allocateTable(size_t bytes);
void freeTable(void* block, size_t bytes);

}  // namespace qestl
