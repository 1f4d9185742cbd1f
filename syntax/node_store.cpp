// Interim home of the node block pool and the live-node registry, on the
// standard library until the house pool and pointer set are available.
#include <cstdlib>
#include <set>

#include "syntax/node_handle.h"

namespace {

std::set<const refableAstBase*>& liveNodes() {
    static std::set<const refableAstBase*>* nodes = new std::set<const refableAstBase*>();  // never torn down
    return *nodes;
}

}  // namespace

void* allocateNodeBlock(size_t size) { return std::malloc(size); }

void freeNodeBlock(void* block) { std::free(block); }

bool LiveNodeRegistry::insert(const refableAstBase* node) { return liveNodes().insert(node).second; }

bool LiveNodeRegistry::erase(const refableAstBase* node) { return liveNodes().erase(node) != 0; }

bool LiveNodeRegistry::contains(const refableAstBase* node) { return liveNodes().count(node) != 0; }

size_t LiveNodeRegistry::count() { return liveNodes().size(); }

void destroyPooledNode(refableAstBase* node) {
    LiveNodeRegistry::erase(node);
    node->~refableAstBase();
    freeNodeBlock(node);
}
