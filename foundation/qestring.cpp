#include "foundation/qestring.h"

#include <cstring>

#include "foundation/signed_digits.h"

namespace qestl {

template <typename Unit>
void qestring<Unit>::reallocate(size_t newCapacity) {
    Unit* fresh = static_cast<Unit*>(allocateOrDie(newCapacity * sizeof(Unit)));
    if (used_ != 0) std::memcpy(fresh, data_, used_ * sizeof(Unit));
    freeOwnBuffer();
    data_ = fresh;
    setRoom(newCapacity);
}

template <typename Unit>
void qestring<Unit>::takeOwnBuffer() {
    Unit* own = static_cast<Unit*>(allocateOrDie(used_ * sizeof(Unit)));
    std::memcpy(own, data_, used_ * sizeof(Unit));
    data_ = own;
    setRoom(used_);
}

template <typename Unit>
void qestring<Unit>::pushUnit(Unit unit) {
    if (!fits(used_ + 1)) reallocate(used_ * 2 + 1);
    data_[used_++] = unit;
}

template <typename Unit>
void qestring<Unit>::insertAt(size_t pos, const Unit* units, size_t n) {
    if (n == 0) return;
    if (!fits(used_ + n)) {
        // Head, inserted units and tail go into the new buffer in one pass;
        // the units may come from our own buffer, which is freed only after.
        size_t newCapacity = used_ * 2 + n;
        Unit* fresh = static_cast<Unit*>(allocateOrDie(newCapacity * sizeof(Unit)));
        if (pos != 0) std::memcpy(fresh, data_, pos * sizeof(Unit));
        std::memcpy(fresh + pos, units, n * sizeof(Unit));
        if (used_ > pos) std::memcpy(fresh + pos + n, data_ + pos, (used_ - pos) * sizeof(Unit));
        freeOwnBuffer();
        data_ = fresh;
        setRoom(newCapacity);
    } else {
        // memmove both ways keeps an insert of our own text correct.
        const Unit* source = units;
        Unit* aside = nullptr;
        if (units >= data_ && units < data_ + used_) {
            aside = static_cast<Unit*>(allocateOrDie(n * sizeof(Unit)));
            std::memcpy(aside, units, n * sizeof(Unit));
            source = aside;
        }
        if (used_ > pos) std::memmove(data_ + pos + n, data_ + pos, (used_ - pos) * sizeof(Unit));
        std::memcpy(data_ + pos, source, n * sizeof(Unit));
        std::free(aside);
    }
    used_ += n;
}

template <typename Unit>
void qestring<Unit>::putUnit(size_t index, Unit unit) {
    while (index >= used_) {
        size_t size = used_ * 2 + 1;
        Unit* fresh = static_cast<Unit*>(zeroAllocateOrDie(size, sizeof(Unit)));
        if (used_ != 0) std::memcpy(fresh, data_, used_ * sizeof(Unit));
        freeOwnBuffer();
        data_ = fresh;
        used_ = size;
        capacity_ &= kZeroTailBit;
        setRoom(size);
    }
    if (isReadOnly()) takeOwnBuffer();
    // A unit behind the terminator: the formatting entry points know again
    // what they wrote there.
    if (index > length_ && unit != 0) forgetZeroTail();
    data_[index] = unit;
}

template <typename Unit>
Unit* qestring<Unit>::copyAsideIfOwn(const Unit* text, size_t n) const {
    if (n == 0 || data_ == nullptr || text < data_ || text >= data_ + used_) return nullptr;
    auto* aside = static_cast<Unit*>(allocateOrDie(n * sizeof(Unit)));
    std::memcpy(aside, text, n * sizeof(Unit));
    return aside;
}

template <typename Unit>
void qestring<Unit>::fillFrom(const Unit* text, size_t n) {
    if (n == npos) n = unitLength(text);
    if (n == 0 && !ownsBuffer()) {
        shareTerminators(2);
        return;
    }
    // The terminator goes in first, over the start of the old text: a text
    // taken from our own buffer is copied out before that.
    Unit* aside = copyAsideIfOwn(text, n);
    if (aside != nullptr) text = aside;
    if (n != 0 && !isBorrowed() && !fits(n + 1)) {
        // The room the growth rules come to (a terminator pushed, the text
        // inserted, a terminator pushed), in one allocation instead of two.
        freeOwnBuffer();
        data_ = static_cast<Unit*>(allocateOrDie((n + 2) * sizeof(Unit)));
        capacity_ = kZeroTailBit | (n + 2);
        std::memcpy(data_, text, n * sizeof(Unit));
        data_[n] = 0;
        data_[n + 1] = 0;
        used_ = n + 2;
        length_ = n;
        std::free(aside);
        return;
    }
    length_ = 0;
    used_ = 0;
    knowZeroTail();
    pushUnit(0);
    length_ = n;
    insertAt(0, text, n);
    pushUnit(0);
    std::free(aside);
}

template <typename Unit>
void qestring<Unit>::copyFrom(const qestring& other) {
    if (other.isReadOnly()) {
        data_ = other.data_;
        used_ = other.used_;
        capacity_ = other.capacity_;
        length_ = other.length_;
        return;
    }
    if (other.used_ != 0 && other.length_ == 0 && other.used_ <= 2 && other.data_[other.used_ - 1] == 0) {
        shareTerminators(other.used_);
        return;
    }
    length_ = other.length_;
    used_ = other.used_;
    capacity_ = (other.capacity_ & kZeroTailBit) | other.used_;
    if (other.used_ == 0) {
        data_ = nullptr;
        return;
    }
    data_ = static_cast<Unit*>(allocateOrDie(other.used_ * sizeof(Unit)));
    std::memcpy(data_, other.data_, other.used_ * sizeof(Unit));
}

template <typename Unit>
void qestring<Unit>::stealFrom(qestring& other) {
    data_ = other.data_;
    used_ = other.used_;
    capacity_ = other.capacity_;
    length_ = other.length_;
    other.data_ = nullptr;
    other.used_ = other.capacity_ = other.length_ = 0;
}

template <typename Unit>
void qestring<Unit>::replace(size_t pos, size_t oldLength, const Unit* text, size_t newLength) {
    if (isReadOnly()) takeOwnBuffer();
    if (oldLength == newLength) {
        if (newLength != 0) std::memmove(data_ + pos, text, newLength * sizeof(Unit));
        return;
    }
    // Closing the gap moves our own text: a replacement taken from it is
    // copied out first.
    Unit* aside = copyAsideIfOwn(text, newLength);
    if (aside != nullptr) text = aside;
    size_t tail = pos + oldLength;
    if (used_ > tail) std::memmove(data_ + pos, data_ + tail, (used_ - tail) * sizeof(Unit));
    used_ -= oldLength;
    insertAt(pos, text, newLength);
    length_ = length_ - oldLength + newLength;
    data_[length_] = 0;
    std::free(aside);
}

template <typename Unit>
size_t qestring<Unit>::find(size_t from, size_t count, const Unit* needle, size_t needleLength) const {
    if (count < needleLength) return npos;
    size_t window = count > length_ ? length_ - from : count;
    if (from >= length_) return npos;
    if (from + window > length_ || from + needleLength > length_ || needleLength > window) return npos;
    for (size_t start = from; start <= from + window - needleLength; ++start) {
        if (std::memcmp(data_ + start, needle, needleLength * sizeof(Unit)) == 0) return start;
    }
    return npos;
}

template <typename Unit>
size_t qestring<Unit>::replaceAll(const Unit* needle, const Unit* replacement) {
    size_t needleLength = unitLength(needle);
    size_t replacementLength = unitLength(replacement);
    if (needleLength == 0) return 0;  // no caller passes one; refuse rather than loop
    size_t replaced = 0;
    size_t at = find(0, length_, needle, needleLength);
    while (at != npos) {
        ++replaced;
        replace(at, needleLength, replacement, replacementLength);
        size_t next = at + replacementLength;
        if (length_ < next + needleLength) break;
        at = find(next, length_ - next, needle, needleLength);
    }
    return replaced;
}

template <typename Unit>
void qestring<Unit>::splitOnDot(qevector<qestring>& out, size_t count) const {
    out.clear();
    size_t remaining = count < length_ ? count : length_;
    const Unit* piece = data_;
    const Unit* cursor = data_;
    while (remaining != 0) {
        if (*cursor == '.') {
            out.pushBack(qestring(piece, static_cast<size_t>(cursor - piece)));
            piece = cursor + 1;
        }
        ++cursor;
        --remaining;
    }
    if (cursor != piece) out.pushBack(qestring(piece, static_cast<size_t>(cursor - piece)));
}

template <typename Unit>
int32_t qestring<Unit>::toInt() const {
    return readSignedDigits(data_, data_ + length_).template as<int32_t>();
}

template <typename Unit>
qestring<Unit> qestring<Unit>::format(const Unit* fmt, ...) {
    qestring result;
    va_list args;
    va_start(args, fmt);
    result.vprintf(fmt, args);
    va_end(args);
    return result;
}

template <typename Unit>
size_t qestring<Unit>::printf(const Unit* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    size_t length = vprintf(fmt, args);
    va_end(args);
    return length;
}

template <typename Unit>
size_t qestring<Unit>::appendFormat(const Unit* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    size_t length = vappendFormat(fmt, args);
    va_end(args);
    return length;
}

template <typename Unit>
size_t qestring<Unit>::formatFrom(size_t start, const Unit* fmt, va_list args) {
    // The engine writes its text from start on and a 0 behind it, nothing
    // else; its growth adds 0 units. Ending at or past the old length, it
    // leaves behind its terminator what stood behind the old one.
    const bool zeroTail = (capacity_ & kZeroTailBit) != 0;
    const size_t before = length_;
    if constexpr (sizeof(Unit) == 1) {
        formatNarrow(*this, start, fmt, args);
    } else {
        formatWide(*this, start, fmt, args);
    }
    if (zeroTail && length_ >= before) knowZeroTail();
    return length_;
}

template <typename Unit>
size_t qestring<Unit>::vprintf(const Unit* fmt, va_list args) {
    return formatFrom(0, fmt, args);
}

template <typename Unit>
size_t qestring<Unit>::vappendFormat(const Unit* fmt, va_list args) {
    return formatFrom(length_, fmt, args);
}

template class qestring<char>;
template class qestring<char16_t>;

}  // namespace qestl
