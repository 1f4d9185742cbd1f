// Where syntax nodes live: blocks of the object heap (of the global node pool
// in a sanitized build), the live-node registry (an address set of
// foundation/live_registry.h), and the release of a node whose last handle
// went.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "foundation/live_registry.h"
#include "foundation/memory.h"
#include "foundation/node_pool.h"
#include "foundation/object_heap.h"
#include "foundation/sanitizer.h"
#include "foundation/vector.h"
#include "syntax/node_handle.h"

namespace {

[[noreturn]] void outOfNodeBlocks(size_t size);

// Plain data, zero at load time and never destroyed: nodes released by
// static destructors still find it.
constinit qestl::LiveAddressSet gLiveNodes;

uintptr_t keyOf(const refableAstBase* node) { return reinterpret_cast<uintptr_t>(node); }

// The pool refuses a block when memory or its chunk table runs out: the
// compile ends as for any exhausted memory.
void outOfNodeBlocks(size_t size) {
    std::fprintf(stderr, "out of syntax node blocks (%zu bytes asked)\n", size);
    qestl::outOfMemory(size);
}

// A node being taken apart: how far its teardown has come.
struct Teardown {
    refableAstBase* node;
    uint64_t cursor;
};

}  // namespace

#if defined(KORVO_ADDRESS_SANITIZER)

// A sanitized build keeps the nodes in the global pool: there the object
// heap is the C heap, whose leak report would list the node cycles some
// tests and harnesses leave behind.
void* allocateNodeBlock(size_t size) {
    qestl::NodePool* pool = qestl::globalNodePool();
    if (size > kNodeBlockBytes || size > pool->stride()) outOfNodeBlocks(size);
    void* block = pool->alloc();
    if (block == nullptr) outOfNodeBlocks(size);
    return block;
}

void freeNodeBlock(void* block) { qestl::globalNodePool()->free(block); }

void freeNodeBlockInRun(void* block) { qestl::globalNodePool()->free(block); }

void endNodeBlockRun() {}

#else

// Nodes share the object heap with the model and the code: the blocks of a
// tree released after its body is compiled serve the instructions made
// after it, where a pool of their own would keep them for nodes alone.
void* allocateNodeBlock(size_t size) {
    if (size > kNodeBlockBytes) outOfNodeBlocks(size);
    return qestl::allocateObjectMemory(kNodeBlockBytes);
}

void freeNodeBlock(void* block) { qestl::freeObjectMemory(block, kNodeBlockBytes); }

void freeNodeBlockInRun(void* block) { qestl::freeObjectMemoryInRun(block, kNodeBlockBytes); }

void endNodeBlockRun() { qestl::endFreedRuns(); }

#endif

bool LiveNodeRegistry::insert(const refableAstBase* node) { return node != nullptr && gLiveNodes.insert(keyOf(node)); }

bool LiveNodeRegistry::erase(const refableAstBase* node) { return node != nullptr && gLiveNodes.erase(keyOf(node)); }

bool LiveNodeRegistry::contains(const refableAstBase* node) { return gLiveNodes.contains(keyOf(node)); }

size_t LiveNodeRegistry::count() { return gLiveNodes.size(); }

// A program that links the parsing engine but defines no node type (the
// grammar tool) never makes a node; the node type's own definitions replace
// these wherever there is one.
__attribute__((weak)) refableAstBase* dropNextNodeReference(refableAstBase*, uint64_t&, bool&) {
    std::fprintf(stderr, "a syntax node released without a node type\n");
    std::abort();
}

__attribute__((weak)) void destroyNodeObject(refableAstBase*) {
    std::fprintf(stderr, "a syntax node released without a node type\n");
    std::abort();
}

// Nodes being taken apart, innermost last. One stack serves every release: a
// release started from inside another (an owner letting go of nodes of its
// own) works above the entries of the outer one and is done before it resumes.
namespace {

qestl::qevector<Teardown>& teardowns() {
    static qestl::qevector<Teardown>* stack = new qestl::qevector<Teardown>();  // never torn down
    return *stack;
}

}  // namespace

// The recursive release (a node's destructor releasing its sub-nodes, each
// destroyed as its count reaches zero) replayed with an explicit stack: the
// registry erasures, the owners' releases and the blocks' return happen in
// the same order, but a chain of millions of nodes costs heap, not stack.
void destroyPooledNode(refableAstBase* node) {
    qestl::qevector<Teardown>& stack = teardowns();
    const size_t base = stack.size();
    if constexpr (kListsLiveNodes) LiveNodeRegistry::erase(node);
    stack.pushBack(Teardown{node, 0});
    while (stack.size() > base) {
        // By index and through a copy of the cursor: a nested release may
        // grow the stack while the node drops a reference.
        const size_t at = stack.size() - 1;
        refableAstBase* current = stack[at].node;
        uint64_t cursor = stack[at].cursor;
        bool finished = false;
        refableAstBase* released = dropNextNodeReference(current, cursor, finished);
        stack[at].cursor = cursor;
        if (released != nullptr) {
            if constexpr (kListsLiveNodes) LiveNodeRegistry::erase(released);
            stack.pushBack(Teardown{released, 0});
        } else if (finished) {
            stack.popBack();
            destroyNodeObject(current);
            freeNodeBlock(current);
        }
    }
}
