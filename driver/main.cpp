// Process entry: turns the UTF-8 argument bytes into UTF-16 without loss and
// runs the compiler on a large stack, since the later stages
// recurse as deep as the programs they compile are nested.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "driver/console.h"
#include "driver/entry.h"
#include "foundation/qestring.h"
#include "platform/stack_thread.h"
#include "platform/standard_output.h"

namespace {

constexpr int kHeapGrowthBytes = 32 << 20;

}  // namespace

int main(int argc, char** argv) {
    platform::watchStandardOutput();
    // The compilation allocates from one thread at a time: one arena, grown
    // in large steps. A thread's own arena would grow by one page-protection
    // call per 128 KiB, thousands of calls for a large program's tree.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_TOP_PAD, kHeapGrowthBytes);
    qestl::WStringVector arguments;
    qestl::qevector<const char16_t*> pointers;
    for (int i = 0; i < argc; ++i) arguments.pushBack(qestl::widen(argv[i]));
    for (const qestl::qestringW& argument : arguments) pointers.pushBack(argument.c_str());
    pointers.pushBack(nullptr);

    int status = 1;
    auto run = [&] { status = runCompiler(argc, pointers.data()); };
    platform::runOnLargeStack(platform::kCompileStackBytes, run);
    // The compilation's objects are left to the OS: exit without destructors.
    if (!finishStdout()) status = 1;
    _exit(status);
}
