#include "platform/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <limits.h>
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

// Only async-signal-safe calls: unlink the fixed table, then end with the
// signal's own status by raising it again under its default action (it stays
// blocked until the handler returns, and is delivered then).
extern "C" void removeTemporariesAndDie(int signal) {
    removeTemporaries();
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

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

// Creates the temporary in the target's directory under a name that says
// what it is and which process made it (".korvo-tmp-PID-" and 8 letters), so
// that one left by a process killed outright can be told from an output and
// traced to its maker; it stays short enough for any directory that can hold
// the target.
int createTemporary(const char* target, uint32_t mode, char* name) {
    const char* slash = std::strrchr(target, '/');
    const size_t directoryLength = slash != nullptr ? size_t(slash - target) + 1 : 0;
    char prefix[40];
    const int prefixLength = std::snprintf(prefix, sizeof prefix, ".korvo-tmp-%ld-", long(::getpid()));
    if (prefixLength <= 0 || size_t(prefixLength) >= sizeof prefix) return -1;
    const size_t nameLength = size_t(prefixLength) + 8;
    if (directoryLength + nameLength + 1 > PATH_MAX) return -1;
    std::memcpy(name, target, directoryLength);
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t bits = nextNameBits();
        char* end = name + directoryLength;
        std::memcpy(end, prefix, size_t(prefixLength));
        for (int i = 0; i < 8; ++i, bits /= 36) end[prefixLength + i] = kLetters[bits % 36];
        end[nameLength] = 0;
        int descriptor = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (descriptor >= 0 || errno != EEXIST) return descriptor;
    }
    return -1;
}

}  // namespace

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

    const int slot = freeSlot();
    if (slot < 0) return false;
    installHandlers();
    int descriptor;
    {
        SignalsHeld held;
        descriptor = createTemporary(target, mode, gTemporaryNames[slot]);
        if (descriptor >= 0) gTemporaryUsed[slot] = 1;
    }
    if (descriptor < 0) return false;
    // Replacing a file keeps its permissions, as truncating it would.
    if (exists) ::fchmod(descriptor, info.st_mode & 07777);
    out.file = fileAdopt(descriptor);
    out.temporary = slot;
    return true;
}

bool outputCommit(PendingOutput& output, const char* target) {
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
