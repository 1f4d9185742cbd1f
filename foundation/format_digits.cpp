// Decimal digits of doubles for the formatting engines.
//
// A double is m * 2^e exactly, so its decimal expansion is an integer written
// out in full: m << e, or m * 5^-e with the point -e places from the right.
// Working that out with a small big-number keeps the fifteen digits we show
// exact, whatever the exponent; everything after them prints as '0'.
#include <cmath>
#include <cstring>

#include "foundation/format.h"

namespace qestl {
namespace {

constexpr int kShownDigits = 15;

// Unsigned integer of up to 96 32-bit limbs, least significant first: enough
// for 2^1024 and for 2^53 * 5^1074.
class BigDecimalSource {
public:
    explicit BigDecimalSource(uint64_t value) {
        limbs_[0] = static_cast<uint32_t>(value);
        limbs_[1] = static_cast<uint32_t>(value >> 32);
        count_ = limbs_[1] != 0 ? 2 : 1;
    }

    void multiply(uint32_t factor) {
        uint64_t carry = 0;
        for (size_t i = 0; i < count_; ++i) {
            uint64_t product = uint64_t(limbs_[i]) * factor + carry;
            limbs_[i] = static_cast<uint32_t>(product);
            carry = product >> 32;
        }
        if (carry != 0) limbs_[count_++] = static_cast<uint32_t>(carry);
    }

    void multiplyByPowerOfTwo(int exponent) {
        for (; exponent >= 31; exponent -= 31) multiply(1u << 31);
        if (exponent > 0) multiply(1u << exponent);
    }

    void multiplyByPowerOfFive(int exponent) {
        constexpr uint32_t kFiveTo13 = 1220703125;  // the largest power of 5 in 32 bits
        for (; exponent >= 13; exponent -= 13) multiply(kFiveTo13);
        uint32_t rest = 1;
        for (; exponent > 0; --exponent) rest *= 5;
        if (rest != 1) multiply(rest);
    }

    // Writes the decimal digits, most significant first; returns their count.
    size_t toDecimal(char* out, size_t room) {
        char reversed[kRoomDigits];
        size_t n = 0;
        while (count_ > 1 || limbs_[0] != 0) {
            uint32_t chunk = divideByBillion();
            for (int i = 0; i < 9; ++i, chunk /= 10) reversed[n++] = static_cast<char>('0' + chunk % 10);
        }
        while (n > 1 && reversed[n - 1] == '0') --n;
        if (n == 0) reversed[n++] = '0';
        size_t kept = n < room ? n : room;
        for (size_t i = 0; i < kept; ++i) out[i] = reversed[n - 1 - i];
        return n;
    }

    static constexpr size_t kRoomDigits = 96 * 10;

private:
    uint32_t divideByBillion() {
        uint64_t remainder = 0;
        for (size_t i = count_; i-- > 0;) {
            uint64_t current = (remainder << 32) | limbs_[i];
            limbs_[i] = static_cast<uint32_t>(current / 1000000000u);
            remainder = current % 1000000000u;
        }
        while (count_ > 1 && limbs_[count_ - 1] == 0) --count_;
        return static_cast<uint32_t>(remainder);
    }

    uint32_t limbs_[96] = {};
    size_t count_;
};

// Adds one at the last of count digits; true when the carry ran out of the
// first digit (the digits are then all '0').
bool roundUp(char* digits, size_t count) {
    for (size_t i = count; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

}  // namespace

void formatFixedDigits(double magnitude, char digits[15], int* decimalPoint) {
    std::memset(digits, '0', kShownDigits);
    *decimalPoint = 1;
    magnitude = std::fabs(magnitude);
    if (!(magnitude > kFloatZeroLimit) || std::isinf(magnitude)) return;

    int binaryExponent = 0;
    double fraction = std::frexp(magnitude, &binaryExponent);  // magnitude = fraction * 2^exp
    auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
    int exponent = binaryExponent - 53;

    BigDecimalSource number(mantissa);
    int pointShift = 0;  // decimal places that the integer carries
    if (exponent >= 0) {
        number.multiplyByPowerOfTwo(exponent);
    } else {
        number.multiplyByPowerOfFive(-exponent);
        pointShift = -exponent;
    }
    char all[kShownDigits + 1];
    std::memset(all, '0', sizeof all);
    size_t total = number.toDecimal(all, sizeof all);
    *decimalPoint = static_cast<int>(total) - pointShift;

    std::memcpy(digits, all, kShownDigits);
    if (all[kShownDigits] >= '5' && roundUp(digits, kShownDigits)) {
        digits[0] = '1';
        ++*decimalPoint;
    }
}

size_t convertToDigits(double magnitude, int count, char* digits, int* decimalPoint) {
    char leading[kShownDigits];
    formatFixedDigits(magnitude, leading, decimalPoint);
    if (count <= 0) return 0;
    size_t n = static_cast<size_t>(count);
    for (size_t i = 0; i < n; ++i) digits[i] = i < kShownDigits ? leading[i] : '0';
    if (n < kShownDigits && leading[n] >= '5' && roundUp(digits, n)) {
        digits[0] = '1';
        ++*decimalPoint;
    }
    return n;
}

size_t convertToFixedDigits(double magnitude, int count, char* digits, int* decimalPoint) {
    char leading[kShownDigits];
    formatFixedDigits(magnitude, leading, decimalPoint);
    if (leading[0] == '0') return 0;  // zero: no significant digit at all
    int wanted = *decimalPoint + count;
    if (wanted < 0) return 0;
    if (wanted == 0) {
        // Nothing is kept; the first digit alone decides between 0 and 10^point.
        if (leading[0] < '5') return 0;
        digits[0] = '1';
        ++*decimalPoint;
        return 1;
    }
    size_t n = static_cast<size_t>(wanted);
    for (size_t i = 0; i < n; ++i) digits[i] = i < kShownDigits ? leading[i] : '0';
    if (n < kShownDigits && leading[n] >= '5' && roundUp(digits, n)) {
        // 99.96 to one place: the point moves right and one more digit is kept.
        digits[0] = '1';
        digits[n] = '0';
        ++*decimalPoint;
        ++n;
    }
    return n;
}

}  // namespace qestl
