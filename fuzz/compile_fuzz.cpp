// The whole compiler over arbitrary sources: parse, semantic pass and image
// writer must neither crash nor leave a label unbound (which aborts while
// the image is written), and two compilations of one source must give the
// same image bytes apart from its time stamp. The built-ins are registered
// once and lent to every compilation: the first compilation of an input
// follows the last one of another input, the second follows the first, so
// the comparison also sees whatever one compilation left to the next.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "driver/builtin_lending.h"
#include "driver/command_line.h"
#include "driver/pipeline.h"
#include "foundation/qestring.h"
#include "foundation/stream.h"
#include "fuzz/max_len.h"
#include "fuzz/scratch_file.h"
#include "options/compile_options.h"

namespace {

// The header's time stamp: bytes 36 to 43 of the image.
constexpr size_t kTimeStampOffset = 36;
constexpr size_t kTimeStampSize = 8;

std::vector<uint8_t> compileOnce(const char* file, bool& written) {
    CompileOptions options;
    const qestl::qestringW path = qestl::widen(file);
    // A module needs no entry point, so most sources reach the image writer.
    const char16_t* argv[] = {u"korvo", u"-c", path.c_str(), u"-slk", u"-o", u"fuzz.kb"};
    int next = 0;
    parseCommandLine(options, 6, argv, &next);
    qestl::qeByteStream out;
    written = compileToStream(out, options) != 0;
    return std::vector<uint8_t>(out.data(), out.data() + out.size());
}

}  // namespace

KORVO_FUZZ_MAX_LEN(2048)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    lendBuiltinsBetweenCompilations();
    const ScratchFile scratch(data, size);
    const char* file = scratch.path();
    if (file == nullptr) return 0;
    bool firstWritten = false, secondWritten = false;
    std::vector<uint8_t> first = compileOnce(file, firstWritten);
    // A source that gives no image has nothing to compare.
    if (!firstWritten) return 0;
    std::vector<uint8_t> second = compileOnce(file, secondWritten);
    if (firstWritten != secondWritten || first.size() != second.size()) {
        std::fprintf(stderr, "%d %d %zu %zu\n", firstWritten, secondWritten, first.size(), second.size());
        __builtin_trap();
    }
    if (first.size() >= kTimeStampOffset + kTimeStampSize) {
        std::memset(first.data() + kTimeStampOffset, 0, kTimeStampSize);
        std::memset(second.data() + kTimeStampOffset, 0, kTimeStampSize);
    }
    if (first != second) {
        size_t at = 0;
        while (at < first.size() && first[at] == second[at]) ++at;
        std::fprintf(stderr, "images differ at byte %zu of %zu\n", at, first.size());
        __builtin_trap();
    }
    return 0;
}
