#include "driver/pending_foundation.h"

namespace pending {

void appendPath(qestl::qestringW& path, const char16_t* part) {
    auto isSep = [](char16_t c) { return c == u'/' || c == u'\\'; };
    if (!path.empty()) {
        if (isSep(path[path.length() - 1])) {
            while (isSep(*part)) ++part;
        } else if (!isSep(*part)) {
            path.append(u"/");
        }
    }
    path.append(part);
}

void normaliseWidePath(qestl::qestringW& path) {
    qestl::qestringW out;
    size_t components = 0;
    size_t i = 0;
    const size_t n = path.length();
    auto isSep = [](char16_t c) { return c == u'/' || c == u'\\'; };
    if (n > 0 && isSep(path[0])) {
        out.append(u"/");
        while (i < n && isSep(path[i])) ++i;
    }
    while (i < n) {
        size_t start = i;
        while (i < n && !isSep(path[i])) ++i;
        qestl::qestringW part(path.data() + start, i - start);
        bool separator = i < n;
        while (i < n && isSep(path[i])) ++i;
        if (part.view() == u".") continue;
        if (part.view() == u".." && components > 0) {
            size_t end = out.length() - 1;
            while (end > 0 && !isSep(out[end - 1])) --end;
            out = qestl::qestringW(out.data(), end);
            --components;
            continue;
        }
        out.append(part);
        if (part.view() != u"..") ++components;
        if (separator) out.append(u"/");
    }
    path = out;
}

}  // namespace pending
