// Counted objects and the pointer that holds them.
//
// The count lives in the object; the pointer is one word, and the object's
// last reference disposes of it through defaultDeleter. Counts are plain:
// the compiler runs on one thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/vector.h"

namespace qestl {

// The base of every object held through SmartPtr. Objects start with count 0
// and live in object memory (see operator new) unless placed in a pool.
class CountedObject {
public:
    CountedObject() = default;
    // A copy is a new object: it starts uncounted.
    CountedObject(const CountedObject&) noexcept {}
    CountedObject& operator=(const CountedObject&) noexcept { return *this; }
    virtual ~CountedObject() = default;

    // Drops one reference; true when none is left.
    virtual bool release() { return --refCount_ == 0; }
    void addReference() { ++refCount_; }
    uint32_t referenceCount() const { return refCount_; }

    // The disposal frees through the object heap, so plain `new` must
    // allocate there.
    // A failed allocation yields null rather than throwing.
    static void* operator new(size_t bytes) noexcept;
    static void* operator new(size_t, void* place) noexcept { return place; }
    // Sized only: the heap keeps no size beside its blocks, and the virtual
    // destructor hands the size of what is destroyed.
    static void operator delete(void* memory, size_t bytes) noexcept;
    static void operator delete(void*, void*) noexcept {}

private:
    uint32_t refCount_ = 0;
};

using Deleter = void (*)(CountedObject* object);

// Unregisters, destroys and frees a C heap object; nothing for null.
void defaultDeleter(CountedObject* object);

class SmartPtr {
public:
    SmartPtr() = default;
    // Takes object (count + 1) unless it is null.
    SmartPtr(CountedObject* object);  // NOLINT: implicit by design
    // Where an int 0 stands for "no object": a null pointer.
    SmartPtr(const int& zero);  // NOLINT: implicit by design
    // Adds a reference.
    SmartPtr(const SmartPtr& other);
    SmartPtr& operator=(const SmartPtr& other);
    // Takes the reference over; `other` is left empty.
    SmartPtr(SmartPtr&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    SmartPtr& operator=(SmartPtr&& other) noexcept;
    ~SmartPtr() { reset(); }

    // Releases the held object: it is disposed of when the count reaches 0.
    void reset();

    CountedObject* get() const { return object_; }
    template <typename T>
    T* as() const {
        return static_cast<T*>(object_);
    }
    CountedObject* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(const SmartPtr& other) const { return object_ == other.object_; }

private:
    // One word: pointers fill operands, code lists and model objects by the
    // million.
    CountedObject* object_ = nullptr;
};

// Inline: pointers are copied and dropped on every path of the compiler,
// mostly empty ones.
inline SmartPtr::SmartPtr(CountedObject* object) : object_(object) {
    if (object_ != nullptr) object_->addReference();
}

inline SmartPtr::SmartPtr(const SmartPtr& other) : object_(other.object_) {
    if (object_ != nullptr) object_->addReference();
}

inline SmartPtr& SmartPtr::operator=(const SmartPtr& other) {
    // The new reference is taken before the old one is dropped, so that
    // assigning a pointer to itself, or to something only the old object
    // keeps alive, never destroys what is being taken.
    CountedObject* object = other.object_;
    if (object != nullptr) object->addReference();
    reset();
    object_ = object;
    return *this;
}

inline SmartPtr& SmartPtr::operator=(SmartPtr&& other) noexcept {
    // Taken out first: `other` may be this pointer, or be kept alive only
    // by the object dropped here.
    CountedObject* object = other.object_;
    other.object_ = nullptr;
    reset();
    object_ = object;
    return *this;
}

inline void SmartPtr::reset() {
    CountedObject* object = object_;
    object_ = nullptr;
    if (object != nullptr && object->release()) defaultDeleter(object);
}

// One word that nothing points into: a vector moves it as bytes.
template <>
struct isRelocatable<SmartPtr> : std::true_type {};

// Elements are copied (count + 1) and released.
using SmartPtrVector = qevector<SmartPtr>;
// The same element handling; the name used by template instantiation and the
// resource table.
using ObjectRefVector = qevector<SmartPtr>;

}  // namespace qestl
