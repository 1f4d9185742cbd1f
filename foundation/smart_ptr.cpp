#include "foundation/smart_ptr.h"

#include <cassert>
#include <cstdlib>

#include "foundation/live_registry.h"
#include "foundation/object_heap.h"

namespace qestl {

void* CountedObject::operator new(size_t bytes) noexcept { return allocateObjectMemory(bytes); }

void CountedObject::operator delete(void* memory, size_t bytes) noexcept { freeObjectMemory(memory, bytes); }

void defaultDeleter(CountedObject* object) {
    if (object == nullptr) return;
    if constexpr (kRegistersLiveObjects) destroyLiveObject(object);
    else delete object;
}

SmartPtr::SmartPtr([[maybe_unused]] const int& zero) { assert(zero == 0); }

}  // namespace qestl
