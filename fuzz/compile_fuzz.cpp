// The whole compiler over arbitrary sources: parse, semantic pass and image
// writer must neither crash nor leave a label unbound (which aborts while
// the image is written), and two compilations of one source must give the
// same image bytes apart from its time stamp. The built-ins are registered
// once and lent to every compilation: the first compilation of an input
// follows the last one of another input, the second follows the first, so
// the comparison also sees whatever one compilation left to the next.
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "driver/builtin_lending.h"
#include "driver/command_line.h"
#include "driver/pipeline.h"
#include "foundation/qestring.h"
#include "foundation/stream.h"
#include "fuzz/max_len.h"
#include "fuzz/scratch_file.h"
#include "options/compile_options.h"
#include "platform/stack_thread.h"

namespace {

// The header's time stamp: bytes 36 to 43 of the image.
constexpr size_t kTimeStampOffset = 36;
constexpr size_t kTimeStampSize = 8;

// The image is compared where the compiler wrote it: copying it out cost
// two fresh images' worth of pages an input.
bool compileOnce(const char* file, qestl::qeByteStream& out) {
    CompileOptions options;
    const qestl::qestringW path = qestl::widen(file);
    // A module needs no entry point, so most sources reach the image writer.
    const char16_t* argv[] = {u"korvo", u"-c", path.c_str(), u"-slk", u"-o", u"fuzz.kb"};
    int next = 0;
    parseCommandLine(options, 6, argv, &next);
    return compileToStream(out, options) != 0;
}

// Whether two images of one length are the same apart from the time stamp.
bool sameImages(const uint8_t* first, const uint8_t* second, size_t length) {
    if (length < kTimeStampOffset + kTimeStampSize) return std::memcmp(first, second, length) == 0;
    const size_t after = kTimeStampOffset + kTimeStampSize;
    return std::memcmp(first, second, kTimeStampOffset) == 0 &&
           std::memcmp(first + after, second + after, length - after) == 0;
}

// Runs work on one thread made for the whole run, on a stack of the
// compiler's size, and waits for it: each compilation would otherwise start
// a thread of its own for its declaration pass, on a stack mapped afresh
// and unmapped again, and wait for it.
class StackWorker {
public:
    StackWorker() {
        std::thread([this] {
            auto serve = [this] { this->serve(); };
            platform::runOnLargeStack(platform::kCompileStackBytes, serve);
        }).detach();
    }
    template <typename Work>
    void run(Work& work) {
        std::unique_lock<std::mutex> lock(mutex_);
        work_ = [](void* data) { (*static_cast<Work*>(data))(); };
        data_ = &work;
        wake_.notify_one();
        done_.wait(lock, [this] { return work_ == nullptr; });
    }

private:
    void serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return work_ != nullptr; });
            lock.unlock();
            work_(data_);
            lock.lock();
            work_ = nullptr;
            done_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    void (*work_)(void*) = nullptr;
    void* data_ = nullptr;
};

}  // namespace

// Features seen fewer than 32 times count as rare, not fewer than 255: the
// fuzzer looks up each feature an input reaches in its list of rare ones,
// and a compiler reaches tens of thousands, so with the default the list
// held thousands and the look-ups took a fifth of the time early in a run.
// Ten minutes from the kept seeds reached no less coverage for the inputs
// run either way.
KORVO_FUZZ_FLAGS("-max_len=2048", "-entropic_feature_frequency_threshold=32")

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    lendBuiltinsBetweenCompilations();
    const ScratchFile scratch(data, size);
    const char* file = scratch.path();
    if (file == nullptr) return 0;
    // Kept from input to input: a fresh image buffer is mapped anew, and its
    // pages cleared, twice an input.
    static qestl::qeByteStream first, second;
    first.clearKeepingBuffer();
    second.clearKeepingBuffer();
    bool firstWritten = false, secondWritten = false;
    auto both = [&] {
        firstWritten = compileOnce(file, first);
        if (firstWritten) secondWritten = compileOnce(file, second);
    };
    static StackWorker& worker = *new StackWorker();
    worker.run(both);
    // A source that gives no image has nothing to compare.
    if (!firstWritten) return 0;
    if (!secondWritten || first.size() != second.size()) {
        std::fprintf(stderr, "second image %s, sizes %zu %zu\n", secondWritten ? "written" : "not written",
                     static_cast<size_t>(first.size()), static_cast<size_t>(second.size()));
        __builtin_trap();
    }
    const size_t length = first.size();
    if (!sameImages(first.data(), second.data(), length)) {
        size_t at = 0;
        while (first.data()[at] == second.data()[at] ||
               (at >= kTimeStampOffset && at < kTimeStampOffset + kTimeStampSize))
            ++at;
        std::fprintf(stderr, "images differ at byte %zu of %zu\n", at, length);
        __builtin_trap();
    }
    return 0;
}
