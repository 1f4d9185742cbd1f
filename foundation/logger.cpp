// The global logger: mask filter, one formatting pass, fan-out to the sinks.
#include "foundation/logger.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kWriterHolds = 0xFFFFFFFFu;
constexpr size_t kStackBufferSize = 4096;

LogcatLock logcatLock;
Logcat logcatRecord = {&logcatLock, 0xFFFFFFFFu, 0, {}};

// Filtering happens before any formatting: a message needs a bit in both
// halves of the masked flags, and somebody to read it.
bool passes(const Logcat& log, uint32_t flags) {
    uint32_t masked = flags & log.mask;
    return (masked >> 16) != 0 && (masked & 0xFFFFu) != 0 && log.sinkCount != 0;
}

// Hands a finished text to every sink.
void deliver(Logcat& log, uint32_t flags, const char* text, size_t length) {
    if (!passes(log, flags)) return;
    log.lock->enterShared();
    for (auto* sink : log.sinks)
        if (sink != nullptr) sink->write(flags, text, static_cast<uint32_t>(length));
    log.lock->leaveShared();
}

}  // namespace

void LogcatLock::enterShared() {
    guard.acquire();
    while (readers.load(std::memory_order_acquire) == kWriterHolds) {
    }
    readers.fetch_add(1, std::memory_order_acq_rel);
    guard.release();
}

void LogcatLock::leaveShared() { readers.fetch_sub(1, std::memory_order_acq_rel); }

void LogcatLock::enterExclusive() {
    for (;;) {
        guard.acquire();
        uint32_t count = readers.load(std::memory_order_acquire);
        if (count == 0) readers.store(kWriterHolds, std::memory_order_release);
        guard.release();
        if (count == 0) return;
    }
}

void LogcatLock::leaveExclusive() { readers.store(0, std::memory_order_release); }

Logcat& theLogcat() { return logcatRecord; }

void logcatSetUp() {
    Logcat& log = theLogcat();
    log.sinkCount = 0;
    log.mask = 0xFFFFFFFFu;
    log.lock->readers.store(0);
    log.lock->guard.release();
    for (auto& slot : log.sinks) slot = nullptr;
}

void logcatAddSink(qestl::qelogcat_stream* sink) {
    Logcat& log = theLogcat();
    log.lock->enterExclusive();
    bool present = false;
    qestl::qelogcat_stream** free = nullptr;
    for (auto& slot : log.sinks) {
        present = present || slot == sink;
        if (slot == nullptr && free == nullptr) free = &slot;
    }
    if (!present && free != nullptr) {
        *free = sink;
        ++log.sinkCount;
    }
    log.lock->leaveExclusive();
}

void logcatText(uint32_t flags, std::string_view text) { deliver(theLogcat(), flags, text.data(), text.size()); }

void logcat(uint32_t flags, const char* format, ...) {
    Logcat& log = theLogcat();
    if (!passes(log, flags)) return;

    char stackBuffer[kStackBufferSize];
    char* text = stackBuffer;
    char* heapBuffer = nullptr;
    va_list args;
    va_start(args, format);
    va_list attempt;
    va_copy(attempt, args);
    int needed = std::vsnprintf(stackBuffer, sizeof stackBuffer, format, attempt);
    va_end(attempt);
    if (needed < 0) {
        va_end(args);
        return;  // an encoding error: nothing sensible to deliver
    }
    auto length = static_cast<size_t>(needed);
    if (length >= sizeof stackBuffer) {
        // glibc tells the size it needs, so the doubling settles in one step.
        size_t size = sizeof stackBuffer * 2;
        while (size <= length) size *= 2;
        heapBuffer = static_cast<char*>(std::calloc(size, 1));
        if (heapBuffer == nullptr) {
            va_end(args);
            return;
        }
        va_copy(attempt, args);
        std::vsnprintf(heapBuffer, size, format, attempt);
        va_end(attempt);
        text = heapBuffer;
    }
    va_end(args);

    deliver(log, flags, text, length);
    std::free(heapBuffer);
}
