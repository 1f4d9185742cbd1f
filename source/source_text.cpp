#include "source/source_text.h"

#include <cstdlib>
#include <cstring>

#include "foundation/ascii_case.h"
#include "diagnostics/diagnostics.h"

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

WholeRead readSourceText(SourceTextStore& store, const qestl::qestringW& path, SourceText& out) {
    qestl::ByteVector bytes;
    const WholeRead result = readFileWhole(path, bytes, kMaxSourceBytes);
    if (result != WholeRead::Read) return result;
    size_t skip = 0;
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0) skip = 3;
    bytes.pushBack(0);
    char* buffer = reinterpret_cast<char*>(bytes.data());
    if (skip > 0) std::memmove(buffer, buffer + skip, bytes.size() - skip);
    bytes.reset(2);  // the store frees the buffer from now on
    out.text = store.adopt(buffer);
    out.length = std::strlen(buffer);
    return WholeRead::Read;
}

qestl::qestringA unreadSourceMessage(WholeRead result, const qestl::qestringW& path) {
    const qestl::qestringA ansi = qestl::narrow(path);
    const Diagnostic& diagnostic = result == WholeRead::TooLarge ? diag::SourceTooLarge
                                   : result == WholeRead::Failed ? diag::FileUnreadable
                                                                 : diag::FileNotFound;
    return qestl::qestringA::format(diagnostic.text, ansi.c_str() != nullptr ? ansi.c_str() : "");
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
