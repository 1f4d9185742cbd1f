// The house formatting engines: the forms in which they deliberately differ
// from the C runtime, the string plumbing, and the UTF-16 twin.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "foundation/format.h"
#include "foundation/qestring.h"

namespace {

using qestl::qestringA;
using qestl::qestringW;

template <typename... Values>
std::string fmt(const char* format, Values... values) {
    return std::string(qestringA::format(format, values...).view());
}

TEST(Format, IntegersWhereTheHouseFormDiffersFromC) {
    EXPECT_EQ(fmt("%#x|%#X|%#o|%#o", 255, 255, 8, 0), "0xff|0xFF|010|00");
    EXPECT_EQ(fmt("%#x|%#5x|%#05x", 0, 0, 1), "0x0|  0x0|0x001");
    EXPECT_EQ(fmt("%.0d|%.0x", 0, 0), "0|0");             // C prints nothing
    EXPECT_EQ(fmt("%05.3d|%-05d|", 42, 42), "00042|42   |");  // '0' survives a precision
    EXPECT_EQ(fmt("%#.3o", 8), "0010");
    EXPECT_EQ(fmt("%d|%i|%u", INT32_MIN, -1, -1), "-2147483648|-1|4294967295");
    EXPECT_EQ(fmt("%lld|%lld", INT64_MIN, INT64_MAX), "-9223372036854775808|9223372036854775807");
    EXPECT_EQ(fmt("%llx|%Llu", ~0ull, ~0ull), "ffffffffffffffff|18446744073709551615");
}

TEST(Format, LengthQualifiers) {
    long long big = 1LL << 40 | 7;
    EXPECT_EQ(fmt("%lld", big), "1099511627783");
    EXPECT_EQ(fmt("%ld|%Ld", big, big), "7|7");  // a single l keeps 32 bits
    EXPECT_EQ(fmt("%hd|%hu|%hx", 65535, 0x12345, 0xABCDEF), "-1|9029|cdef");
    EXPECT_EQ(fmt("%hhd", 1), "%hd");  // a second h is no qualifier
}

TEST(Format, StarWidthAndPrecision) {
    EXPECT_EQ(fmt("[%*d]", 5, 42), "[   42]");
    EXPECT_EQ(fmt("[%*d]", -5, 42), "[42   ]");
    EXPECT_EQ(fmt("[%.*d]", -3, 7), "[7]");  // a negative precision becomes 0
    EXPECT_EQ(fmt("[%*.*s]", 6, 2, "abcdef"), "[    ab]");
}

TEST(Format, PointerIsSixteenHexDigitsUnlessWidthGiven) {
    auto* p = reinterpret_cast<void*>(uintptr_t(0xBEEF));
    EXPECT_EQ(fmt("%p", p), "000000000000beef");
    EXPECT_EQ(fmt("[%6p]", p), "[  beef]");
    EXPECT_EQ(fmt("%p", static_cast<void*>(nullptr)), "0000000000000000");
}

TEST(Format, CharactersAndTexts) {
    EXPECT_EQ(fmt("[%c|%3c|%-3c|%03c]", 'a', 'b', 'c', 'd'), "[a|  b|c  |  d]");
    EXPECT_EQ(fmt("[%c]", 0x141), "[A]");  // the low byte only
    EXPECT_EQ(fmt("[%.3s|%5s|%-5s|%.0s]", "abcdef", "ab", "ab", "xyz"), "[abc|   ab|ab   |]");
    EXPECT_EQ(fmt("[%s|%8s|%.3s]", static_cast<const char*>(nullptr), static_cast<const char*>(nullptr),
                  static_cast<const char*>(nullptr)),
              "[<NULL>|  <NULL>|<NU]");
    char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(fmt("%.3s", unterminated), "xyz");  // never reads past the precision
}

TEST(Format, NetworkAddresses) {
    const uint8_t ip[] = {192, 168, 0, 1};
    const uint8_t mac[] = {0, 26, 43, 60, 77, 94};
    const uint8_t high[] = {200, 200, 200, 200, 200, 200};
    EXPECT_EQ(fmt("%a|%A", ip, ip), "192.168.0.1|192.168.0.1");
    EXPECT_EQ(fmt("%lA|%la", mac, mac), "00:1A:2B:3C:4D:5E|00:1a:2b:3c:4d:5e");
    EXPECT_EQ(fmt("%a|%la|%lA", high, high, high), "200.200.200.200|c8:c8:c8:c8:c8:c8|C8:C8:C8:C8:C8:C8");
    EXPECT_EQ(fmt("[%13a|%-13a]", ip, ip), "[  192.168.0.1|192.168.0.1  ]");
    EXPECT_EQ(fmt("[%a]", static_cast<const uint8_t*>(nullptr)), "[<NULL>]");
}

TEST(Format, PercentUnknownAndTruncatedConversions) {
    EXPECT_EQ(fmt("100%%|%q|%5q|%F|%-5%"), "100%|%q|%q|%F|%");
    EXPECT_EQ(fmt("abc%"), "abc%");
    EXPECT_EQ(fmt("abc%-05.2"), "abc%");
    EXPECT_EQ(fmt("abc%l"), "abc%");
    EXPECT_EQ(fmt("%d%", 5), "5%");
}

TEST(Format, CountStoresUnitsWrittenByThisCall) {
    int64_t first = -1;
    int64_t second = -1;
    qestringA text("head");
    text.appendFormat("ab%ncd%lln%s", &first, &second, "!");
    EXPECT_EQ(text, std::string_view("headabcd!"));
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 4);
}

TEST(Format, DoublesWhereTheHouseFormDiffersFromC) {
    EXPECT_EQ(fmt("%e|%E|%e", 1500.0, 1500.0, 1e-5), "1.500000e+003|1.500000E+003|1.000000e-005");
    EXPECT_EQ(fmt("%g|%g|%g|%g", 0.0001, 100000.0, 1000000.0, 0.00001), "0.0001|100000|1e+006|1e-005");
    EXPECT_EQ(fmt("%G|%G|%G", 1.5, 0.0001, 1e6), "1.50000|0.000100000|1.00000E+006");  // G keeps zeros
    EXPECT_EQ(fmt("%#g|%#.0g|%#.0e|%#.0f", 1.5, 2.0, 2.0, 2.0), "1.50000|2|2.e+000|2.");
    // Half up on the fifteen leading digits, not on the exact binary value.
    EXPECT_EQ(fmt("%.0f|%.0f|%.1f|%.1f", 0.5, 2.5, 0.25, 0.35), "1|3|0.3|0.4");
    EXPECT_EQ(fmt("%.20f", 0.1), "0.10000000000000000000");
    EXPECT_EQ(fmt("%.3f", 2.0 / 3.0), "0.667");
    // Magnitudes at or below 1e-307 are zero; negative zero has no sign.
    EXPECT_EQ(fmt("%e|%g|%f", 1e-308, -1e-310, -0.0), "0.000000e+000|-0|0.000000");
    EXPECT_EQ(fmt("%e|%e", 2e-307, DBL_MAX), "2.000000e-307|1.797693e+308");
}

TEST(Format, InfinityAndNaN) {
    double inf = INFINITY;
    EXPECT_EQ(fmt("%f|%e|%g|%f", inf, inf, -inf, NAN), "#INF|#INF|-#INF|#NaN");
    EXPECT_EQ(fmt("[%8.2f|%-7e|%+G]", inf, -inf, inf), "[    #INF|-#INF  |+#INF]");
}

TEST(Format, RoundingCarriesIntoTheExponentAndTheIntegerDigits) {
    EXPECT_EQ(fmt("%.3e|%.2e", 9.9996, 9.995e-10), "1.000e+001|1.00e-009");
    EXPECT_EQ(fmt("%g|%g", 999999.5, 99999.95), "1e+006|100000");
    EXPECT_EQ(fmt("%.1f|%.0f|%.2f", 99.96, 999.5, 0.004999), "100.0|1000|0.00");
    EXPECT_EQ(fmt("%.1f|%.2f", 0.06, 0.005), "0.1|0.01");
}

TEST(Format, WideDoublesAndHugeFields) {
    std::string wide = fmt("%.255f", 1e300);
    ASSERT_EQ(wide.size(), 301u + 1 + 255);
    EXPECT_EQ(wide.substr(0, 302), "1" + std::string(300, '0') + ".");  // 1e300 is 1.00000000000000005e300
    EXPECT_EQ(fmt("%.300e", 1.0).size(), std::string("1.").size() + 255 + 5);  // precision capped at 255
    EXPECT_EQ(fmt("%400d", 1).size(), 400u);
}

TEST(Format, FifteenLeadingDigits) {
    char digits[15];
    int point = 0;
    qestl::formatFixedDigits(DBL_MAX, digits, &point);
    EXPECT_EQ(std::string(digits, 15), "179769313486232");
    EXPECT_EQ(point, 309);
    qestl::formatFixedDigits(1234567890123455.0, digits, &point);  // an exact tie rounds up
    EXPECT_EQ(std::string(digits, 15), "123456789012346");
    EXPECT_EQ(point, 16);
    qestl::formatFixedDigits(2e-307, digits, &point);
    EXPECT_EQ(std::string(digits, 15), "200000000000000");
    EXPECT_EQ(point, -306);
    qestl::formatFixedDigits(9.9999999999999999e22, digits, &point);
    EXPECT_EQ(std::string(digits, 15), "100000000000000");
    EXPECT_EQ(point, 24);

    char many[40];
    ASSERT_EQ(qestl::convertToDigits(1.0 / 3.0, 20, many, &point), 20u);
    EXPECT_EQ(std::string(many, 20), "33333333333333300000");
    EXPECT_EQ(qestl::convertToFixedDigits(0.0004, 3, many, &point), 0u);
}

TEST(Format, EntryPointsAndStringState) {
    qestringA text("hello");
    EXPECT_EQ(text.appendFormat("-%d", 42), 8u);
    EXPECT_EQ(text, std::string_view("hello-42"));

    size_t usedBefore = text.used();
    EXPECT_EQ(text.printf("%s", "ab"), 2u);
    EXPECT_EQ(text, std::string_view("ab"));
    EXPECT_EQ(text.c_str()[2], '\0');
    EXPECT_EQ(text.c_str()[3], 'l');  // old units stay behind the terminator
    EXPECT_EQ(text.used(), usedBefore);
}

// The va_list entry without the variadic wrapper.
size_t narrowAt(qestringA& out, size_t start, const char* format, ...) {
    va_list args;
    va_start(args, format);
    size_t written = qestl::formatNarrow(out, start, format, args);
    va_end(args);
    return written;
}

size_t wideAt(qestringW& out, size_t start, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    size_t length = qestl::formatWide(out, start, format, args);
    va_end(args);
    return length;
}

TEST(Format, NarrowReturnsUnitsWrittenWideReturnsLength) {
    qestringA narrow("abcdef");
    EXPECT_EQ(narrowAt(narrow, 2, "%03d", 7), 3u);
    EXPECT_EQ(narrow, std::string_view("ab007"));
    qestringW wide(u"abcdef");
    EXPECT_EQ(wideAt(wide, 2, u"%03d", 7), 5u);
    EXPECT_EQ(wide, std::u16string_view(u"ab007"));
}

TEST(Format, WideEngineIsTheNarrowOneUnitForUnit) {
    const uint8_t mac[] = {0, 26, 43, 60, 77, 94};
    qestringW text = qestringW::format(u"%s|%-4c|%5d|%#X|%e|%lA|%s|%.2s", u"h\u00e9llo\U0001F600", 0x20AC, -42,
                                       255, 1500.0, mac, static_cast<const char16_t*>(nullptr), u"\u4e2d\u6587x");
    EXPECT_EQ(text, std::u16string_view(u"h\u00e9llo\U0001F600|\u20ac   |  -42|0xFF|1.500000e+003|"
                                        u"00:1A:2B:3C:4D:5E|<NULL>|\u4e2d\u6587"));
}

}  // namespace
