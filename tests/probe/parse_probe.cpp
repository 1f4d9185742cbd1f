// korvo-probe parse [--dir ROOT] [--depth N] FILE...: parses the files as one
// project and prints every message the compiler would print, then the result.
// korvo-probe ksp --dir ROOT [--main] PAGE...: the servlet class text of each
// page (and with --main the web-server main class).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/logger.h"
#include "foundation/path.h"
#include "options/compile_options.h"
#include "probe.h"
#include "source/source_processor.h"
#include "source/source_project.h"

namespace {

void startLogger() {
    static qeCompilerLogcat console;
    logcatSetUp();
    logcatAddSink(&console);
}

qestl::qestringW pathArgument(const char* text) {
    qestl::qestringW path = qestl::widen(text);
    qestl::normaliseWidePath(path);
    return path;
}

struct ProbeArguments {
    const char* root = nullptr;
    uint32_t depth = 0;
    bool mainClass = false;
    qestl::WStringVector files;
};

bool readArguments(int argc, char** argv, ProbeArguments& out) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            out.root = argv[++i];
        } else if (std::strcmp(argv[i], "--depth") == 0 && i + 1 < argc) {
            out.depth = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--main") == 0) {
            out.mainClass = true;
        } else {
            out.files.pushBack(pathArgument(argv[i]));
        }
    }
    return !out.files.empty();
}

int parseCommand(int argc, char** argv) {
    ProbeArguments arguments;
    if (!readArguments(argc, argv, arguments)) return 2;
    startLogger();
    CompileOptions options;
    options.sourceFiles = arguments.files;
    if (arguments.root != nullptr) {
        options.serverPages = 1;
        options.webRoot = qestl::narrow(pathArgument(arguments.root));
    }
    SourceProject project;
    qeSourceProcessor processor(arguments.depth);
    int result = processor.parseProject(project, options);
    std::fflush(stdout);
    std::printf("result: %d\n", result);
    return 0;
}

int kspCommand(int argc, char** argv) {
    ProbeArguments arguments;
    if (!readArguments(argc, argv, arguments) || arguments.root == nullptr) return 2;
    startLogger();
    SourceProject project;
    qeSourceProcessor processor;
    processor.setWebRoot(qestl::narrow(pathArgument(arguments.root)));
    for (const qestl::qestringW& page : arguments.files) {
        _KNode<qeAbstractNode> unit;
        MappedText text;
        qestl::qestringA source;
        qestl::qestringA bytes;
        FILE* file = std::fopen(qestl::narrow(page).c_str(), "rb");
        if (file != nullptr) {
            char buffer[4096];
            size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
            std::fclose(file);
        }
        text.assign(bytes.c_str(), bytes.length());
        if (!processor.translateServerPage(project, page, source, text)) {
            std::fflush(stdout);
            std::printf("translation failed\n");
            continue;
        }
        std::fflush(stdout);
        std::printf("%s\n", source.c_str());
    }
    if (arguments.mainClass) std::printf("%s\n", processor.webServerSource().c_str());
    return 0;
}

}  // namespace

KORVO_PROBE("parse", "[--dir ROOT] [--depth N] FILE...", parseCommand);
KORVO_PROBE("ksp", "--dir ROOT [--main] PAGE...", kspCommand);
