// The comparison of dotted version texts behind the version annotations.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "foundation/qestring.h"
#include "foundation/text_number.h"
#include "foundation/vector.h"
#include "statements/compile_walk.h"

namespace {

enum Relation : uint32_t { kNever = 0, kGreater = 1, kLess = 2, kEqual = 16, kGreaterEqual = 17, kLessEqual = 18 };

Relation relationOf(std::string_view op) {
    if (op.empty() || op == "=") return kEqual;
    if (op == ">") return kGreater;
    if (op == "<") return kLess;
    if (op == ">=") return kGreaterEqual;
    if (op == "<=") return kLessEqual;
    return kNever;
}

// Optional sign, then digits; base 8 after a leading 0.
int64_t versionPart(const qestl::qestringA& text) { return qestl::parseInt64(text); }

}  // namespace

bool compareDottedVersions(const char* constraint, const char* actual) {
    const char* digit = constraint;
    while (*digit != 0 && !std::isdigit(static_cast<unsigned char>(*digit))) ++digit;
    const std::string_view op(constraint, static_cast<size_t>(digit - constraint));
    if (op == "!=") return std::strcmp(digit, actual) != 0;
    const Relation relation = relationOf(op);

    qestl::StringVector required, present;
    qestl::qestringA(digit).splitOnDot(required, SIZE_MAX);
    qestl::qestringA(actual).splitOnDot(present, SIZE_MAX);
    for (size_t i = 0; i < required.size(); ++i) {
        if (required[i].view() == "*") return true;
        if (i >= present.size()) break;
        if (relation == kNever) continue;
        const int64_t want = versionPart(required[i]), have = versionPart(present[i]);
        if (want == have) continue;
        switch (relation) {
        case kGreater:
        case kGreaterEqual:
            return have > want;
        case kLess:
        case kLessEqual:
            return have < want;
        default:
            return false;
        }
    }
    switch (relation) {
    case kGreater:
        return required.size() < present.size();
    case kLess:
        return required.size() > present.size();
    case kEqual:
        return required.size() == present.size();
    case kGreaterEqual:
        return required.size() <= present.size();
    case kLessEqual:
        return required.size() >= present.size();
    default:
        return false;
    }
}
