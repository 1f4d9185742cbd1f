// The global set of every live counted object on the C heap.
#pragma once

#include "foundation/maps.h"
#include "foundation/smart_ptr.h"

namespace qestl {

class LiveObjectRegistry : public PointerSet {
public:
    // Unlinks the node (restoring the red-black rules) and frees it; erasing
    // the only node leaves an empty tree.
    void eraseNode(Node* node) { PointerSet::eraseNode(node); }
};

// The process-wide registry. It is never torn down: the process exits directly.
LiveObjectRegistry& liveObjectRegistry();

// Called by the makers of counted objects; returns object.
CountedObject* registerLiveObject(CountedObject* object);

// Removes object from the registry when present, destroys it and frees its
// memory to the C heap. An unregistered object is still destroyed and freed.
void destroyLiveObject(CountedObject* object);

// The disposal of counted objects placed in the global node pool: destroys
// object and returns its block to the pool.
void destroyPoolObject(CountedObject* object);

}  // namespace qestl
