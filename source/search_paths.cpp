#include "source/search_paths.h"

#include <cstdio>

#include "foundation/ascii_case.h"
#include "foundation/path.h"
#include "platform/system.h"

namespace {

qestl::WStringVector& list() {
    // Never destroyed: the process ends without running static destructors,
    // and nothing may find the list gone while it still runs.
    static qestl::WStringVector* paths = new qestl::WStringVector();
    return *paths;
}

bool sameDirectory(const qestl::qestringW& a, const qestl::qestringW& b) {
    return qestl::sameIgnoringAsciiCase(a.data(), a.length(), b.data(), b.length());
}

}  // namespace

void addSearchPath(const qestl::qestringW& directory) {
    qestl::WStringVector& paths = list();
    for (const qestl::qestringW& entry : paths) {
        if (sameDirectory(entry, directory)) return;
    }
    paths.pushBack(directory);
}

const qestl::WStringVector& searchPaths() { return list(); }

namespace {

bool existsOnHost(const qestl::qestringW& path) {
    qestl::qestringA bytes = qestl::narrow(path);
    return bytes.c_str() != nullptr && platform::pathExists(bytes.c_str());
}

// The directory entry joined with the name, as include handling tries it.
qestl::qestringW candidateIn(const qestl::qestringW& directory, const qestl::qestringW& name) {
    qestl::qestringW joined(directory);
    qestl::appendPath(joined, name.c_str() ? name.c_str() : u"");
    qestl::normaliseWidePath(joined);
    return joined;
}

}  // namespace

void printSearchPaths() {
    qestl::qestringA text("在以下路径中查找:\n");
    for (const qestl::qestringW& entry : list()) {
        text.append(qestl::narrow(entry));
        text.append("\n");
    }
    text.append("\n");
    std::fwrite(text.c_str(), 1, text.length(), stdout);
}

namespace {

// The first of the directories that holds the name, joined and normalised.
bool findInList(const qestl::WStringVector& directories, const qestl::qestringW& name, qestl::qestringW& path) {
    for (const qestl::qestringW& entry : directories) {
        qestl::qestringW candidate = candidateIn(entry, name);
        if (existsOnHost(candidate)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace

qestl::qestringW resolveIncludePath(const qestl::qestringW& name) {
    qestl::qestringW path;
    return findInList(list(), name, path) ? path : name;
}

bool findIncludedFile(const qestl::qestringW& name, qestl::qestringW& path) {
    return findInDirectories(list(), name, path);
}

bool findInDirectories(const qestl::WStringVector& directories, const qestl::qestringW& name,
                       qestl::qestringW& path) {
    if (existsOnHost(name)) {
        path = name;
        return true;
    }
    return findInList(directories, name, path);
}
