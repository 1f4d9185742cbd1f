// A regular file's bytes mapped read-only, for a reader that keeps them long
// after reading them through once. The mapping's pages are the file's own
// cache: let go of, they cost the process nothing until read again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace platform {

// Maps the whole of an open regular file of `size` bytes (its size now), with
// a zero byte behind its last: null when the system refuses, or when no zero
// byte would follow (a size on a page boundary).
const char* mapFileText(FileHandle file, uint64_t size);

void unmapFileText(const char* view, uint64_t size);

// The pages read so far leave the process; what is read again later comes
// back from the file.
void dropFileTextPages(const char* view, uint64_t size);

}  // namespace platform
