// A fuzz target that goes through the project parse hands the processor a
// file: each input is written to one scratch file of the process (under
// $TMPDIR, else /tmp), reused input after input. Null when it cannot be
// written.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

inline const char* writeScratchFile(const uint8_t* data, size_t size) {
    static std::string name = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder != nullptr && *folder != 0 ? folder : "/tmp") + "/korvo-fuzz-XXXXXX.k";
    }();
    static int fd = mkstemps(name.data(), 2);
    if (fd < 0 || ftruncate(fd, 0) != 0) return nullptr;
    for (size_t done = 0; done < size;) {
        ssize_t put = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (put <= 0) return nullptr;
        done += static_cast<size_t>(put);
    }
    return name.c_str();
}
