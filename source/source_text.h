// Source texts as the project keeps them: read whole, owned by the project
// (diagnostics name files and quote them long after their parse).
#pragma once

#include <cstddef>

#include "foundation/qestring.h"
#include "foundation/vector.h"
#include "foundation/whole_file.h"

struct SourceText {
    const char* text = nullptr;  // zero-terminated; owned by a SourceTextStore
    size_t length = 0;           // up to the first NUL
};

// The texts of one project (sources as read, generated servlet texts): they
// live as long as the project, which diagnostics of every later stage quote,
// and no longer.
class SourceTextStore {
public:
    SourceTextStore() = default;
    ~SourceTextStore();
    SourceTextStore(const SourceTextStore&) = delete;
    SourceTextStore& operator=(const SourceTextStore&) = delete;

    // Takes a malloc'd, zero-terminated buffer.
    const char* adopt(char* buffer);
    // Takes a file's mapping (platform/mapped_file.h) of `size` bytes.
    const char* adoptMapped(const char* view, uint64_t size);
    // Frees a text that nothing will read again (a page once translated: its
    // generated text is what the project keeps); the handle is emptied.
    void release(SourceText& text);
    // The pages of the mapped texts read so far leave the process: a large
    // program's text is read through by its parse and then only quoted, a
    // line at a time, by its diagnostics. What they quote comes back from
    // the file. Held, the text was tens of megabytes at the peak.
    void dropPages() const;

private:
    struct Mapped {
        const char* view;
        uint64_t size;
    };
    qestl::qevector<char*> texts_;
    qestl::qevector<Mapped> mapped_;
};

// Positions in a text are 32-bit and signed in places: a longer file is
// refused whole rather than compiled in part.
inline constexpr uint64_t kMaxSourceBytes = 0x7FFFFFFE;

// Reads the file whole into the store (a file of a megabyte or more is
// mapped); a leading UTF-8 byte-order mark is dropped and the text ends at
// its first NUL byte. Anything but Read keeps nothing.
WholeRead readSourceText(SourceTextStore& store, const qestl::qestringW& path, SourceText& out);

// The line that tells why a source was not read, naming its path.
qestl::qestringA unreadSourceMessage(WholeRead result, const qestl::qestringW& path);

// Keeps a copy of the bytes in the store.
SourceText keepSourceText(SourceTextStore& store, const char* bytes, size_t length);

// True when the extension (from the last '.') begins with ".ksp", letters
// compared without case.
bool isServerPagePath(const qestl::qestringW& path);

// The directory part of a path: up to its last separator, or the whole path
// when it has none.
qestl::qestringW directoryOf(const qestl::qestringW& path);
