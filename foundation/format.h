// The house printf-style engines: one template over the unit type writes
// narrow (char) and UTF-16 (char16_t) strings alike.
//
// Every unit goes into the destination through qestring::putUnit, which grows
// the buffer on demand, so no output can overflow. Numbers, addresses and
// texts are laid out here rather than by the C runtime: the compiler's
// messages and listings depend on the exact forms (three-digit exponents,
// "#INF"/"#NaN", "%ld" read as 32 bits, "<NULL>" for a null text...).
//
// The Narrow/Wide entry points are declared in qestring.h:
//   formatNarrow(out, start, fmt, args) returns the units it wrote,
//   formatWide(out, start, fmt, args) returns the new length.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "foundation/qestring.h"

namespace qestl {

// Conversion flags, combined by OR.
enum FormatFlag : unsigned {
    kFormatZeroPad = 1,
    kFormatSigned = 2,
    kFormatPlus = 4,
    kFormatSpace = 8,
    kFormatLeft = 16,
    kFormatAlternate = 32,
    kFormatUpper = 64,
};

// Width or precision that the format did not give.
inline constexpr int32_t kFormatNotGiven = -1;

// Where the engine takes its values from, one per conversion that needs one.
// The C entry points read a va_list; the probe reads its command line.
class FormatArgs {
public:
    virtual int32_t nextInt32() = 0;           // d i u o x X c, '*'
    virtual int64_t nextInt64() = 0;           // the same with ll
    virtual double nextDouble() = 0;           // e E f g G
    virtual const void* nextText() = 0;        // s: a terminated text of the engine's units
    virtual uint64_t nextPointer() = 0;        // p
    virtual const uint8_t* nextAddress() = 0;  // a A: 4 or 6 address bytes
    virtual int64_t* nextCounter() = 0;        // n

protected:
    ~FormatArgs() = default;
};

// FormatArgs over a C variable argument list (a private copy of it).
class VaListArgs final : public FormatArgs {
public:
    explicit VaListArgs(va_list args) { va_copy(args_, args); }
    ~VaListArgs() { va_end(args_); }
    VaListArgs(const VaListArgs&) = delete;
    VaListArgs& operator=(const VaListArgs&) = delete;

    int32_t nextInt32() override { return va_arg(args_, int32_t); }
    int64_t nextInt64() override { return va_arg(args_, int64_t); }
    double nextDouble() override { return va_arg(args_, double); }
    const void* nextText() override { return va_arg(args_, const void*); }
    uint64_t nextPointer() override { return reinterpret_cast<uintptr_t>(va_arg(args_, const void*)); }
    const uint8_t* nextAddress() override { return va_arg(args_, const uint8_t*); }
    int64_t* nextCounter() override { return va_arg(args_, int64_t*); }

private:
    va_list args_;
};

// The engine: formats at start onwards, writes a 0 unit behind the output and
// sets the length to its end; returns the number of units written.
template <typename Unit>
size_t formatUnits(qestring<Unit>& out, size_t start, const Unit* fmt, FormatArgs& args);

// Field routines. Each writes at pos and returns the position behind its output.
template <typename Unit>
size_t formatInteger64(qestring<Unit>& out, size_t pos, uint64_t value, unsigned base, int32_t width,
                       int32_t precision, unsigned flags);
template <typename Unit>
size_t formatInteger32(qestring<Unit>& out, size_t pos, uint32_t value, unsigned base, int32_t width,
                       int32_t precision, unsigned flags);
template <typename Unit>
size_t formatDoubleField(qestring<Unit>& out, size_t pos, double value, int32_t width, int32_t precision,
                         char letter, unsigned flags);
template <typename Unit>
size_t formatIPv4Address(qestring<Unit>& out, size_t pos, const uint8_t* bytes, int32_t width, unsigned flags);
template <typename Unit>
size_t formatMacAddress(qestring<Unit>& out, size_t pos, const uint8_t* bytes, int32_t width, unsigned flags);

// Writes count units of text, padded with spaces to width (on the right with
// kFormatLeft); shared by the character, text and address conversions.
template <typename Unit, typename Source>
size_t formatPaddedText(qestring<Unit>& out, size_t pos, const Source* text, size_t count, int32_t width,
                        unsigned flags) {
    size_t pad = width > 0 && static_cast<size_t>(width) > count ? static_cast<size_t>(width) - count : 0;
    if (!(flags & kFormatLeft))
        for (; pad != 0; --pad) out.putUnit(pos++, Unit(' '));
    for (size_t i = 0; i < count; ++i) out.putUnit(pos++, static_cast<Unit>(text[i]));
    for (; pad != 0; --pad) out.putUnit(pos++, Unit(' '));
    return pos;
}

// ---- Decimal digits of doubles (ASCII, shared by both unit widths) ----

// Room for the longest fixed form: 309 integer digits, 255 fraction digits
// and the punctuation around them.
inline constexpr size_t kFloatTextSize = 640;

// Magnitudes at or below this count as zero.
inline constexpr double kFloatZeroLimit = 1e-307;

// The first 15 significant decimal digits of a magnitude, rounded half up on
// its exact binary value; the value is 0.d1d2...d15 * 10^decimalPoint. Zero
// (and anything at or below kFloatZeroLimit) gives fifteen '0's and point 1.
void formatFixedDigits(double magnitude, char digits[15], int* decimalPoint);

// ecvt style: count significant digits (count <= 256) and the decimal point
// position. Digit places past the fifteenth are '0'. Returns the digit count.
size_t convertToDigits(double magnitude, int count, char* digits, int* decimalPoint);

// fcvt style: the digits up to count places after the point (count <= 255).
// Returns the digit count, which is decimalPoint + count or 0.
size_t convertToFixedDigits(double magnitude, int count, char* digits, int* decimalPoint);

// The text of a magnitude in the form of letter (e E f g G; any other gives
// an empty text) with precision already settled; returns its length.
// buffer holds kFloatTextSize bytes; it is not terminated.
size_t formatFloatConversion(double value, char* buffer, char letter, int precision);

}  // namespace qestl
