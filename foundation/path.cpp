#include "foundation/path.h"

#include <string>
#include <vector>

#include "foundation/ascii_case.h"

namespace qestl {
namespace {

template <typename Unit>
bool isSeparator(Unit c) {
    return c == Unit('/') || c == Unit('\\');
}

template <typename Unit>
void appendPathUnits(qestring<Unit>& path, const Unit* part) {
    if (!part) return;
    if (path.length() == 0) {
        path.append(part);
        return;
    }
    if (isSeparator(path[path.length() - 1])) {
        while (isSeparator(*part)) ++part;
    } else if (!isSeparator(*part)) {
        const Unit separator = Unit('/');
        path.append(&separator, 1);
    }
    path.append(part);
}

bool samePathUnit(char a, char b) {
    return (isSeparator(a) && isSeparator(b)) || lowerAscii(a) == lowerAscii(b);
}

}  // namespace

void appendPath(qestringA& path, const char* part) { appendPathUnits(path, part); }
void appendPath(qestringW& path, const char16_t* part) { appendPathUnits(path, part); }

void normaliseWidePath(qestringW& path) {
    char16_t* units = path.data();
    if (!units) return;
    const size_t length = path.length();
    std::u16string out;
    std::vector<size_t> removable;  // where each component written (other than "..") starts
    size_t at = 0;
    if (length > 0 && isSeparator(units[0])) {
        out += u'/';
        while (at < length && isSeparator(units[at])) ++at;
    }
    while (at < length) {
        size_t end = at;
        while (end < length && !isSeparator(units[end])) ++end;
        std::u16string_view component(units + at, end - at);
        bool separatorFollows = end < length;
        while (end < length && isSeparator(units[end])) ++end;
        at = end;
        if (component == u".") continue;
        if (component == u".." && !removable.empty()) {
            out.resize(removable.back());
            removable.pop_back();
            continue;
        }
        if (component != u"..") removable.push_back(out.size());
        out += component;
        if (separatorFollows) out += u'/';
    }
    // The result is never longer than the text it came from.
    for (size_t i = 0; i < out.size(); ++i) units[i] = out[i];
    path.setLength(out.size());
}

void normalisePath(qestringA& path) {
    qestringW wide = widen(path);
    normaliseWidePath(wide);
    path = narrow(wide);
}

bool hasExtension(const qestringW& path, const char16_t* extension) {
    const char16_t* units = path.c_str();
    if (units == nullptr) return false;
    size_t dot = path.length();
    while (dot > 0 && units[dot - 1] != u'.') --dot;
    return dot > 0 && equalIgnoringAsciiCase(units + dot - 1, extension);
}

qestringA relativePath(const qestringA& target, const qestringA& base) {
    const char* t = target.c_str() ? target.c_str() : "";
    const char* b = base.c_str() ? base.c_str() : "";
    const size_t targetLength = target.c_str() ? target.length() : 0;
    const size_t baseLength = base.c_str() ? base.length() : 0;

    size_t common = 0;
    size_t afterSeparator = 0;
    while (common < targetLength && common < baseLength && samePathUnit(t[common], b[common])) {
        if (isSeparator(t[common])) afterSeparator = common + 1;
        ++common;
    }

    qestringA result;
    size_t from;
    // The whole base matched on a component boundary of the target: the
    // target lies inside base. A match that ends inside a component ("src"
    // against "srcx") does not count as one.
    bool insideBase = common == baseLength &&
                      (baseLength == 0 || isSeparator(b[baseLength - 1]) || common == targetLength ||
                       isSeparator(t[common]));
    if (insideBase) {
        from = baseLength;
    } else {
        from = afterSeparator;
        // One step up for every directory of base below the shared prefix.
        for (size_t i = afterSeparator; i < baseLength; ++i) {
            if (!isSeparator(b[i]) && (i + 1 == baseLength || isSeparator(b[i + 1]))) result.append("../", 3);
        }
    }
    if (result.length() == 0 && from < targetLength && isSeparator(t[from])) result.append(".", 1);
    for (size_t i = from; i < targetLength; ++i) {
        const char unit = isSeparator(t[i]) ? '/' : t[i];
        result.append(&unit, 1);
    }
    return result;
}

}  // namespace qestl
