// The host side of an output written whole or not at all: a fresh file beside
// the target that is renamed over it once complete. Only a regular file (or
// nothing) is ever replaced.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace platform {

// Permission bits of an output file before the process's umask.
inline constexpr uint32_t kPlainFileMode = 0666;
inline constexpr uint32_t kExecutableFileMode = 0777;

struct PendingOutput {
    FileHandle file = nullptr;
    // Index of a named temporary in the table the signal handler empties; -1
    // when there is none.
    int temporary = -1;
    // The file has no name yet: it goes with the process, however that ends.
    bool unnamed = false;
};

// Opens what receives the output for `target`: a file without a name in its
// directory where the file system has them (linked in under a temporary
// name and renamed over the target at the commit), else a temporary with a
// short unique name there, created exclusively (a file or symlink planted
// under that name is never followed). Either has the mode an ordinary create
// would give (`mode` less the umask for a new target, the existing target's
// own bits otherwise). While a named temporary exists, every catchable
// signal that would end the process removes it first (see output_file.cpp);
// one left by a process killed outright is removed by the next process that
// writes an output into that directory.
// False when nothing could be opened: a target that exists and is not a
// regular file (a FIFO would block on its reader), a target this process has
// read (platform/file.h), a missing directory, no permission.
bool outputBegin(const char* target, uint32_t mode, PendingOutput& out);

// Closes the output; a temporary is renamed over the target. False, with the
// temporary removed, when closing or renaming failed.
bool outputCommit(PendingOutput& output, const char* target);

// Closes the output and removes its temporary; the target stays as it was.
void outputAbandon(PendingOutput& output);

// Removes every temporary that exists right now (only async-signal-safe
// calls): for a process that ends without unwinding or a signal.
void removeTemporaries();

// From a handler of `signal`: removes every temporary and ends the process
// with the signal's own status.
void endWithSignal(int signal);

// True when both paths name one existing file (the same device and inode).
bool sameExistingFile(const char* first, const char* second);

}  // namespace platform
