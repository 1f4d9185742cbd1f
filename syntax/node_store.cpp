// Node blocks come from the process-wide node pool; the registry is one
// address set. Neither is torn down: the process exits directly.
#include "foundation/maps.h"
#include "foundation/node_pool.h"
#include "foundation/vector.h"
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

namespace {

bool gDestroying = false;

qestl::qevector<refableAstBase*>& pendingNodes() {
    static auto* pending = new qestl::qevector<refableAstBase*>();
    return *pending;
}

void destroyNow(refableAstBase* node) {
    node->~refableAstBase();
    freeNodeBlock(node);
}

}  // namespace

// A node's destructor releases its operands and children, whose destructors
// release theirs: on a tree as deep as a long chain of "a + b + c ..." that
// recursion would exhaust the stack. Nodes that fall to zero while another is
// being destroyed wait in a list and are destroyed one after the other.
void destroyPooledNode(refableAstBase* node) {
    LiveNodeRegistry::erase(node);
    if (gDestroying) {
        pendingNodes().pushBack(node);
        return;
    }
    gDestroying = true;
    destroyNow(node);
    qestl::qevector<refableAstBase*>& pending = pendingNodes();
    while (pending.size() != 0) {
        refableAstBase* next = pending[pending.size() - 1];
        pending.popBack();
        destroyNow(next);
    }
    gDestroying = false;
}
