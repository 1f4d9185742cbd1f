// The link-library loader over arbitrary bytes, in a context with the
// built-ins registered: it answers 0 or 1, never reads outside the file, and
// a refused library leaves nothing it made alive.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "driver/builtin_catalogue.h"
#include "image/link_library.h"
#include "model/builtin_types.h"

namespace {

// Registering the built-ins costs about as much as a hundred loads, so a
// context serves many inputs; but what a loaded library made stays in it, so
// it is let go and made again now and then, before it grows without end.
constexpr uint32_t kLoadsPerContext = 256;

CompileContext& freshContext() {
    static CompileContext* context = nullptr;
    static uint32_t loads = 0;
    if (context != nullptr && ++loads % kLoadsPerContext == 0) {
        context->reset();
        delete context;
        model::builtinTypes().clear();
        builtins::builtinNames().clear();
        context = nullptr;
    }
    if (context == nullptr) {
        context = new CompileContext();
        registerBuiltinClasses(*context, builtinCatalogue());
    }
    return *context;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    qestl::qeByteStream stream(data, size);
    const int loaded = loadLinkLibrary(0, freshContext(), qestl::widen("fuzz/lib.kl"), stream);
    if (loaded != 0 && loaded != 1) __builtin_trap();
    return 0;
}
