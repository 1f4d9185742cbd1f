// Files as the compiler sees them: opaque handles over the host's file
// descriptors. Paths are UTF-8 bytes at this level; the streams above convert
// wide paths before they get here.
#pragma once

#include <cstdint>

namespace platform {

struct FileObject;
using FileHandle = FileObject*;  // null means "no file"

enum class SeekOrigin : uint32_t { Begin = 0, Current = 1, End = 2 };

// Opens an existing regular file for reading; others may read it too.
// Anything else gives null without waiting: a directory, a missing file, and
// a FIFO or device, whose reads could block for ever or never end. On null,
// errno holds the reason (EISDIR for a directory, EINVAL for a FIFO or
// device).
FileHandle fileOpenRead(const char* path);

// True when `path` names, through any links or "..", an existing file that
// fileOpenRead opened in this process.
bool fileWasRead(const char* path);

// What tells one file from another whatever path names it.
struct FileIdentity {
    uint64_t device;
    uint64_t inode;
    friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    }
    friend bool operator==(const FileIdentity& a, const FileIdentity& b) = default;
};

// The identity of what `path` names through any links; false when nothing
// exists there.
bool fileIdentity(const char* path, FileIdentity* identity);

// True when `path` names (through links) something that exists and is not a
// regular file: a directory, a FIFO, a device, a socket.
bool pathIsNonRegular(const char* path);

// Creates (or truncates) a file for reading and writing; with `append` the
// file is opened or created and every write goes to its end.
FileHandle fileCreate(const char* path, bool append);

// Reads up to `count` bytes, retrying short reads until the end of the file.
// Returns false on an error; `done` always holds the bytes actually read.
bool fileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done);

// Writes `count` bytes; `done` reports how many made it, also when a write
// failed part way (a full disk gives a short count and false).
bool fileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* done);

// Writes all count bytes at an absolute position of the file, leaving the
// file's own position as it was; several threads may do so at once.
bool fileWriteAt(FileHandle file, const void* buffer, uint32_t count, uint64_t position);

// Sets disk room aside for `length` bytes from `offset` without changing the
// file's size, so that writing them later allocates nothing. Advice only:
// false (and no harm) where the file system cannot.
bool fileReserve(FileHandle file, uint64_t offset, uint64_t length);

// Moves the file position; `position` receives the new one on success.
bool fileSeek(FileHandle file, int64_t offset, SeekOrigin origin, uint64_t* position);

bool fileSize(FileHandle file, uint64_t* size);

// Closes the file and frees the handle; false when the handle is null.
bool fileClose(FileHandle file);

// A handle over an open descriptor, which it then owns; null for a negative
// descriptor.
FileHandle fileAdopt(int descriptor);
int fileDescriptor(FileHandle file);

}  // namespace platform
