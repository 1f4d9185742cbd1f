#include "platform/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <limits.h>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The temporaries that exist right now, for the signal handler: a slot's name
// is complete before it is marked used, and the handler only reads.
constexpr int kTemporarySlots = 16;
char gTemporaryNames[kTemporarySlots][PATH_MAX];
volatile sig_atomic_t gTemporaryUsed[kTemporarySlots];
bool gHandlersInstalled = false;

// Every catchable signal whose default action ends the process (with or
// without a core): a temporary must not outlive the process however it ends.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,
                                  SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU,
                                  SIGXFSZ, SIGVTALRM, SIGPROF, SIGPOLL, SIGPWR,  SIGSYS};

extern "C" void removeTemporariesAndDie(int signal) { endWithSignal(signal); }

// One call per signal: the handler goes in and the one it replaced comes
// back; where that was not the default, it is put back at once.
void installHandler(int signal, const struct sigaction& handler) {
    struct sigaction previous;
    if (::sigaction(signal, &handler, &previous) != 0) return;
    // A signal the caller chose to ignore stays ignored, and one that already
    // has a handler (a sanitizer's, an embedding program's) keeps it.
    if (previous.sa_handler != SIG_DFL) ::sigaction(signal, &previous, nullptr);
}

void installHandlers() {
    if (gHandlersInstalled) return;
    gHandlersInstalled = true;
    struct sigaction handler {};
    handler.sa_handler = removeTemporariesAndDie;
    // No second signal interrupts the cleanup half way.
    sigfillset(&handler.sa_mask);
    // Held back while the handlers change: a signal the caller ignores never
    // meets ours in between, it waits for the disposition put back.
    sigset_t all;
    sigset_t saved;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &saved);
    for (int signal : kEndingSignals) installHandler(signal, handler);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) installHandler(signal, handler);
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

// Holds every signal back while the table and the disk disagree (a temporary
// created but not yet listed, or renamed but still listed).
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t all;
        sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, &saved_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t saved_;
};

int freeSlot() {
    for (int i = 0; i < kTemporarySlots; ++i) {
        if (!gTemporaryUsed[i]) return i;
    }
    return -1;
}

constexpr const char* kTemporaryPrefix = ".korvo-tmp-";
constexpr size_t kTemporaryLetters = 8;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";

// Bits for temporary names: unique within the process by the counter, across
// processes by the pid and the clock.
uint64_t nextNameBits() {
    static uint64_t counter = 0;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    uint64_t bits = (uint64_t(::getpid()) << 32) ^ uint64_t(now.tv_nsec) ^ (uint64_t(now.tv_sec) << 20) ^
                    (++counter * 0x9E3779B97F4A7C15ull);
    bits ^= bits >> 29;
    bits *= 0xBF58476D1CE4E5B9ull;
    return bits ^ (bits >> 32);
}

// Temporaries are named ".korvo-tmp-PID-" and 8 letters, in the target's
// directory: one left behind can be told from an output and traced to its
// maker, and the name stays short enough for any directory that holds the
// target. `place` makes the file under a name; another name is tried while
// one exists.
template <typename Place>
int placeTemporary(const char* target, char* name, Place place) {
    const char* slash = std::strrchr(target, '/');
    const size_t directoryLength = slash != nullptr ? size_t(slash - target) + 1 : 0;
    char prefix[40];
    const int prefixLength = std::snprintf(prefix, sizeof prefix, "%s%ld-", kTemporaryPrefix, long(::getpid()));
    if (prefixLength <= 0 || size_t(prefixLength) >= sizeof prefix) return -1;
    const size_t nameLength = size_t(prefixLength) + kTemporaryLetters;
    if (directoryLength + nameLength + 1 > PATH_MAX) return -1;
    std::memcpy(name, target, directoryLength);
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t bits = nextNameBits();
        char* end = name + directoryLength;
        std::memcpy(end, prefix, size_t(prefixLength));
        for (size_t i = 0; i < kTemporaryLetters; ++i, bits /= 36) end[size_t(prefixLength) + i] = kLetters[bits % 36];
        end[nameLength] = 0;
        const int result = place(name);
        if (result >= 0 || errno != EEXIST) return result;
    }
    return -1;
}

// A fresh named temporary, created exclusively (a file or symlink planted
// under its name is never followed), locked for as long as it is open so
// that a later compile can tell that its maker is gone.
int createTemporary(const char* target, uint32_t mode, char* name) {
    const int descriptor = placeTemporary(target, name, [mode](const char* candidate) {
        return ::open(candidate, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    });
    if (descriptor >= 0) ::flock(descriptor, LOCK_EX | LOCK_NB);
    return descriptor;
}

// The directory a target lies in, as open(2) takes it.
std::string directoryOf(const char* target) {
    const char* slash = std::strrchr(target, '/');
    return slash == nullptr ? std::string(".") : std::string(target, size_t(slash - target) + 1);
}

// The /proc link through which an open file can be named.
void procLinkOf(int descriptor, char (&link)[32]) { std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor); }

// A file without a name in the target's directory: whatever ends the
// process, SIGKILL too, takes it along. -1 where the file system cannot make
// one, or where it could not be given a name later (see linkUnnamed).
int createUnnamed(const char* target, uint32_t mode) {
    const int descriptor = ::open(directoryOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (descriptor < 0) return -1;
    char link[32];
    procLinkOf(descriptor, link);
    if (::access(link, F_OK) != 0) {
        ::close(descriptor);
        return -1;
    }
    ::flock(descriptor, LOCK_EX | LOCK_NB);
    return descriptor;
}

// Gives the unnamed file a temporary name beside the target: directly where
// the process may, else through its /proc link (createUnnamed checked that
// there is one).
bool linkUnnamed(int descriptor, const char* target, char* name) {
    char link[32];
    procLinkOf(descriptor, link);
    return placeTemporary(target, name, [&](const char* candidate) {
               if (::linkat(descriptor, "", AT_FDCWD, candidate, AT_EMPTY_PATH) == 0) return 0;
               if (errno == EEXIST) return -1;
               return ::linkat(AT_FDCWD, link, AT_FDCWD, candidate, AT_SYMLINK_FOLLOW);
           }) == 0;
}

// The pid in a temporary's name; 0 for any other name.
long temporaryMaker(const char* name) {
    const size_t prefixLength = std::strlen(kTemporaryPrefix);
    if (std::strncmp(name, kTemporaryPrefix, prefixLength) != 0) return 0;
    char* end = nullptr;
    const long pid = std::strtol(name + prefixLength, &end, 10);
    if (end == name + prefixLength || *end != '-' || std::strlen(end + 1) != kTemporaryLetters) return 0;
    for (const char* letter = end + 1; *letter != 0; ++letter)
        if (std::strchr(kLetters, *letter) == nullptr) return 0;
    return pid > 0 ? pid : 0;
}

// Removes from the target's directory the temporaries of compiles that were
// killed outright (where no unnamed file could be had): their maker no
// longer exists and nothing holds their lock. Once per directory and process.
void sweepLeftTemporaries(const char* target) {
    const std::string directory = directoryOf(target);
    static std::set<std::string> swept;
    if (!swept.insert(directory).second) return;
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) return;
    const int folder = ::dirfd(listing);
    while (const struct dirent* entry = ::readdir(listing)) {
        const long maker = temporaryMaker(entry->d_name);
        if (maker == 0 || maker == long(::getpid())) continue;
        if (::kill(pid_t(maker), 0) == 0 || errno != ESRCH) continue;
        const int descriptor = ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) continue;
        struct stat info;
        if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(folder, entry->d_name, 0);
        ::close(descriptor);
    }
    ::closedir(listing);
}

}  // namespace

// Only async-signal-safe calls: unlink the fixed table, then end with the
// signal's own status by raising it again under its default action (it stays
// blocked until the handler returns, and is delivered then).
void endWithSignal(int signal) {
    removeTemporaries();
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

void removeTemporaries() {
    for (int i = 0; i < kTemporarySlots; ++i) {
        if (gTemporaryUsed[i]) ::unlink(gTemporaryNames[i]);
    }
}

bool outputBegin(const char* target, uint32_t mode, PendingOutput& out) {
    out = PendingOutput();
    if (target == nullptr || *target == 0) return false;
    struct stat info;
    const bool exists = ::stat(target, &info) == 0;
    // Only a regular file is ever replaced: a FIFO would block the compile
    // on its reader, and a device or directory is no output file.
    if (exists && !S_ISREG(info.st_mode)) return false;
    // An output never replaces a file this process reads.
    if (exists && fileWasRead(target)) return false;

    sweepLeftTemporaries(target);
    installHandlers();
    int descriptor = createUnnamed(target, mode);
    if (descriptor >= 0) {
        out.unnamed = true;
    } else {
        const int slot = freeSlot();
        if (slot < 0) return false;
        {
            SignalsHeld held;
            descriptor = createTemporary(target, mode, gTemporaryNames[slot]);
            if (descriptor >= 0) gTemporaryUsed[slot] = 1;
        }
        if (descriptor < 0) return false;
        out.temporary = slot;
    }
    // Replacing a file keeps its permissions, as truncating it would.
    if (exists) ::fchmod(descriptor, info.st_mode & 07777);
    out.file = fileAdopt(descriptor);
    return true;
}

bool outputCommit(PendingOutput& output, const char* target) {
    if (output.unnamed) {
        // Named beside the target only for as long as the rename below takes,
        // with every catchable signal held back; the table knows the name.
        output.unnamed = false;
        const int slot = freeSlot();
        if (slot < 0) {
            fileClose(output.file);
            output.file = nullptr;
            return false;
        }
        SignalsHeld held;
        const bool linked = linkUnnamed(fileDescriptor(output.file), target, gTemporaryNames[slot]);
        if (linked) gTemporaryUsed[slot] = 1;
        const bool closed = fileClose(output.file);
        output.file = nullptr;
        const bool placed = linked && closed && !fileWasRead(target) && ::rename(gTemporaryNames[slot], target) == 0;
        if (linked && !placed) ::unlink(gTemporaryNames[slot]);
        gTemporaryUsed[slot] = 0;
        return placed;
    }
    const bool closed = fileClose(output.file);
    output.file = nullptr;
    if (output.temporary < 0) return closed;
    const char* name = gTemporaryNames[output.temporary];
    const bool spared = !fileWasRead(target);
    SignalsHeld held;
    const bool placed = closed && spared && ::rename(name, target) == 0;
    if (!placed) ::unlink(name);
    gTemporaryUsed[output.temporary] = 0;
    output.temporary = -1;
    return placed;
}

void outputAbandon(PendingOutput& output) {
    if (output.file != nullptr) fileClose(output.file);
    output.file = nullptr;
    output.unnamed = false;
    if (output.temporary < 0) return;
    SignalsHeld held;
    ::unlink(gTemporaryNames[output.temporary]);
    gTemporaryUsed[output.temporary] = 0;
    output.temporary = -1;
}

bool sameExistingFile(const char* first, const char* second) {
    FileIdentity a;
    FileIdentity b;
    return fileIdentity(first, &a) && fileIdentity(second, &b) && a == b;
}

}  // namespace platform
