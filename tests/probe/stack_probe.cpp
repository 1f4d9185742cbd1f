// One compiler invocation on a stack of a given size: the depth bounds of
// a compilation follow the stack it was given, and a program nested past
// them ends in their messages, never in an overflow.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "driver/entry.h"
#include "foundation/qestring.h"
#include "platform/stack_thread.h"
#include "probe.h"

namespace {

int compileOnStack(int argc, char** argv) {
    if (argc < 1) return 2;
    const size_t bytes = std::strtoull(argv[0], nullptr, 10);
    qestl::WStringVector arguments;
    arguments.pushBack(qestl::widen("korvo"));
    for (int i = 1; i < argc; ++i) arguments.pushBack(qestl::widen(argv[i]));
    std::vector<const char16_t*> pointers;
    for (const qestl::qestringW& argument : arguments) pointers.push_back(argument.c_str());
    pointers.push_back(nullptr);
    int status = 1;
    // The compiler asks for its own large stack again: on one made here it
    // stays where it is.
    auto run = [&] { status = runCompiler(static_cast<int>(arguments.size()), pointers.data()); };
    platform::runOnLargeStack(bytes, run);
    std::fflush(stdout);
    return status;
}

KORVO_PROBE("stack", "BYTES KORVO_ARGS...", compileOnStack);

}  // namespace
