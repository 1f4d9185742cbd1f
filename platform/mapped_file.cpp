#include "platform/mapped_file.h"

#include <sys/mman.h>
#include <unistd.h>

namespace platform {

const char* mapFileText(FileHandle file, uint64_t size) {
    const long page = ::sysconf(_SC_PAGESIZE);
    // The bytes past the end of the file, up to the end of its last page,
    // read as zeros: they terminate the text. A file that fills its last
    // page has none.
    if (file == nullptr || size == 0 || page <= 0 || size % static_cast<uint64_t>(page) == 0) return nullptr;
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fileDescriptor(file), 0);
    return view == MAP_FAILED ? nullptr : static_cast<const char*>(view);
}

void unmapFileText(const char* view, uint64_t size) {
    if (view != nullptr) ::munmap(const_cast<char*>(view), size);
}

void dropFileTextPages(const char* view, uint64_t size) {
    if (view != nullptr) ::madvise(const_cast<char*>(view), size, MADV_DONTNEED);
}

}  // namespace platform
