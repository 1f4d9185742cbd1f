// Source texts as the project keeps them: read whole, owned for the rest of
// the process (diagnostics name files and quote them long after their parse).
#pragma once

#include <cstddef>

#include "foundation/qestring.h"

struct SourceText {
    const char* text = nullptr;  // zero-terminated; kept until released
    size_t length = 0;           // up to the first NUL
};

// Reads the file whole; a leading UTF-8 byte-order mark is dropped and the
// text ends at its first NUL byte. False when the file cannot be opened.
bool readSourceText(const qestl::qestringW& path, SourceText& out);

// Keeps a copy of the bytes for the rest of the process.
SourceText keepSourceText(const char* bytes, size_t length);

// Frees a text that was read or kept and that nothing will read again (a
// page once translated: its generated text is what the project keeps).
void releaseSourceText(SourceText& text);

// True when the extension (from the last '.') begins with ".ksp", letters
// compared without case.
bool isServerPagePath(const qestl::qestringW& path);

// The directory part of a path: up to its last separator, or the whole path
// when it has none.
qestl::qestringW directoryOf(const qestl::qestringW& path);
