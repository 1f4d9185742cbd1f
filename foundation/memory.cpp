#include "foundation/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/sanitizer.h"
#include "platform/output_file.h"

#if !defined(KORVO_ADDRESS_SANITIZER)
#include <sys/mman.h>
#endif

namespace qestl {

namespace {

const char* outOfMemoryLine = nullptr;

// A table of this size or more lies on huge pages. A search, or the
// prefetch that asks for its place ahead, lands at a random place of the
// table: over tens of megabytes of 4 KiB pages each first walked the page
// tables, and at a million classes that walk was where the name pool's
// look-ahead waited (bench/hostile_shapes.py one_method_classes, a table of
// 32 MiB; the class schedule's, the member indexes' and the failed names'
// tables in inheritance_chain and unknown_bases alike). Smaller tables come
// from the C heap as before.
constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

size_t cStringLength(const char* text) { return std::strlen(text); }

void memMoveBytes(void* destination, const void* source, size_t count) {
    if (count != 0) std::memmove(destination, source, count);
}

void memMoveUnits16(char16_t* destination, const char16_t* source, size_t count) {
    if (count != 0) std::memmove(destination, source, count * sizeof(char16_t));
}

void freeIfOwned(void* block, int ownershipFlag) {
    if (ownershipFlag == 1) std::free(block);
}

namespace {

// A compile error, not a crash: what was printed so far stays, the message
// follows it, and the status says the compile failed.
[[noreturn]] void endForMemory(const char* report) {
    // No half-written output stays beside its target.
    platform::removeTemporaries();
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", report);
    if (outOfMemoryLine != nullptr) std::printf("%s\n", outOfMemoryLine);
    std::fflush(stdout);
    std::_Exit(1);
}

}  // namespace

[[noreturn]] void outOfMemory(size_t bytes) {
    char report[64];
    std::snprintf(report, sizeof report, "out of memory (%zu bytes)", bytes);
    endForMemory(report);
}

void endOnFailedNew() {
    // operator new does not tell the handler the size it was asked for.
    std::set_new_handler([] { endForMemory("out of memory"); });
}

void setOutOfMemoryLine(const char* line) { outOfMemoryLine = line; }

void* allocateOrDie(size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) outOfMemory(bytes);
    return block;
}

void* reallocateOrDie(void* block, size_t bytes) {
    void* moved = std::realloc(block, bytes == 0 ? 1 : bytes);
    if (moved == nullptr) outOfMemory(bytes);
    return moved;
}

void* allocateTable(size_t bytes) {
    if (bytes < kHugePage) return ::operator new(bytes);
    void* block = ::operator new (bytes, std::align_val_t{kHugePage});
#if !defined(KORVO_ADDRESS_SANITIZER)
    // Refused (no huge pages), the table keeps small ones.
    madvise(block, (bytes + kHugePage - 1) & ~(kHugePage - 1), MADV_HUGEPAGE);
#endif
    return block;
}

void freeTable(void* block, size_t bytes) {
    if (bytes < kHugePage) ::operator delete(block);
    else ::operator delete (block, std::align_val_t{kHugePage});
}

void* zeroAllocateOrDie(size_t count, size_t size) {
    void* block = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
    if (block == nullptr) outOfMemory(count * size);
    return block;
}

}  // namespace qestl
