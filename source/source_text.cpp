#include "source/source_text.h"

#include <cstdlib>
#include <cstring>

#include "foundation/ascii_case.h"
#include "platform/file.h"

SourceTextStore::~SourceTextStore() {
    for (char* text : texts_) std::free(text);
}

const char* SourceTextStore::adopt(char* buffer) {
    texts_.pushBack(buffer);
    return buffer;
}

void SourceTextStore::release(SourceText& text) {
    // The text released is most often the one read last.
    for (size_t i = texts_.size(); i-- > 0;) {
        if (texts_[i] != text.text) continue;
        std::free(texts_[i]);
        texts_[i] = texts_.back();
        texts_.popBack();
        break;
    }
    text = SourceText();
}

SourceText keepSourceText(SourceTextStore& store, const char* bytes, size_t length) {
    char* buffer = static_cast<char*>(std::malloc(length + 1));
    if (buffer == nullptr) return {};
    if (length > 0) std::memcpy(buffer, bytes, length);
    buffer[length] = 0;
    return {store.adopt(buffer), std::strlen(buffer)};
}

bool readSourceText(SourceTextStore& store, const qestl::qestringW& path, SourceText& out) {
    qestl::qestringA hostPath = qestl::narrow(path);
    platform::FileHandle file = platform::fileOpenRead(hostPath.c_str() != nullptr ? hostPath.c_str() : "");
    if (file == nullptr) return false;
    uint64_t size = 0;
    if (!platform::fileSize(file, &size)) size = 0;
    // Offsets into a text are 32-bit: a larger file is read no further.
    if (size > 0x7FFFFFFEu) size = 0x7FFFFFFEu;
    char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
    if (buffer == nullptr) {
        platform::fileClose(file);
        return false;
    }
    uint32_t done = 0;
    platform::fileRead(file, buffer, static_cast<uint32_t>(size), &done);
    platform::fileClose(file);
    buffer[done] = 0;
    size_t skip = 0;
    if (done >= 3 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0) skip = 3;
    if (skip > 0) std::memmove(buffer, buffer + skip, done - skip + 1);
    out.text = store.adopt(buffer);
    out.length = std::strlen(buffer);
    return true;
}

bool isServerPagePath(const qestl::qestringW& path) {
    const char16_t* units = path.c_str();
    if (units == nullptr) return false;
    size_t dot = path.length();
    while (dot > 0 && units[dot - 1] != u'.') --dot;
    if (dot == 0) return false;
    const char16_t* extension = units + dot - 1;
    const size_t available = path.length() - (dot - 1);
    if (available < 4) return false;
    return qestl::equalIgnoringAsciiCase(extension, u".ksp", 4);
}

qestl::qestringW directoryOf(const qestl::qestringW& path) {
    const char16_t* units = path.c_str();
    if (units == nullptr) return qestl::qestringW();
    size_t end = path.length();
    while (end > 0 && units[end - 1] != u'/' && units[end - 1] != u'\\') --end;
    if (end == 0) return path;
    return qestl::qestringW(units, end - 1);
}
