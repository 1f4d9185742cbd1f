// Fields that few objects ever set, kept apart from the object: it pays one
// pointer until it writes one of them. Copies are deep, and an empty box
// reads (and compares) as fields of their default values. Once made, the
// fields keep their address: code may point into them.
#pragma once

#include <new>
#include <utility>

#include "foundation/object_heap.h"

namespace qestl {

template <typename Fields>
class RareFields {
public:
    RareFields() = default;
    RareFields(const RareFields& other) : fields_(other.fields_ ? make(*other.fields_) : nullptr) {}
    RareFields& operator=(const RareFields& other) {
        if (this == &other) return *this;
        if (fields_) *fields_ = other.get();
        else if (other.fields_) fields_ = make(*other.fields_);
        return *this;
    }
    RareFields(RareFields&& other) noexcept : fields_(std::exchange(other.fields_, nullptr)) {}
    RareFields& operator=(RareFields&& other) noexcept {
        if (this == &other) return *this;
        if (fields_) *fields_ = other.fields_ ? std::move(*other.fields_) : Fields();
        else fields_ = std::exchange(other.fields_, nullptr);
        return *this;
    }
    ~RareFields() { destroy(); }

    const Fields& get() const { return fields_ ? *fields_ : defaults(); }
    Fields& edit() {
        if (!fields_) fields_ = make(Fields());
        return *fields_;
    }
    bool made() const { return fields_ != nullptr; }
    // Back to the defaults (where fields were made, they stay).
    void clear() {
        if (fields_) *fields_ = Fields();
    }
    bool operator==(const RareFields& other) const { return get() == other.get(); }

private:
    // From the object heap: no allocator header beside each.
    static Fields* make(const Fields& from) { return new (allocateObjectMemory(sizeof(Fields))) Fields(from); }
    void destroy() {
        if (fields_ == nullptr) return;
        fields_->~Fields();
        freeObjectMemory(fields_, sizeof(Fields));
        fields_ = nullptr;
    }
    static const Fields& defaults() {
        static const Fields values{};
        return values;
    }
    Fields* fields_ = nullptr;
};

}  // namespace qestl
