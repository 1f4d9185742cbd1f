// Several compiler invocations in one process, the built-ins registered once
// and lent to each: what each prints must be what a process of its own
// prints.
#include <cstdio>
#include <cstring>
#include <vector>

#include "codegen/compile_context.h"
#include "driver/builtin_lending.h"
#include "driver/entry.h"
#include "foundation/qestring.h"
#include "model/builtin_types.h"
#include "model/ir_object.h"
#include "probe.h"

namespace {

// The invocations are separated by "---"; each one's output ends with a line
// "=== exit N".
int compileAgain(int argc, char** argv) {
    lendBuiltinsBetweenCompilations();
    for (int start = 0; start < argc;) {
        int end = start;
        while (end < argc && std::strcmp(argv[end], "---") != 0) ++end;
        qestl::WStringVector arguments;
        arguments.pushBack(qestl::widen("korvo"));
        for (int i = start; i < end; ++i) arguments.pushBack(qestl::widen(argv[i]));
        std::vector<const char16_t*> pointers;
        for (const qestl::qestringW& argument : arguments) pointers.push_back(argument.c_str());
        pointers.push_back(nullptr);
        const int status = runCompiler(static_cast<int>(arguments.size()), pointers.data());
        std::fflush(stdout);
        std::printf("=== exit %d\n", status);
        std::fflush(stdout);
        start = end + 1;
    }
    return 0;
}

KORVO_PROBE("compile-again", "KORVO_ARGS... [--- KORVO_ARGS...]", compileAgain);

// A lent built-in written without noting it: only written objects are given
// back, so the comparison of every lent object at the end of the lease must
// find it (an internal fault) rather than lend it changed.
int writeUnnoted(int, char**) {
    lendBuiltinsBetweenCompilations();
    {
        BuiltinsLease builtins;
        CompileContext context;
        builtins.enter(context);
        model::asObject(context.builtins().stringType)->lookupStamp += 1;
    }
    std::printf("the write went unseen\n");
    return 0;
}

KORVO_PROBE("write-unnoted", "", writeUnnoted);

}  // namespace
