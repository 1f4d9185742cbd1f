// Anonymous scratch memory backed by a temporary file.
//
// The file is made in the system temporary directory (TMPDIR, else /tmp)
// under a name beginning with "tmp~" and is unlinked before the call returns,
// so nothing is left behind even when the process crashes; the mapping alone
// keeps the storage alive until it is unmapped.
#pragma once

#include <cstddef>

namespace platform {

// The name prefix of the temporary files.
inline constexpr const char kMappedTempPrefix[] = "tmp~";

// Maps size bytes of zeroed, shared read/write storage. Null on failure
// (no directory, no space, mapping refused); no file remains either way.
void* createMappedTemp(size_t size);

// Unmaps a view made by createMappedTemp with the same size.
void releaseMappedTemp(void* view, size_t size);

}  // namespace platform
