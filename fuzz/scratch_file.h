// The fuzz targets that go through the source processor hand it a file: each
// input is written to one scratch file of the process, reused input after
// input. Null when it cannot be written.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

inline const char* writeScratchFile(const uint8_t* data, size_t size) {
    static char name[] = "/tmp/korvo-fuzz-XXXXXX.k";
    static int fd = mkstemps(name, 2);
    if (fd < 0 || ftruncate(fd, 0) != 0) return nullptr;
    for (size_t done = 0; done < size;) {
        ssize_t put = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (put <= 0) return nullptr;
        done += static_cast<size_t>(put);
    }
    return name;
}
