#include "source/fold.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "foundation/text_number.h"
#include "syntax/scanner.h"

namespace fold {
namespace {

constexpr uint32_t kString = 9, kChar = 10, kInteger = 12, kFloat = 13;

double floatValue(const Literal& lit) {
    if (lit.kind == kInteger) return static_cast<double>(integerValue(lit.text));
    qestl::qestringA text(lit.text.data(), lit.text.size());
    return parseFloatText(text.c_str());
}

qestl::qestringA integerText(int64_t value, bool asLong) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, asLong ? "%lldl" : "%lld", static_cast<long long>(value));
    return qestl::qestringA(buffer);
}

Result folded(uint32_t kind, qestl::qestringA text) {
    Result r;
    r.outcome = Outcome::Folded;
    r.kind = kind;
    r.text = std::move(text);
    return r;
}

Result divideByZero() {
    Result r;
    r.outcome = Outcome::DivideByZero;
    return r;
}

Result integerResult(int64_t value, const Literal& a, const Literal& b) {
    return folded(kInteger, integerText(value, isLong(a.text) || isLong(b.text)));
}

// A result that is not a finite number has no literal text that reads back
// to it, so such an expression is left for run time.
Result floatResult(double value) {
    if (!std::isfinite(value)) return Result();
    return folded(kFloat, floatText(value));
}

bool mixed(const Literal& a, const Literal& b) {
    return (a.kind == kInteger && b.kind == kFloat) || (a.kind == kFloat && b.kind == kInteger);
}

int64_t wrapAdd(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b)); }
int64_t wrapSub(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b)); }
int64_t wrapMul(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b)); }
// Quotient and remainder with b != 0; INT64_MIN / -1 wraps to INT64_MIN.
int64_t wrapDiv(int64_t a, int64_t b) { return b == -1 ? wrapSub(0, a) : a / b; }
int64_t wrapRem(int64_t a, int64_t b) { return b == -1 ? 0 : a % b; }

// Truncation of a double to 64 bits; false when it does not fit.
bool truncate(double v, int64_t& out) {
    if (!(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) return false;
    out = static_cast<int64_t>(v);
    return true;
}

}  // namespace

int64_t integerValue(std::string_view text) { return qestl::readIntegerLiteral(text).value; }

bool isLong(std::string_view text) { return text.size() > 1 && (text.back() == 'l' || text.back() == 'L'); }

namespace {

// The digits a text spells out a value with: from its first nonzero digit
// to its last one, the exponent aside.
size_t significantDigits(const char* text) {
    size_t first = 0, last = 0, at = 0;
    for (const char* c = text; *c != '\0' && *c != 'e' && *c != 'E'; ++c) {
        if (*c < '0' || *c > '9') continue;
        ++at;
        if (*c == '0') continue;
        if (first == 0) first = at;
        last = at;
    }
    return first == 0 ? 0 : last - first + 1;
}

}  // namespace

// The text of a folded value reads back to the very same double: a later
// fold or the compilation of the literal reads it again. "%.15f" is kept
// where it is exact in at most 17 digits; any other value is written as the
// shortest text that reads back.
qestl::qestringA floatText(double value) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.15f", value);
    if (significantDigits(buffer) <= 17 && parseFloatText(buffer) == value) return qestl::qestringA(buffer);
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer - 1, value);
    *written.ptr = '\0';
    return qestl::qestringA(buffer);
}

Result additive(std::string_view op, const Literal& a, const Literal& b) {
    bool subtract = op != "+";
    if (!subtract && (a.kind == kString || a.kind == kChar) && (b.kind == kString || b.kind == kChar)) {
        Result r = folded(a.kind, qestl::qestringA(b.text.data(), b.text.size()));
        r.outcome = Outcome::Appended;
        return r;
    }
    if (a.kind == kInteger && b.kind == kInteger) {
        int64_t x = integerValue(a.text), y = integerValue(b.text);
        return integerResult(subtract ? wrapSub(x, y) : wrapAdd(x, y), a, b);
    }
    if (mixed(a, b)) {
        double x = floatValue(a), y = floatValue(b);
        return floatResult(subtract ? x - y : x + y);
    }
    return Result();
}

Result multiplicative(std::string_view op, const Literal& a, const Literal& b) {
    if (a.kind == kInteger && b.kind == kInteger) {
        int64_t x = integerValue(a.text), y = integerValue(b.text);
        if (op == "*") return integerResult(wrapMul(x, y), a, b);
        if (y == 0) return divideByZero();
        return integerResult(op == "/" ? wrapDiv(x, y) : wrapRem(x, y), a, b);
    }
    if (!mixed(a, b)) return Result();
    double x = floatValue(a), y = floatValue(b);
    if (op == "*") return floatResult(x * y);
    if (op == "/") {
        if (y == 0.0) return divideByZero();
        return floatResult(x / y);
    }
    int64_t xi = 0, yi = 0;
    bool fits = truncate(x, xi);
    if (truncate(y, yi) && yi == 0) return divideByZero();
    if (!fits || !truncate(y, yi)) return Result();
    return folded(kFloat, integerText(wrapRem(xi, yi), false));
}

Result bitwise(std::string_view op, const Literal& a, const Literal& b) {
    if (a.kind != kInteger || b.kind != kInteger) return Result();
    int64_t x = integerValue(a.text), y = integerValue(b.text);
    unsigned shift = static_cast<unsigned>(static_cast<uint64_t>(y) & 63u);
    int64_t v;
    if (op == "<<") v = static_cast<int64_t>(static_cast<uint64_t>(x) << shift);
    else if (op == ">>") v = x >> shift;
    else if (op == "|") v = x | y;
    else if (op == "&") v = x & y;
    else if (op == "^") v = x ^ y;
    else return Result();
    return integerResult(v, a, b);
}

}  // namespace fold
