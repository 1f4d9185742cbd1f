// Node blocks come from the process-wide node pool; the registry is one
// address set. Neither is torn down: the process exits directly.
#include "foundation/maps.h"
#include "foundation/node_pool.h"
#include "syntax/node_handle.h"

namespace {

qestl::PointerSet& liveNodes() {
    static qestl::PointerSet* nodes = new qestl::PointerSet();
    return *nodes;
}

}  // namespace

void* allocateNodeBlock(size_t size) {
    qestl::NodePool* pool = qestl::globalNodePool();
    // Every node shares one block size; a larger request is a build fault.
    if (pool == nullptr || size > kNodeBlockBytes) return nullptr;
    return pool->alloc();
}

void freeNodeBlock(void* block) {
    if (block != nullptr) qestl::globalNodePool()->free(block);
}

bool LiveNodeRegistry::insert(const refableAstBase* node) {
    qestl::PointerSet& nodes = liveNodes();
    if (nodes.contains(node)) return false;
    return nodes.insert(node) != nullptr;
}

bool LiveNodeRegistry::erase(const refableAstBase* node) {
    qestl::PointerSet& nodes = liveNodes();
    auto* entry = nodes.find(reinterpret_cast<uintptr_t>(node));
    if (entry == nullptr) return false;
    if (nodes.size() == 1) nodes.clear();  // the last entry empties the whole set
    else nodes.eraseNode(entry);
    return true;
}

bool LiveNodeRegistry::contains(const refableAstBase* node) { return liveNodes().contains(node); }

size_t LiveNodeRegistry::count() { return liveNodes().size(); }

void destroyPooledNode(refableAstBase* node) {
    LiveNodeRegistry::erase(node);
    node->~refableAstBase();
    freeNodeBlock(node);
}
