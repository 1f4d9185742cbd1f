// Standard output as the compiler writes it: the C library's stdout, over a
// stream that keeps the reason of its first failed write. The C library
// keeps only that a write failed; by the time the run ends and asks,
// errno has long moved on.
#pragma once

namespace platform {

// Puts stdout on descriptor 1 through the watching stream, and keeps
// descriptors 1 and 2 from being taken by a file the compiler opens when
// they were closed (writes to them then fail with EBADF). Called once,
// before anything is written.
void watchStandardOutput();

// errno of the first write to standard output that failed; 0 when none did
// (or the output is not watched).
int standardOutputError();

}  // namespace platform
