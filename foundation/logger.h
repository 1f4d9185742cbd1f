// The compiler's one logger. Every diagnostic, warning and note goes through
// logcat(flags, format, ...): the flags are ANDed with a global mask, the text
// is formatted once (by the C runtime) and handed to each registered sink.
//
// Flags words of the callers: 0x10010 errors and compiler messages, 0x10008
// warnings, 0x10001 informational listings. A message passes the mask only
// when the masked flags keep a bit in both their upper and their lower half.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/locks.h"

namespace qestl {

// A sink. The text handed to write is not terminated; length counts its bytes.
// Sinks must tolerate concurrent write calls.
class qelogcat_stream {
public:
    virtual int write(uint32_t flags, const char* text, uint32_t length) = 0;

protected:
    ~qelogcat_stream() = default;
};

}  // namespace qestl

// Reader/writer spin lock: many logcat calls may run the sinks at once, while
// adding a sink waits until none is inside. The guard word protects the
// reader count, which is all ones while a writer holds the lock.
struct LogcatLock {
    std::atomic<uint32_t> readers{0};
    platform::SpinLock guard;

    void enterShared();
    void leaveShared();
    void enterExclusive();
    void leaveExclusive();
};

inline constexpr size_t kLogcatSinkSlots = 8;

struct Logcat {
    LogcatLock* lock;
    uint32_t mask;
    uint64_t sinkCount;
    qestl::qelogcat_stream* sinks[kLogcatSinkSlots];
};

// The global logger record.
Logcat& theLogcat();

// Start-up state: no sinks, mask all ones, lock idle. The program entry calls
// it once before anything logs.
void logcatSetUp();

// Registers a sink in the first free slot; a sink already present or a full
// table leaves everything as it was.
void logcatAddSink(qestl::qelogcat_stream* sink);

void logcat(uint32_t flags, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A text already finished (no zero byte in it), delivered as logcat(flags,
// "%s", text) would: a program of a million warnings paid the formatting of
// each once more for nothing.
void logcatText(uint32_t flags, std::string_view text);

// The console sink: standard output, every continuation line indented by one
// space, every message ending with one newline of its own.
class qeCompilerLogcat final : public qestl::qelogcat_stream {
public:
    int write(uint32_t flags, const char* text, uint32_t length) override;
};

// The console layout on any stream; qeCompilerLogcat::write uses stdout.
void writeLogcatLines(std::FILE* stream, const char* text, uint32_t length);
