// The link-library loader over arbitrary bytes, in a context with the
// built-ins registered: it answers 0 or 1, never reads outside the file, and
// a refused library leaves nothing it made alive.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "codegen/compile_context.h"
#include "driver/builtin_lending.h"
#include "image/link_library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    // The built-ins are registered once and lent to the context of each
    // input, so no load sees what an earlier one made.
    lendBuiltinsBetweenCompilations();
    BuiltinsLease builtins;
    CompileContext context;
    builtins.enter(context);
    qestl::qeByteStream stream(data, size);
    const int loaded = loadLinkLibrary(0, context, qestl::widen("fuzz/lib.kl"), stream);
    if (loaded != 0 && loaded != 1) __builtin_trap();
    return 0;
}
