// A fuzz target that goes through the project parse hands the processor a
// file: each input is written to a file that lives in memory only (a memfd,
// reached through /proc/self/fd), so a run leaves nothing behind however it
// ends. One file serves every input of the process: the compiler notes every
// file it reads by identity for the rest of the process, and a new file per
// input would grow that record by one entry each time (which the fuzzer's
// leak check, counting what each input leaves allocated, sees as a leak).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Writes `size` bytes over the open file's start and cuts it to that length
// (unless it already had it): the file keeps its pages from input to input,
// and nothing is closed, which on a disk file system would write the pages
// back. True when the file holds exactly those bytes.
inline bool rewriteFile(int fd, const void* data, size_t size, size_t oldSize) {
    size_t done = 0;
    while (done < size) {
        const ssize_t put = pwrite(fd, static_cast<const char*>(data) + done, size - done, static_cast<off_t>(done));
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return size == oldSize || ftruncate(fd, static_cast<off_t>(size)) == 0;
}

class ScratchFile {
public:
    ScratchFile(const uint8_t* data, size_t size) {
        const int fd = descriptor();
        if (fd < 0 || inUse()) return;
        inUse() = true;
        made_ = true;
        const bool whole = rewriteFile(fd, data, size, length());
        length() = whole ? size : SIZE_MAX;
        if (whole) name_ = "/proc/self/fd/" + std::to_string(fd);
    }
    ~ScratchFile() {
        if (made_) inUse() = false;
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Null when the input could not be written whole (or another scratch
    // file is alive: there is one per process).
    const char* path() const { return name_.empty() ? nullptr : name_.c_str(); }

private:
    static int descriptor() {
        static const int fd = memfd_create("korvo-fuzz.k", MFD_CLOEXEC);
        return fd;
    }
    // The file's length as last written whole (SIZE_MAX: not known).
    static size_t& length() {
        static size_t bytes = SIZE_MAX;
        return bytes;
    }
    static bool& inUse() {
        static bool used = false;
        return used;
    }

    std::string name_;
    bool made_ = false;
};
