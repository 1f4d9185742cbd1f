// The three compile modes: the pipeline, then the output file or executable.
#include <cstdio>

#include "driver/console.h"
#include "driver/pipeline.h"
#include "driver/pipeline_files.h"
#include "executable/executable_builder.h"
#include "foundation/whole_file.h"
#include "platform/output_file.h"
#include "platform/system.h"

namespace {

// The output is announced only once it is on disk whole.
bool announceOutput(const qestl::qestringW& path, bool written) {
    if (!written) {
        reportUnwritableOutput(path);
        return false;
    }
    printfToStdout("已生成:%s\n", qestl::narrow(path).c_str());
    std::fflush(stdout);
    return true;
}

}  // namespace

bool compileAndWrite(CompileOptions& options) {
    if (!outputsSpareInputs(options)) return false;
    if (!options.versionFile.empty() && !readVersionFile(options)) return false;
    // The output is written as it is made, into a file that takes the
    // target's place once whole; a failed compilation leaves no trace.
    WholeFileWriter file(options.outputPath);
    if (compileToStream(file, options) != 1) return false;
    if (options.nativeSources) return true;  // the writer made its own files
    return announceOutput(options.outputPath, file.commit());
}

bool buildStaticLibraryAndWrite(CompileOptions& options) {
    if (!outputsSpareInputs(options)) return false;
    // The library streams into the output as it is written; the file opens on
    // the first byte, so a failed parse leaves no trace.
    WholeFileWriter file(options.outputPath);
    if (buildStaticLibrary(options, file) != 1) return false;
    return announceOutput(options.outputPath, file.commit());
}

bool compileExecutable(CompileOptions& options) {
    if (!outputsSpareInputs(options)) return false;
    if (!options.versionFile.empty() && !readVersionFile(options)) return false;
    qestl::qestringA compilerPath(platform::modulePath().c_str());
    const bool knownTarget = options.targetOs != kTargetOther;
    // The image streams into the executable as -c streams it into its file.
    StreamedExecutable streamed(options.outputPath, options);
    if (streamed.begin(compilerPath, knownTarget))
        return compileToStream(streamed, options) == 1 && streamed.complete();
    qestl::qeByteStream stream;
    if (compileToStream(stream, options) != 1) return false;
    return buildExecutable(compilerPath, stream.data(), stream.size(), options.outputPath, options, knownTarget);
}
