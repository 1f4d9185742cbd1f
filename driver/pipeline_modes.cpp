// The three compile modes: the pipeline, then the output file or executable.
#include <cstdio>

#include "driver/console.h"
#include "driver/pipeline.h"
#include "driver/pipeline_files.h"
#include "executable/executable_builder.h"
#include "platform/system.h"

namespace {

// The output is announced only once it is on disk whole.
bool writeOutputFile(const qestl::qestringW& path, qestl::qeByteStream& bytes) {
    qestl::qestringA shown = qestl::narrow(path);
    if (!writeFileWhole(path, bytes.data(), bytes.size())) {
        printfToStdout("can't open outputFile %s\n", shown.c_str());
        return false;
    }
    printfToStdout("已生成:%s\n", shown.c_str());
    std::fflush(stdout);
    return true;
}

}  // namespace

bool compileAndWrite(CompileOptions& options) {
    if (!options.versionFile.empty() && !readVersionFile(options)) return false;
    qestl::qeByteStream stream;
    if (compileToStream(stream, options) != 1) return false;
    if (options.nativeSources) return true;  // the writer made its own files
    return writeOutputFile(options.outputPath, stream);
}

bool buildStaticLibraryAndWrite(CompileOptions& options) {
    qestl::qeByteStream stream;
    if (buildStaticLibrary(options, stream) != 1) return false;
    return writeOutputFile(options.outputPath, stream);
}

bool compileExecutable(CompileOptions& options) {
    if (!options.versionFile.empty() && !readVersionFile(options)) return false;
    qestl::qeByteStream stream;
    if (compileToStream(stream, options) != 1) return false;
    if (stream.size() > UINT32_MAX) return false;
    qestl::qestringA compilerPath(platform::modulePath().c_str());
    return buildExecutable(compilerPath, stream.data(), static_cast<uint32_t>(stream.size()), options.outputPath,
                           options, options.targetOs != kTargetOther);
}
