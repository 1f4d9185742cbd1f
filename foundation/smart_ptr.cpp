#include "foundation/smart_ptr.h"

#include <cassert>
#include <cstdlib>

#include "foundation/live_registry.h"

namespace qestl {

void* CountedObject::operator new(size_t bytes) noexcept { return std::malloc(bytes); }

void CountedObject::operator delete(void* memory) noexcept { std::free(memory); }

void defaultDeleter(CountedObject* object) {
    if (object != nullptr) destroyLiveObject(object);
}

SmartPtr::SmartPtr(CountedObject* object) : object_(object) {
    if (object_ != nullptr) object_->addReference();
}

SmartPtr::SmartPtr(CountedObject* object, Deleter deleter) : object_(object), deleter_(deleter) {
    if (object_ != nullptr) object_->addReference();
}

SmartPtr::SmartPtr([[maybe_unused]] const int& zero) { assert(zero == 0); }

SmartPtr::SmartPtr(const SmartPtr& other) : object_(other.object_) {
    if (object_ != nullptr) object_->addReference();
}

SmartPtr& SmartPtr::operator=(const SmartPtr& other) {
    // The new reference is taken before the old one is dropped, so that
    // assigning a pointer to itself, or to something only the old object
    // keeps alive, never destroys what is being taken.
    CountedObject* object = other.object_;
    Deleter deleter = other.deleter_;
    if (object != nullptr) object->addReference();
    reset();
    object_ = object;
    deleter_ = deleter;
    extra_ = 0;
    return *this;
}

void SmartPtr::reset() {
    CountedObject* object = object_;
    object_ = nullptr;
    if (object != nullptr && object->release()) deleter_(object);
}

}  // namespace qestl
