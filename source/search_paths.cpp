#include "source/search_paths.h"

namespace {

qestl::WStringVector& list() {
    // Never destroyed: the process ends without running static destructors,
    // and nothing may find the list gone while it still runs.
    static qestl::WStringVector* paths = new qestl::WStringVector();
    return *paths;
}

char16_t foldAscii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit;
}

bool equalIgnoringAsciiCase(const qestl::qestringW& a, const qestl::qestringW& b) {
    if (a.length() != b.length()) return false;
    for (size_t i = 0; i < a.length(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

}  // namespace

void addSearchPath(const qestl::qestringW& directory) {
    qestl::WStringVector& paths = list();
    for (const qestl::qestringW& entry : paths) {
        if (equalIgnoringAsciiCase(entry, directory)) return;
    }
    paths.pushBack(directory);
}

const qestl::WStringVector& searchPaths() { return list(); }
