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
    // Frees a text that nothing will read again (a page once translated: its
    // generated text is what the project keeps); the handle is emptied.
    void release(SourceText& text);

private:
    qestl::qevector<char*> texts_;
};

// Positions in a text are 32-bit and signed in places: a longer file is
// refused whole rather than compiled in part.
inline constexpr uint64_t kMaxSourceBytes = 0x7FFFFFFE;

// Reads the file whole into the store; a leading UTF-8 byte-order mark is
// dropped and the text ends at its first NUL byte. Anything but Read keeps
// nothing.
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
