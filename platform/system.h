// Process and host information the driver asks the OS for. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// True when something (file or directory) exists at the path.
bool pathExists(const char* path);

// True when the path names an existing directory.
bool directoryExists(const char* path);

// The full path of the running executable; empty when the host cannot say.
std::string modulePath();

// The current working directory; empty when the host cannot say.
std::string currentDirectory();

// The name of the host operating system as the banner shows it.
const char* osName();

// The local wall-clock time, split into calendar fields.
struct LocalTime {
    uint16_t year;
    uint16_t month;      // 1..12
    uint16_t dayOfWeek;  // 0 = Sunday
    uint16_t day;        // 1..31
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

LocalTime localTime();

// The time a reproducible build stamps its outputs with: SOURCE_DATE_EPOCH,
// whole seconds since 1970 in decimal digits alone, at most
// kLatestBuildTime (its milliseconds fit 64 bits). Unset, the clock's time
// is the one to use; set to anything else, the build must not go on with the
// clock in its place.
enum class BuildTime { Clock, Fixed, Malformed };
inline constexpr uint64_t kLatestBuildTime = UINT64_MAX / 1000;
BuildTime fixedBuildTime(uint64_t* seconds);

// Maps the pages of the program's code, constants and data that are not
// mapped yet, one call for each segment, before a compilation runs. A
// compile runs code from all over the program and reads its tables, and each
// page that faulted in alone was a trap of its own: on a virtual machine the
// traps, not the pages (already in memory, shared with every run), are what
// costs. Not worth it for a run that only prints its usage. A kernel that
// cannot do it leaves the pages to fault in as before.
void mapProgramPages();

}  // namespace platform
