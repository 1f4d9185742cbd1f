#include "platform/system.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

bool pathExists(const char* path) {
    struct stat info;
    return path != nullptr && ::stat(path, &info) == 0;
}

bool directoryExists(const char* path) {
    struct stat info;
    return path != nullptr && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::string modulePath() {
    // readlink does not say when it truncated, so grow until the answer fits.
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return std::string();
        if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(length));
        buffer.resize(buffer.size() * 2);
    }
}

std::string currentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

const char* osName() { return "Linux"; }

LocalTime localTime() {
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    struct tm fields;
    ::localtime_r(&now.tv_sec, &fields);
    LocalTime result;
    result.year = static_cast<uint16_t>(fields.tm_year + 1900);
    result.month = static_cast<uint16_t>(fields.tm_mon + 1);
    result.dayOfWeek = static_cast<uint16_t>(fields.tm_wday);
    result.day = static_cast<uint16_t>(fields.tm_mday);
    result.hour = static_cast<uint16_t>(fields.tm_hour);
    result.minute = static_cast<uint16_t>(fields.tm_min);
    result.second = static_cast<uint16_t>(fields.tm_sec);
    result.milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
    return result;
}

BuildTime fixedBuildTime(uint64_t* seconds) {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr) return BuildTime::Clock;
    if (*text == 0) return BuildTime::Malformed;
    uint64_t value = 0;
    for (const char* digit = text; *digit != 0; ++digit) {
        if (*digit < '0' || *digit > '9') return BuildTime::Malformed;
        value = value * 10 + static_cast<uint64_t>(*digit - '0');
        if (value > kLatestBuildTime) return BuildTime::Malformed;
    }
    *seconds = value;
    return BuildTime::Fixed;
}

void mapProgramPages() {
#if defined(MADV_POPULATE_READ)
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
            for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                // Writable data is mapped for reading too: the pages only
                // read are saved a trap, and a page written is copied on its
                // first write as it would have been.
                if (segment.p_type != PT_LOAD) continue;
                const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
                const uintptr_t first = start & ~(page - 1);
                madvise(reinterpret_cast<void*>(first), start + segment.p_memsz - first, MADV_POPULATE_READ);
            }
            return 1;  // the program itself is reported first
        },
        nullptr);
#endif
}

}  // namespace platform
