#include "platform/standard_output.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// The first failure of the one standard output of the process.
std::atomic<int> gFirstError{0};

ssize_t writeOut(void*, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(STDOUT_FILENO, data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            int none = 0;
            gFirstError.compare_exchange_strong(none, put < 0 ? errno : EIO);
            break;
        }
        done += static_cast<size_t>(put);
    }
    // Short of `size`, the C library marks the stream as failed.
    return static_cast<ssize_t>(done);
}

// A closed descriptor would go to the next file opened, and the messages
// into it: it is held by /dev/null opened for reading, where writes fail.
void holdIfClosed(int descriptor) {
    if (::fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF) return;
    const int held = ::open("/dev/null", O_RDONLY);
    if (held < 0 || held == descriptor) return;
    ::dup2(held, descriptor);
    ::close(held);
}

}  // namespace

void watchStandardOutput() {
    holdIfClosed(STDOUT_FILENO);
    holdIfClosed(STDERR_FILENO);
    cookie_io_functions_t functions = {};
    functions.write = writeOut;
    std::FILE* watched = ::fopencookie(nullptr, "w", functions);
    if (watched == nullptr) return;
    // As the C library buffers a terminal, by lines; anything else in blocks.
    ::setvbuf(watched, nullptr, ::isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, BUFSIZ);
    stdout = watched;
}

int standardOutputError() { return gFirstError.load(); }

}  // namespace platform
