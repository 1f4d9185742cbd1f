// The house string, over 8-bit units (narrow: identifiers, messages, source
// text) and UTF-16 units (wide: paths, file names, command-line arguments).
//
// Layout {data, used, capacity, length}. The length is cached so appends never
// measure. After every operation the unit at `length` is 0 and used is at least
// length + 1; units behind the terminator are not cleared. Strings built from
// text hold two terminators (used = length + 2), the empty string one, and
// conversion results one; copies keep the used and length of their source.
// Appends and inserts go in before the terminators, so the number of trailing
// zeros never changes through them.
//
// Three growth rules apply before every write:
//  1. pushing one unit: when used + 1 exceeds capacity, grow to used * 2 + 1;
//  2. inserting n units: when used + n exceeds capacity, grow to used * 2 + n;
//  3. writing one unit at an index (the formatting engines): while the index is
//     not below used, grow to exactly used * 2 + 1 zero-filled units and set
//     used and capacity to that size.
// A borrowed buffer (capacity() all ones) is never freed or reallocated; should a
// write ever need more room than it has, the string takes a copy of its own
// rather than write past storage it does not own.
//
// Rule 3 marks a whole doubled buffer used, so after a formatted append the
// units behind the terminator can be half the buffer. An append moves them
// up behind its text; while they are all 0 that move changes nothing but the
// units at the top, and the string knows when they are (a bit kept beside
// the capacity): an append then costs its own units, wherever the buffer
// last grew. Operations that may leave other units there (a shorter length,
// a write through data(), units put behind the length) forget it, and the
// next append looks once.
//
// An empty string owns no buffer: it points at terminators shared by every
// empty string (read-only, capacity() 0), with the used count it would have
// had. A compilation makes thousands of empty strings that are never written;
// the first write gives the string a buffer of its own, and from there the
// growth rules run as they would have from the one-unit buffer. A static
// text (ofStaticText) is read in place the same way, and copies share it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "foundation/memory.h"
#include "foundation/vector.h"

namespace qestl {

template <typename Unit>
class qestring {
    static_assert(sizeof(Unit) == 1 || sizeof(Unit) == 2, "narrow or UTF-16 units");

public:
    using unit_type = Unit;

    // Empty string: one terminator, the shared one.
    qestring() : data_(sharedTerminators()), used_(1), capacity_(kZeroTailBit) {}
    // Text of n units; npos measures up to the first 0 unit.
    qestring(const Unit* text, size_t n = npos) { constructFrom(text, n); }
    qestring(std::basic_string_view<Unit> text) { constructFrom(text.data(), text.size()); }
    // The n units of a text that lives as long as the process and holds two
    // 0 units behind them (text[n] and text[n + 1]), as a string built from
    // text would: read in place and never written, shared by every copy.
    static qestring ofStaticText(const Unit* text, size_t n) {
        qestring result;
        result.data_ = const_cast<Unit*>(text);
        result.used_ = n + 2;
        result.length_ = n;
        return result;
    }
    // Empty over a buffer it does not own (see borrow), without touching the
    // heap: buffer[0] must hold 0 by the time the string is read.
    struct EmptyIn {
        Unit* buffer;
        size_t size;
    };
    explicit qestring(EmptyIn storage)
        : data_(storage.buffer), used_(1), capacity_(kBorrowedBit | kZeroTailBit | storage.size), length_(0) {}
    // Copy: exactly the source's used units; capacity = the source's used.
    qestring(const qestring& other) { copyFrom(other); }
    qestring(qestring&& other) noexcept { stealFrom(other); }
    ~qestring() { release(); }

    qestring& operator=(const qestring& other) {
        if (this != &other) {
            release();
            copyFrom(other);
        }
        return *this;
    }
    qestring& operator=(qestring&& other) noexcept {
        if (this != &other) {
            release();
            stealFrom(other);
        }
        return *this;
    }

    // Replaces the contents, reusing an owned buffer; a borrowed one is dropped.
    void assign(const Unit* text, size_t n = npos) {
        dropBorrowed();
        fillFrom(text, n);
    }

    // Length 0, a borrowed buffer dropped, an owned one kept; one terminator.
    void clear() {
        dropBorrowed();
        length_ = 0;
        if (!ownsBuffer()) {
            shareTerminators(1);
            return;
        }
        used_ = 0;
        knowZeroTail();
        pushUnit(0);
    }

    // Everything 0; the buffer freed unless borrowed.
    void release() {
        freeOwnBuffer();
        data_ = nullptr;
        used_ = 0;
        capacity_ = 0;
        length_ = 0;
    }

    // Points the string at a text it does not own (length units and a 0 unit
    // behind them, in a buffer of size units); such a buffer is never freed or
    // reallocated here.
    void borrow(Unit* buffer, size_t length, size_t size = npos) {
        release();
        data_ = buffer;
        length_ = length;
        used_ = length + 1;
        capacity_ = kBorrowedBit | kZeroTailBit | (size == npos ? length + 1 : size);
    }
    bool isBorrowed() const { return (capacity_ & kBorrowedBit) != 0; }
    // A text read in place (ofStaticText, or a copy of one): never written.
    bool isStaticText() const { return length_ != 0 && isReadOnly(); }

    void append(const Unit* text) { append(text, unitLength(text)); }
    void append(const Unit* text, size_t n) {
        if (n == 0) return;
        const size_t room = this->room();
        if (used_ <= room && n <= room - used_ && tailIsZero()) {
            // Within the room, behind nothing but 0 units: the text goes in
            // over them and n more 0 units close the tail at its top; the
            // text may come from our own buffer, below used. Link names are
            // built piece by piece this way, tens of thousands per start.
            Unit* at = data_ + length_;
            std::memmove(at, text, n * sizeof(Unit));
            const size_t top = used_ > length_ + n ? used_ : length_ + n;
            std::memset(data_ + top, 0, (used_ + n - top) * sizeof(Unit));
            used_ += n;
            length_ += n;
            return;
        }
        insertAt(length_, text, n);
        length_ += n;
    }
    void append(const qestring& other) { append(other.data_, other.length_); }
    void append(std::basic_string_view<Unit> text) { append(text.data(), text.size()); }
    void insert(size_t pos, const qestring& other) {
        if (other.length_ == 0) return;
        insertAt(pos, other.data_, other.length_);
        length_ += other.length_;
    }

    // A new string: the first length units of this one, then text.
    qestring concat(const Unit* text) const {
        qestring result(data_, length_);
        result.append(text);
        return result;
    }

    // Appends n units at position used (behind the terminators); the length
    // does not change.
    void appendUnits(const Unit* units, size_t n) { insertUnits(used_, units, n); }

    // The core of every insert: n units at pos, the tail moved up. Changes
    // used only; the caller adds to the length.
    void insertUnits(size_t pos, const Unit* units, size_t n) {
        // The units may stay behind the length: the tail is looked at again.
        forgetZeroTail();
        insertAt(pos, units, n);
    }
    void insertBytes(size_t pos, const Unit* units, size_t n) { insertUnits(pos, units, n); }

    // Pushes one 0 unit at position used (length unchanged).
    void terminate() { pushUnit(0); }

    // Growth rule 3: the index write of the formatting engines.
    void putUnit(size_t index, Unit unit);
    // Sets the length and writes its terminator through putUnit.
    void setLength(size_t n) {
        if (n < length_) forgetZeroTail();  // the cut text stays behind
        length_ = n;
        putUnit(n, 0);
    }

    size_t length() const { return length_; }
    size_t used() const { return used_; }
    size_t capacity() const { return isBorrowed() ? npos : room(); }
    bool empty() const { return length_ == 0; }
    const Unit* c_str() const { return data_; }
    // Writable: a string sharing the empty terminators takes its own first.
    Unit* data() {
        if (isReadOnly()) takeOwnBuffer();
        forgetZeroTail();
        return data_;
    }
    const Unit* data() const { return data_; }
    Unit operator[](size_t i) const { return data_[i]; }
    std::basic_string_view<Unit> view() const {
        return data_ == nullptr ? std::basic_string_view<Unit>() : std::basic_string_view<Unit>(data_, length_);
    }

    void replace(size_t pos, size_t oldLength, const Unit* text, size_t newLength);
    size_t find(size_t from, size_t count, const Unit* needle, size_t needleLength) const;
    size_t replaceAll(const Unit* needle, const Unit* replacement);
    void splitOnDot(qevector<qestring>& out, size_t count) const;
    int32_t toInt() const;

    // printf-style formatting through the house engines: `format` builds a new
    // string, `printf` replaces the text and `appendFormat` formats at the end;
    // both return the new length.
    static qestring format(const Unit* fmt, ...);
    size_t printf(const Unit* fmt, ...);
    size_t appendFormat(const Unit* fmt, ...);
    size_t vprintf(const Unit* fmt, va_list args);
    size_t vappendFormat(const Unit* fmt, va_list args);

    friend bool operator==(const qestring& a, const qestring& b) { return a.view() == b.view(); }
    friend bool operator==(const qestring& a, std::basic_string_view<Unit> b) { return a.view() == b; }

private:
    void constructFrom(const Unit* text, size_t n) {
        // Empty, as fillFrom leaves a string owning nothing: most values a
        // compile makes are unnamed.
        if (n == 0) return shareTerminators(2);
        fillFrom(text, n);
    }
    void fillFrom(const Unit* text, size_t n);
    // The formatting engine from start on; the new length.
    size_t formatFrom(size_t start, const Unit* fmt, va_list args);
    // insertUnits for callers that add n to the length.
    void insertAt(size_t pos, const Unit* units, size_t n);
    // A private copy of n units when text lies in our own buffer, else null.
    Unit* copyAsideIfOwn(const Unit* text, size_t n) const;
    void copyFrom(const qestring& other);
    void stealFrom(qestring& other);
    void pushUnit(Unit unit);
    void dropBorrowed() {
        if (isBorrowed()) {
            data_ = nullptr;
            capacity_ = 0;
            used_ = 0;
            length_ = 0;
        }
    }
    size_t room() const { return capacity_ & ~(kBorrowedBit | kZeroTailBit); }
    bool fits(size_t units) const { return units <= room(); }
    // A new room; the units behind the terminator stay as they are.
    void setRoom(size_t units) { capacity_ = (capacity_ & kZeroTailBit) | units; }
    void reallocate(size_t newCapacity);

    // Whether every unit from the length up to used is 0: known, or looked
    // at and then known until an operation forgets it.
    bool tailIsZero() {
        if ((capacity_ & kZeroTailBit) != 0) return true;
        for (size_t i = length_; i < used_; ++i) {
            if (data_[i] != 0) return false;
        }
        capacity_ |= kZeroTailBit;
        return true;
    }
    void knowZeroTail() { capacity_ |= kZeroTailBit; }
    void forgetZeroTail() { capacity_ &= ~kZeroTailBit; }

    static Unit* sharedTerminators() { return const_cast<Unit*>(kNoUnits); }
    // The shared terminators or a static text: no room of its own.
    bool isReadOnly() const { return data_ != nullptr && room() == 0 && !isBorrowed(); }
    bool ownsBuffer() const { return data_ != nullptr && !isBorrowed() && !isReadOnly(); }
    void freeOwnBuffer() {
        if (ownsBuffer()) std::free(data_);
    }
    // Empty on the shared terminators, used = 1 or 2 (the counts an empty
    // string holds); capacity 0, so every growth path allocates.
    void shareTerminators(size_t used) {
        data_ = sharedTerminators();
        used_ = used;
        capacity_ = kZeroTailBit;
        length_ = 0;
    }
    // A buffer of exactly the used units, before a write in place.
    void takeOwnBuffer();

    static constexpr Unit kNoUnits[2] = {0, 0};

    Unit* data_ = nullptr;
    size_t used_ = 0;
    // The room in units; with the top bit, the real size of a borrowed
    // buffer (a string no larger than that bit can tell apart). The bit
    // below it says the units from the length up to used are all 0.
    static constexpr size_t kBorrowedBit = ~(npos >> 1);
    static constexpr size_t kZeroTailBit = kBorrowedBit >> 1;
    size_t capacity_ = 0;
    size_t length_ = 0;
};

using qestringA = qestring<char>;
using qestringW = qestring<char16_t>;
using StringVector = qevector<qestringA>;
using WStringVector = qevector<qestringW>;

// Code-page conversions. The system code page is UTF-8 on this host. Bytes
// that are not valid UTF-8 (file names on Linux are bytes) decode each to a
// lone surrogate U+DC80..U+DCFF and encode back to the same byte, so a path
// survives the round trip unchanged. A lone surrogate of any other value
// encodes as U+FFFD. Both return a C-heap buffer without terminator (null when
// the count is 0) and store the unit count.
char16_t* ansiToWide(const char* text, size_t n, size_t* count);
char* wideToAnsi(const char16_t* units, size_t n, size_t* count);

// The converting constructions: the result holds used = length + 1.
qestringW widen(const char* text, size_t n = npos);
qestringW widen(const qestringA& text);
qestringA narrow(const char16_t* units, size_t n = npos);
// Appends the UTF-16 units of UTF-8 text to out (a leading byte-order mark
// is skipped when more follows it): each lead byte takes as many bytes as it
// announces, and a code point past 0xFFFF becomes a surrogate pair. False
// when a byte 0x80-0xBF stood where a sequence begins, or the text ended
// inside one; such bytes give no unit.
bool utf8ToUtf16(const char* bytes, size_t length, qestringW& out);
qestringA narrow(const qestringW& text);

// The house formatting engines (defined with the engines, not here). Each
// writes at start onwards, then a 0 unit, and sets the length to the end of
// its output. formatNarrow returns the units it wrote, formatWide the new
// length.
size_t formatNarrow(qestringA& out, size_t start, const char* fmt, va_list args);
size_t formatWide(qestringW& out, size_t start, const char16_t* fmt, va_list args);

extern template class qestring<char>;
extern template class qestring<char16_t>;

}  // namespace qestl
