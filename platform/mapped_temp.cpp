#include "platform/mapped_temp.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace platform {

namespace {

std::string temporaryDirectory() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string directory = (tmpdir != nullptr && tmpdir[0] != '\0') ? tmpdir : "/tmp";
    if (directory.back() != '/') directory.push_back('/');
    return directory;
}

}  // namespace

void* createMappedTemp(size_t size) {
    if (size == 0) return nullptr;
    std::string path = temporaryDirectory() + kMappedTempPrefix + "XXXXXX";
    int fd = ::mkstemp(path.data());
    if (fd < 0) return nullptr;
    // Gone from the directory before anything can fail or crash.
    ::unlink(path.c_str());
    void* view = MAP_FAILED;
    // Reserving the blocks now turns a full disk into a null result here
    // rather than a bus error on first touch of the mapping.
    if (::posix_fallocate(fd, 0, static_cast<off_t>(size)) == 0) {
        view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    ::close(fd);  // the mapping keeps the storage alive
    return view == MAP_FAILED ? nullptr : view;
}

void releaseMappedTemp(void* view, size_t size) {
    if (view != nullptr) ::munmap(view, size);
}

}  // namespace platform
