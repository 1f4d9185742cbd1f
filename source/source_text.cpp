#include "source/source_text.h"

#include <cstdlib>
#include <cstring>

#include "diagnostics/diagnostics.h"
#include "foundation/ascii_case.h"
#include "platform/file.h"
#include "platform/mapped_file.h"

namespace {

// Below this a text is read: its pages would not be worth a mapping.
constexpr uint64_t kMappedSourceBytes = uint64_t{1} << 20;

size_t byteOrderMarkOf(const char* text, size_t length) {
    return length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

// A large file mapped into the store; false (nothing kept) for any other,
// which is read, or refused, as before.
bool mapSourceText(SourceTextStore& store, const qestl::qestringW& path, SourceText& out) {
    const qestl::qestringA hostPath = qestl::narrow(path);
    platform::FileHandle file = platform::fileOpenRead(hostPath.c_str() != nullptr ? hostPath.c_str() : "");
    if (file == nullptr) return false;
    uint64_t size = 0;
    const char* view = nullptr;
    if (platform::fileSize(file, &size) && size >= kMappedSourceBytes && size <= kMaxSourceBytes)
        view = platform::mapFileText(file, size);
    platform::fileClose(file);
    if (view == nullptr) return false;
    const size_t skip = byteOrderMarkOf(view, size);
    const size_t length = strnlen(view + skip, size - skip);
    // A file that grew since it was measured has its new bytes where the
    // terminator was to be: it is read instead.
    if (skip + length == size && view[size] != 0) {
        platform::unmapFileText(view, size);
        return false;
    }
    out.text = store.adoptMapped(view, size) + skip;
    out.length = length;
    return true;
}

}  // namespace

SourceTextStore::~SourceTextStore() {
    for (char* text : texts_) std::free(text);
    for (const Mapped& mapped : mapped_) platform::unmapFileText(mapped.view, mapped.size);
}

const char* SourceTextStore::adopt(char* buffer) {
    texts_.pushBack(buffer);
    return buffer;
}

const char* SourceTextStore::adoptMapped(const char* view, uint64_t size) {
    mapped_.pushBack(Mapped{view, size});
    return view;
}

void SourceTextStore::dropPages() const {
    for (const Mapped& mapped : mapped_) platform::dropFileTextPages(mapped.view, mapped.size);
}

void SourceTextStore::release(SourceText& text) {
    for (size_t i = mapped_.size(); i-- > 0;) {
        if (text.text < mapped_[i].view || text.text > mapped_[i].view + mapped_[i].size) continue;
        platform::unmapFileText(mapped_[i].view, mapped_[i].size);
        mapped_[i] = mapped_.back();
        mapped_.popBack();
        text = SourceText();
        return;
    }
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
    if (mapSourceText(store, path, out)) return WholeRead::Read;
    qestl::ByteVector bytes;
    const WholeRead result = readFileWhole(path, bytes, kMaxSourceBytes);
    if (result != WholeRead::Read) return result;
    const size_t skip = byteOrderMarkOf(reinterpret_cast<const char*>(bytes.data()), bytes.size());
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
