#include "platform/file.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

struct FileObject {
    int descriptor;
};

namespace {

FileHandle wrap(int descriptor) {
    if (descriptor < 0) return nullptr;
    return new FileObject{descriptor};
}

// Every file this process opened for reading, by identity: an output must
// never land on one of them, whatever path names it.
std::mutex gReadFilesLock;
// A set: a program may include thousands of files, and every open asks.
std::set<FileIdentity> gReadFiles;

void noteReadFile(const struct stat& info) {
    std::lock_guard<std::mutex> hold(gReadFilesLock);
    gReadFiles.insert(FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)});
}

// Closes a descriptor that will not be read; errno keeps the reason.
FileHandle closeFor(int descriptor, int reason) {
    ::close(descriptor);
    errno = reason;
    return nullptr;
}

}  // namespace

bool fileIdentity(const char* path, FileIdentity* identity) {
    struct stat info;
    if (path == nullptr || ::stat(path, &info) != 0) return false;
    *identity = FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    return true;
}

bool fileWasRead(const char* path) {
    FileIdentity identity;
    if (!fileIdentity(path, &identity)) return false;
    std::lock_guard<std::mutex> hold(gReadFilesLock);
    return gReadFiles.count(identity) != 0;
}

bool pathIsNonRegular(const char* path) {
    struct stat info;
    return path != nullptr && ::stat(path, &info) == 0 && !S_ISREG(info.st_mode);
}

FileHandle fileOpenRead(const char* path) {
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    // Opening a FIFO for reading waits for a writer unless non-blocking; the
    // type is checked on the open descriptor, so a swapped path cannot slip by.
    int descriptor = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) return nullptr;
    struct stat info;
    if (::fstat(descriptor, &info) != 0) return closeFor(descriptor, errno);
    // A directory, FIFO or device opens, but is no file to read.
    if (!S_ISREG(info.st_mode)) return closeFor(descriptor, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    noteReadFile(info);
    int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) return closeFor(descriptor, errno);
    return wrap(descriptor);
}

FileHandle fileCreate(const char* path, bool append) {
    if (path == nullptr) return nullptr;
    int flags = append ? (O_WRONLY | O_CREAT | O_APPEND) : (O_RDWR | O_CREAT | O_TRUNC);
    return wrap(::open(path, flags | O_CLOEXEC, 0666));
}

bool fileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (file == nullptr) return false;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (*done < count) {
        ssize_t got = ::read(file->descriptor, bytes + *done, count - *done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) break;
        *done += static_cast<uint32_t>(got);
    }
    return true;
}

bool fileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (file == nullptr) return false;
    auto* bytes = static_cast<const unsigned char*>(buffer);
    while (*done < count) {
        ssize_t put = ::write(file->descriptor, bytes + *done, count - *done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (put == 0) return false;
        *done += static_cast<uint32_t>(put);
    }
    return true;
}

bool fileWriteAt(FileHandle file, const void* buffer, uint32_t count, uint64_t position) {
    if (file == nullptr || position > static_cast<uint64_t>(INT64_MAX) - count) return false;
    auto* bytes = static_cast<const unsigned char*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t put = ::pwrite(file->descriptor, bytes + done, count - done, static_cast<off_t>(position + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (put == 0) return false;
        done += static_cast<uint32_t>(put);
    }
    return true;
}

bool fileReserve(FileHandle file, uint64_t offset, uint64_t length) {
    if (file == nullptr || length == 0 || offset > static_cast<uint64_t>(INT64_MAX) ||
        length > static_cast<uint64_t>(INT64_MAX) - offset) {
        return false;
    }
    return ::fallocate(file->descriptor, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                       static_cast<off_t>(length)) == 0;
}

bool fileSeek(FileHandle file, int64_t offset, SeekOrigin origin, uint64_t* position) {
    if (file == nullptr) return false;
    int whence;
    switch (origin) {
        case SeekOrigin::Begin: whence = SEEK_SET; break;
        case SeekOrigin::Current: whence = SEEK_CUR; break;
        case SeekOrigin::End: whence = SEEK_END; break;
        default: return false;
    }
    off_t result = ::lseek(file->descriptor, static_cast<off_t>(offset), whence);
    if (result < 0) return false;
    *position = static_cast<uint64_t>(result);
    return true;
}

bool fileSize(FileHandle file, uint64_t* size) {
    if (file == nullptr) return false;
    struct stat info;
    if (::fstat(file->descriptor, &info) != 0) return false;
    *size = static_cast<uint64_t>(info.st_size);
    return true;
}

FileHandle fileAdopt(int descriptor) { return wrap(descriptor); }

int fileDescriptor(FileHandle file) { return file != nullptr ? file->descriptor : -1; }

bool fileClose(FileHandle file) {
    if (file == nullptr) return false;
    int result = ::close(file->descriptor);
    delete file;
    return result == 0;
}

}  // namespace platform
