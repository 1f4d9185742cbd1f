#include "foundation/shared_handle.h"

#include <atomic>
#include <cstdlib>

namespace qestl {

namespace {

void addReference(uint32_t* count) {
    if (count != nullptr) std::atomic_ref<uint32_t>(*count).fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

SharedHandle SharedHandle::make(uint64_t value, SharedReleaseFn release) {
    SharedHandle handle;
    auto* count = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t)));
    if (count == nullptr) return handle;
    *count = 1;
    handle.count_ = count;
    handle.value_ = value;
    handle.release_ = release;
    return handle;
}

SharedHandle::SharedHandle(const SharedHandle& other)
    : count_(other.count_), value_(other.value_), release_(other.release_) {
    addReference(count_);
}

SharedHandle& SharedHandle::operator=(const SharedHandle& other) {
    // Take the new reference before dropping the old one: other may be kept
    // alive only by this handle.
    uint32_t* count = other.count_;
    uint64_t value = other.value_;
    SharedReleaseFn release = other.release_;
    addReference(count);
    reset();
    count_ = count;
    value_ = value;
    release_ = release;
    return *this;
}

void SharedHandle::reset() {
    uint32_t* count = count_;
    uint64_t value = value_;
    SharedReleaseFn release = release_;
    count_ = nullptr;
    value_ = 0;
    release_ = nullptr;
    if (count == nullptr) return;
    if (std::atomic_ref<uint32_t>(*count).fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (release != nullptr) release(value);
    std::free(count);
}

uint32_t SharedHandle::useCount() const {
    if (count_ == nullptr) return 0;
    return std::atomic_ref<uint32_t>(*count_).load(std::memory_order_relaxed);
}

}  // namespace qestl
