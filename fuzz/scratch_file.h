// A fuzz target that goes through the project parse hands the processor a
// file: each input is written to a scratch file (under $TMPDIR, else /tmp)
// that exists only while the input is processed, so a run leaves nothing
// behind however it ends between inputs.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class ScratchFile {
public:
    ScratchFile(const uint8_t* data, size_t size) {
        const char* folder = std::getenv("TMPDIR");
        name_ = std::string(folder != nullptr && *folder != 0 ? folder : "/tmp") + "/korvo-fuzz-XXXXXX.k";
        const int fd = mkstemps(name_.data(), 2);
        if (fd < 0) return;
        made_ = true;
        size_t done = 0;
        while (done < size) {
            const ssize_t put = write(fd, data + done, size - done);
            if (put <= 0) break;
            done += static_cast<size_t>(put);
        }
        written_ = done == size;
        close(fd);
    }
    ~ScratchFile() {
        if (made_) unlink(name_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Null when the input could not be written whole.
    const char* path() const { return written_ ? name_.c_str() : nullptr; }

private:
    std::string name_;
    bool made_ = false;
    bool written_ = false;
};
