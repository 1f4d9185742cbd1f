// korvo-probe linklib and package: a fresh context with the built-ins loads
// one library as -link or one package as -lib would, and tells what it made.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "driver/builtin_catalogue.h"
#include "foundation/file_stream.h"
#include "image/library_loader.h"
#include "image/link_library.h"
#include "model/ir_object.h"
#include "options/compile_options.h"
#include "probe.h"

namespace probe {
namespace {

int linkLibraryCommand(int argc, char** argv) {
    if (argc < 1) return 2;
    uint32_t number = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-n") == 0) number = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    startConsole();
    CompileContext context;
    registerBuiltinClasses(context, builtinCatalogue());
    const qestl::qestringW path = qestl::widen(argv[0]);
    std::string bytes;
    if (!readInput(argv[0], bytes)) {
        std::printf("cannot read %s\n", argv[0]);
        return 2;
    }
    qestl::qeByteStream stream(bytes.data(), bytes.size());
    LinkLibraryTrace trace;
    const int loaded = loadLinkLibrary(number, context, path, stream, &trace);
    for (const auto& [identity, object] : trace.objects) {
        const model::IRObject* o = model::asObject(object);
        std::printf("%u %" PRIu64 " %s\n", o->kind, identity, o->linkName().empty() ? "-" : o->linkName().c_str());
        // What the model keeps of the load; silent when it is what was read.
        if (o->identity() != identity) std::printf("identity kept %" PRIu64 "\n", o->identity());
        if (o->rare().libraryNumber != number) std::printf("library number %u\n", o->rare().libraryNumber);
    }
    if (!trace.module.empty()) std::printf("module %s\n", trace.module.c_str());
    std::printf("loaded %d\n", loaded);
    return loaded == 1 ? 0 : 1;
}

int packageCommand(int argc, char** argv) {
    if (argc < 1) return 2;
    CompileOptions options;
    options.processorName = qestl::qestringA("x86_64");
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "-kcross-", 8) == 0) options.targetOsName = qestl::widen(argv[i] + 8);
        else if (std::strncmp(argv[i], "-arch:", 6) == 0) options.processorName = qestl::qestringA(argv[i] + 6);
    }
    startConsole();
    CompileContext context;
    registerBuiltinClasses(context, builtinCatalogue());
    const bool result = loadPackage(context, 0, qestl::widen(argv[0]), options,
                                    [](uint32_t mode, const qestl::qestringA& name, int loaded) {
                                        std::printf("\nentry %u %s %d\n", mode, name.c_str(), loaded);
                                    });
    std::printf("\nresult %d\n", result ? 1 : 0);
    return result ? 0 : 1;
}

KORVO_PROBE("linklib", "linklib FILE [-n NUMBER]", linkLibraryCommand);
KORVO_PROBE("package", "package FILE [-kcross-NAME] [-arch:NAME]", packageCommand);

}  // namespace
}  // namespace probe
