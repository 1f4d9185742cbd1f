#include "foundation/live_registry.h"

#include <cstdlib>
#include <new>

#include "foundation/node_pool.h"


namespace qestl {

LiveObjectRegistry& liveObjectRegistry() {
    // Built in place once and never destroyed, so objects released by other
    // static destructors still find it.
    alignas(LiveObjectRegistry) static unsigned char storage[sizeof(LiveObjectRegistry)];
    static LiveObjectRegistry* registry = new (storage) LiveObjectRegistry();
    return *registry;
}

CountedObject* registerLiveObject(CountedObject* object) {
    liveObjectRegistry().insert(object);
    return object;
}

void destroyLiveObject(CountedObject* object) {
    LiveObjectRegistry& registry = liveObjectRegistry();
    if (auto* node = registry.find(reinterpret_cast<uintptr_t>(object))) registry.eraseNode(node);
    object->~CountedObject();
    std::free(object);
}

void destroyPoolObject(CountedObject* object) {
    object->~CountedObject();
    globalNodePool()->free(object);
}

}  // namespace qestl
