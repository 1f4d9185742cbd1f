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

class ScratchFile {
public:
    ScratchFile(const uint8_t* data, size_t size) {
        const int fd = descriptor();
        if (fd < 0 || inUse()) return;
        inUse() = true;
        made_ = true;
        // Written over the last input and cut to this one's length: the
        // file keeps its page from input to input.
        size_t done = 0;
        while (done < size) {
            const ssize_t put = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (put <= 0) break;
            done += static_cast<size_t>(put);
        }
        if (done == size && ftruncate(fd, static_cast<off_t>(size)) == 0) name_ = "/proc/self/fd/" + std::to_string(fd);
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
    static bool& inUse() {
        static bool used = false;
        return used;
    }

    std::string name_;
    bool made_ = false;
};
