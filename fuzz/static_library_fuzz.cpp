// The static-library reader over arbitrary bytes: it must answer 0 or 1 and
// never read outside the block, loop, or leave a cycle behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image/static_library.h"

namespace {

struct CountingPaths final : SourcePathTable {
    uint32_t registerPath(const qestl::qestringW&) override { return count++; }
    uint32_t count = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    qestl::qeByteStream stream(data, size);
    CountingPaths paths;
    _KNode<qeAbstractNode> root;
    int loaded = loadStaticLibrary(root, 0, paths, stream, qestl::widen("fuzz.lik"));
    if (loaded != 0 && (loaded != 1 || !root)) __builtin_trap();
    return 0;
}
