// The house growable array.
//
// Every vector of the compiler shares one header {data, count, capacity} and
// one growth rule: one element at a time it grows to count * 2 + 1, n at a
// time to count * 2 + n. On growth the elements are copy-constructed into the
// new buffer and the new element is placed before the old elements are
// destroyed, so a counted element never drops to zero through a move. A
// capacity of all ones marks a borrowed buffer that is never freed. A
// borrowed buffer has no room beyond its elements: the first push or insert
// copies them into a buffer of our own, and the lender's elements are left
// as they were (never destroyed here).
//
// The count type is size_t by default. A vector there are millions of (the
// syntax node's handle lists) takes uint32_t and is 8 bytes smaller; a
// growth past its range ends the process as an exhausted heap would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <new>
#include <utility>

#include "foundation/memory.h"
#include "foundation/object_heap.h"

namespace qestl {

// Whether an element may change its address by a copy of its bytes, the old
// bytes then counting as gone (no copy made, no destructor run): plain
// types, and the types that say so (the counted pointer: a growing code list
// then touches none of its million instructions' counts).
template <typename T>
struct isRelocatable : std::is_trivially_copyable<T> {};

template <typename T, typename Count = size_t>
class qevector {
public:
    qevector() = default;
    qevector(const qevector& other) { appendRange(other.data_, other.count_); }
    qevector(qevector&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          count_(std::exchange(other.count_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    qevector& operator=(const qevector& other) {
        if (this != &other) {
            qevector copy(other);
            swap(copy);
        }
        return *this;
    }
    qevector& operator=(qevector&& other) noexcept {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    ~qevector() { clear(); }

    void swap(qevector& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(count_, other.count_);
        std::swap(capacity_, other.capacity_);
    }

    // Takes storage that belongs to somebody else; it is never freed here.
    void borrow(T* buffer, size_t count) {
        clear();
        data_ = buffer;
        count_ = checkedCount(count);
        capacity_ = kBorrowed;
    }
    bool isBorrowed() const { return capacity_ == kBorrowed; }

    size_t size() const { return count_; }
    size_t count() const { return count_; }
    size_t capacity() const { return isBorrowed() ? npos : capacity_; }
    bool empty() const { return count_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T* begin() { return data_; }
    T* end() { return data_ + count_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + count_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    T* at(size_t i) { return data_ + i; }
    const T* at(size_t i) const { return data_ + i; }
    T& back() { return data_[count_ - 1]; }
    const T& back() const { return data_[count_ - 1]; }

    // Room for n elements in all: a list whose length is known is allocated
    // once, at that length, rather than doubled up to it.
    void reserve(size_t n) {
        if (n > capacity_ && !isBorrowed()) regrow(n, count_, nullptr, 0);
    }
    void pushBack(const T& element) {
        if (count_ + 1 > capacity_ || isBorrowed()) {
            regrow(size_t{count_} * 2 + 1, count_, &element, 1);
        } else {
            new (data_ + count_) T(element);
        }
        ++count_;
    }
    // Moved in, into the grown buffer too; an element of this vector's own
    // buffer is copied, since growing frees it.
    void pushBack(T&& element) {
        if (count_ + 1 > capacity_ || isBorrowed()) {
            if (&element >= data_ && &element < data_ + count_) {
                regrow(size_t{count_} * 2 + 1, count_, &element, 1);
                ++count_;
                return;
            }
            regrow(size_t{count_} * 2 + 1, count_, nullptr, 0);
        }
        new (data_ + count_) T(std::move(element));
        ++count_;
    }

    // Made in place at the end, grown as pushBack grows: no element is made
    // apart, moved in and dropped. The arguments must not lie in this
    // vector's buffer, which growing frees.
    template <typename... Args>
    T& emplaceBack(Args&&... args) {
        if (count_ + 1 > capacity_ || isBorrowed()) regrow(size_t{count_} * 2 + 1, count_, nullptr, 0);
        T* made = new (data_ + count_) T(std::forward<Args>(args)...);
        ++count_;
        return *made;
    }

    void append(const T* elements, size_t n) { insertRange(count_, elements, n); }
    // Appends the other vector's elements and leaves it empty: relocated
    // where the elements allow, so no element is copied or destroyed.
    void appendTaken(qevector& other) {
        if (&other == this || other.count_ == 0) return;
        if (!isRelocatable<T>::value || other.isBorrowed()) {
            insertRange(count_, other.data_, other.count_);
            other.clear();
            return;
        }
        if (count_ == 0 && !isBorrowed()) {
            clear();
            swap(other);
            return;
        }
        const size_t n = other.count_;
        if (count_ + n > capacity_ || isBorrowed()) regrow(size_t{count_} * 2 + n, count_, nullptr, 0);
        std::memcpy(static_cast<void*>(data_ + count_), other.data_, n * sizeof(T));
        count_ = checkedCount(count_ + n);
        other.releaseBuffer();
        other.data_ = nullptr;
        other.count_ = 0;
        other.capacity_ = 0;
    }
    void appendRange(const T* elements, size_t n) { insertRange(count_, elements, n); }
    // n more plain elements at the end, left for the caller to write: a
    // record made whole in place is not copied once more.
    T* appendSpace(size_t n) {
        static_assert(std::is_trivially_copyable_v<T>, "only plain elements are left to the caller");
        if (count_ + n > capacity_ || isBorrowed()) regrow(size_t{count_} * 2 + n, count_, nullptr, 0);
        T* const at = data_ + count_;
        count_ = checkedCount(count_ + n);
        return at;
    }

    // Inserts n copies at index; the tail moves up.
    void insertRange(size_t index, const T* elements, size_t n) {
        if (n == 0) return;
        if (index == count_ && count_ + n <= capacity_ && !isBorrowed()) {
            // Appending within the room: the new elements land past every
            // old one, so even our own elements are copied straight (the
            // byte writer appends each field of an image this way).
            if constexpr (std::is_trivially_copyable_v<T>) {
                std::memcpy(data_ + count_, elements, n * sizeof(T));
            } else {
                for (size_t i = 0; i < n; ++i) new (data_ + count_ + i) T(elements[i]);
            }
            count_ += n;
            return;
        }
        if (count_ + n > capacity_ || isBorrowed()) {
            if constexpr (std::is_trivially_copyable_v<T>) {
                if (index == count_ && data_ != nullptr && !isBorrowed() &&
                    (elements < data_ || elements >= data_ + count_)) {
                    // Appending from elsewhere: the buffer grows first, by
                    // moving a large one's pages rather than holding the old
                    // pages and the new at once (an image's name pool, tens
                    // of megabytes).
                    regrow(size_t{count_} * 2 + n, count_, nullptr, 0);
                    std::memcpy(data_ + count_, elements, n * sizeof(T));
                    count_ += n;
                    return;
                }
            }
            regrow(size_t{count_} * 2 + n, index, elements, n);
        } else {
            // Elements may alias our own storage: copy them aside first.
            qevector copies;
            const T* source = elements;
            if (elements >= data_ && elements < data_ + count_) {
                copies.reserveExact(n);
                for (size_t i = 0; i < n; ++i) new (copies.data_ + i) T(elements[i]);
                copies.count_ = n;
                source = copies.data_;
            }
            copyConstructRange(data_ + index + n, data_ + index, count_ - index, /*destroySource=*/true);
            if constexpr (std::is_trivially_copyable_v<T>) {
                std::memcpy(data_ + index, source, n * sizeof(T));
            } else {
                for (size_t i = 0; i < n; ++i) new (data_ + index + i) T(source[i]);
            }
        }
        count_ += n;
    }

    // Exactly n elements: the first min(count, n) kept, the rest
    // default-constructed. Growing appends like pushBack (in place while the
    // capacity lasts, else into a buffer at least twice the count), so a
    // writer that pads entry by entry stays linear; shrinking moves to a
    // buffer of exactly n. Nothing happens when count and capacity are n.
    void resize(size_t n) {
        if (capacity_ == n && count_ == n) return;
        if (n > count_) {
            if (n > capacity_ || isBorrowed()) {
                const size_t doubled = size_t{count_} * 2;
                regrow(doubled > n ? doubled : n, count_, nullptr, 0);
            }
            // One memset for plain elements: a loop over byte elements
            // reloads the header at every store (a byte may alias it), and
            // the image writer pads every table entry this way.
            if constexpr (std::is_trivially_default_constructible_v<T> && std::is_trivially_copyable_v<T>)
                std::memset(static_cast<void*>(data_ + count_), 0, (n - count_) * sizeof(T));
            else
                for (size_t i = count_; i < n; ++i) new (data_ + i) T();
            count_ = checkedCount(n);
            return;
        }
        T* fresh = allocateBuffer(n);
        size_t kept = count_ < n ? count_ : n;
        if constexpr (std::is_trivially_copyable_v<T>) {
            if (kept != 0) std::memcpy(static_cast<void*>(fresh), data_, kept * sizeof(T));
        } else {
            for (size_t i = 0; i < kept; ++i) new (fresh + i) T(data_[i]);
        }
        for (size_t i = kept; i < n; ++i) new (fresh + i) T();
        destroyAll();
        releaseBuffer();
        data_ = fresh;
        count_ = checkedCount(n);
        capacity_ = count_;
    }

    void erase(size_t index) {
        data_[index].~T();
        for (size_t i = index + 1; i < count_; ++i) {
            new (data_ + i - 1) T(data_[i]);
            data_[i].~T();
        }
        --count_;
    }

    void popBack() {
        --count_;
        data_[count_].~T();
    }

    // A borrowed buffer is dropped; an owned one has its elements destroyed
    // in order and is freed.
    void clear() {
        if (!isBorrowed()) {
            destroyAll();
            releaseBuffer();
        }
        data_ = nullptr;
        count_ = 0;
        capacity_ = 0;
    }

    // Count 0, the buffer kept for the next fill: a list emptied and filled
    // again for every lookup would otherwise be allocated again each time.
    // A borrowed buffer is dropped as by clear.
    void clearKeepingBuffer() {
        if (isBorrowed()) {
            clear();
            return;
        }
        destroyAll();
        count_ = 0;
    }

    // Copy-constructs n elements into raw memory, overlap-safe. With
    // destroySource the sources are destroyed once copied (a move).
    static void copyConstructRange(T* destination, T* source, size_t n, bool destroySource = false) {
        if (n == 0 || destination == source) return;
        // Byte elements may alias anything, the vector's own fields included:
        // element by element they are copied one load and store at a time.
        if constexpr (std::is_trivially_copyable_v<T>) {
            std::memmove(destination, source, n * sizeof(T));
            return;
        }
        if (destination > source) {
            for (size_t i = n; i-- > 0;) {
                new (destination + i) T(source[i]);
                if (destroySource) source[i].~T();
            }
        } else {
            for (size_t i = 0; i < n; ++i) {
                new (destination + i) T(source[i]);
                if (destroySource) source[i].~T();
            }
        }
    }

protected:
    // n itself when the count type holds it (all ones is the borrowed mark).
    static Count checkedCount(size_t n) {
        if (n >= static_cast<size_t>(kBorrowed)) outOfMemory(n);
        return static_cast<Count>(n);
    }

    void reserveExact(size_t n) {
        capacity_ = checkedCount(n);
        data_ = allocateBuffer(n);
    }

    // The buffers of the compiler's many short lists (candidates, pending
    // code, value states) come from the object heap, which takes a buffer
    // back at the size it was made with: the capacity. Byte arrays stay on
    // the C heap, since a byte stream may hand its buffer on.
    static constexpr bool kObjectHeapBuffer = !std::is_same_v<T, uint8_t> && alignof(T) <= 8;
    static T* allocateBuffer(size_t n) {
        if constexpr (kObjectHeapBuffer) return static_cast<T*>(allocateObjectMemory(n * sizeof(T)));
        else return static_cast<T*>(allocateOrDie(n * sizeof(T)));
    }

    // Moves to a buffer of newCapacity with n new elements at index.
    void regrow(size_t newCapacity, size_t index, const T* elements, size_t n) {
        const Count checked = checkedCount(newCapacity);
        if (isRelocatable<T>::value && n == 0 && index == count_ && data_ != nullptr && !isBorrowed()) {
            // Growth alone: the elements move as bytes, and a large buffer's
            // pages are moved rather than copied to fresh ones.
            if constexpr (kObjectHeapBuffer)
                data_ = static_cast<T*>(
                    reallocateObjectMemory(data_, size_t{capacity_} * sizeof(T), newCapacity * sizeof(T)));
            else data_ = static_cast<T*>(reallocateOrDie(data_, newCapacity * sizeof(T)));
            capacity_ = checked;
            return;
        }
        T* fresh = allocateBuffer(newCapacity);
        if constexpr (std::is_trivially_copyable_v<T>) {
            if (index != 0) std::memcpy(fresh, data_, index * sizeof(T));
            if (n != 0 && elements != nullptr) std::memcpy(fresh + index, elements, n * sizeof(T));
            if (count_ > index) std::memcpy(fresh + n + index, data_ + index, (count_ - index) * sizeof(T));
        } else {
            // A borrowed buffer's elements stay the lender's: they are
            // copied, never moved as bytes.
            if (isRelocatable<T>::value && !isBorrowed()) {
                // The new elements are made while the old buffer, which they
                // may come from, still holds them; the old ones move as bytes.
                for (size_t i = 0; i < n; ++i) new (fresh + index + i) T(elements[i]);
                if (index != 0) std::memcpy(static_cast<void*>(fresh), data_, index * sizeof(T));
                if (count_ > index)
                    std::memcpy(static_cast<void*>(fresh + n + index), data_ + index, (count_ - index) * sizeof(T));
                releaseBuffer();
                data_ = fresh;
                capacity_ = checked;
                return;
            }
            if (std::is_nothrow_move_constructible_v<T> && !isBorrowed()) {
                // Our own elements are moved, not copied, since their buffer
                // goes next; after the new ones, which may come from it.
                for (size_t i = 0; i < n; ++i) new (fresh + index + i) T(elements[i]);
                for (size_t i = 0; i < index; ++i) new (fresh + i) T(std::move(data_[i]));
                for (size_t i = index; i < count_; ++i) new (fresh + n + i) T(std::move(data_[i]));
            } else {
                for (size_t i = 0; i < index; ++i) new (fresh + i) T(data_[i]);
                for (size_t i = 0; i < n; ++i) new (fresh + index + i) T(elements[i]);
                for (size_t i = index; i < count_; ++i) new (fresh + n + i) T(data_[i]);
            }
        }
        destroyAll();
        releaseBuffer();
        data_ = fresh;
        capacity_ = checked;
    }

    // The elements of a borrowed buffer belong to the lender. Plain elements
    // have nothing to destroy: no loop over them (an instrumented build
    // keeps the empty loop, one compare per byte of an image buffer).
    void destroyAll() {
        if (isBorrowed()) return;
        if constexpr (!std::is_trivially_destructible_v<T>) {
            for (size_t i = 0; i < count_; ++i) data_[i].~T();
        }
    }

    void releaseBuffer() {
        // Most vectors of the model go without ever holding anything.
        if (data_ == nullptr || isBorrowed()) return;
        if constexpr (kObjectHeapBuffer) freeObjectMemory(data_, size_t{capacity_} * sizeof(T));
        else std::free(data_);
    }

    static constexpr Count kBorrowed = static_cast<Count>(-1);

    T* data_ = nullptr;
    Count count_ = 0;
    Count capacity_ = 0;
};

// The byte array: also the buffer of the in-memory byte stream.
class ByteVector : public qevector<uint8_t> {
public:
    using qevector<uint8_t>::qevector;

    // The index write of the formatting engines: while index is not below
    // count, the buffer grows to exactly count * 2 + 1 zero-filled bytes.
    void putAt(size_t index, uint8_t byte) {
        while (index >= count_) {
            if (isBorrowed()) {
                // Never write past storage we do not own: take a copy first.
                unborrow(count_ * 2 + 1);
            } else {
                resize(count_ * 2 + 1);
            }
        }
        data_[index] = byte;
    }

    // Frees the buffer unless borrowed; the header is zeroed.
    void release() { clear(); }

    // count 0; a borrowed buffer is dropped; an owned one is freed when the
    // flag is 1, detached without freeing for any other non-zero flag, and
    // kept for 0.
    void reset(int flag) {
        if (isBorrowed()) {
            data_ = nullptr;
            capacity_ = 0;
        } else if (flag == 1) {
            std::free(data_);
            data_ = nullptr;
            capacity_ = 0;
        } else if (flag != 0) {
            data_ = nullptr;
            capacity_ = 0;
        }
        count_ = 0;
    }

private:
    void unborrow(size_t n) {
        uint8_t* fresh = static_cast<uint8_t*>(zeroAllocateOrDie(n, 1));
        memMoveBytes(fresh, data_, count_);
        data_ = fresh;
        count_ = n;
        capacity_ = n;
    }
};

using U32Vector = qevector<uint32_t>;
using U64Vector = qevector<uint64_t>;
using VectorOfU64Vectors = qevector<U64Vector>;

}  // namespace qestl
