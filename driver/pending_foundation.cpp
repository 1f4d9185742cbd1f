#include "driver/pending_foundation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace pending {

qestl::qestringW modulePath() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    return n <= 0 ? qestl::qestringW() : qestl::widen(buffer, static_cast<size_t>(n));
}

qestl::qestringW currentDirectory() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) == nullptr ? qestl::qestringW() : qestl::widen(buffer);
}

bool pathExists(const qestl::qestringW& path) {
    struct stat info;
    return stat(qestl::narrow(path).c_str(), &info) == 0;
}

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

bool readFileBelow(const qestl::qestringW& path, uint64_t limit, qestl::ByteVector& bytes, bool* tooLarge) {
    *tooLarge = false;
    FILE* file = std::fopen(qestl::narrow(path).c_str(), "rb");
    if (file == nullptr) return false;
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) >= limit) {
        *tooLarge = true;
        std::fclose(file);
        return true;
    }
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    return true;
}

}  // namespace pending
