#include "driver/entry.h"

#include <cstdlib>
#include <string>

#include "build_config.h"
#include "diagnostics/diagnostics.h"
#include "driver/command_line.h"
#include "driver/console.h"
#include "driver/pipeline.h"
#include "driver/pipeline_files.h"
#include "driver/usage.h"
#include "foundation/logger.h"
#include "foundation/memory.h"
#include "image/listing.h"
#include "platform/system.h"
#include "source/search_paths.h"
#include "source/source_text.h"

namespace {

constexpr const char* kHostProcessor = "x86_64";
constexpr const char* kCompilerVersion = "4.9";

bool refuseMissingPath(const qestl::qestringA& path) {
    printfToStdout("找不到路径: %s\n", path.c_str() != nullptr ? path.c_str() : "");
    return false;
}

// A -ksp web root must be an existing folder: the pages' servlet paths are
// made relative to it. "." normalises to nothing, the current folder.
bool checkWebRoot(const CompileOptions& options) {
    if (!options.serverPages || !options.webRootGiven || options.webRoot.empty()) return true;
    return platform::directoryExists(options.webRoot.c_str()) || refuseMissingPath(options.webRoot);
}

// SOURCE_DATE_EPOCH set but no time: a build that asked for fixed time
// stamps must not get the clock's.
bool checkBuildTime() {
    uint64_t seconds = 0;
    if (platform::fixedBuildTime(&seconds) != platform::BuildTime::Malformed) return true;
    printfToStdout(diag::BuildTimeMalformed.text, std::getenv("SOURCE_DATE_EPOCH"),
                   std::to_string(platform::kLatestBuildTime).c_str());
    return false;
}

}  // namespace

void addDefaultSearchPaths() {
    addSearchPath(directoryOf(qestl::widen(platform::modulePath().c_str())));
    addSearchPath(qestl::widen(platform::currentDirectory().c_str()));
}

bool checkIncludePaths(const CompileOptions& options) {
    // An entry may name a subdirectory of another entry (or of itself).
    for (const qestl::qestringW& entry : options.includePaths) {
        qestl::qestringW found;
        if (!findInDirectories(options.includePaths, entry, found)) return refuseMissingPath(qestl::narrow(entry));
        addSearchPath(found);
    }
    return true;
}

void printBanner() {
    printfToStdout("Compiler for korvo, %s(%s), Version:%s.", platform::osName(), kHostProcessor, kCompilerVersion);
    printToStdout(" official homepage: ");
    printToStdout(KORVO_HOMEPAGE);
    printToStdout(" .\n\n");
}

int runCompiler(int argc, const char16_t* const* argv) {
    qestl::setOutOfMemoryLine(diag::OutOfMemory.text);
    qestl::endOnFailedNew();
    logcatSetUp();
    addDefaultSearchPaths();
    static qeCompilerLogcat console;
    logcatAddSink(&console);
    CompileOptions options;
    printBanner();

    int nextIndex = 0;
    uint32_t mode = parseCommandLine(options, argc, argv, &nextIndex);
    if (!checkIncludePaths(options) || !checkWebRoot(options)) return 1;
    const bool compiles = (mode & 15) == kModeCompile || (mode & 15) == kModeExecutable;
    if (compiles && !checkBuildTime()) return 1;
    if (compiles) platform::mapProgramPages();
    if (options.debuggable && options.noDebugInfo) {
        printToStdout("注意:-dbg 与 -nd  选项冲突, 不生成调试信息将无法调试, -nd选项将被忽略\n");
        options.noDebugInfo = 0;
    }

    bool completed = false;
    switch (mode & 15) {
        case kModeCompile:
            completed = (mode & kModeStaticLibrary) ? buildStaticLibraryAndWrite(options) : compileAndWrite(options);
            break;
        case kModeExecutable:
            completed = compileExecutable(options);
            break;
        case kModeListing:
            completed = outputsSpareInputs(options, true) &&
                        listCompiledFile(options.iconOrListingFile, options.outputPath);
            break;
        default:
            printUsage();
            // Without arguments the usage text is what was asked for.
            completed = argc <= 1;
            break;
    }
    return completed ? 0 : 1;
}
