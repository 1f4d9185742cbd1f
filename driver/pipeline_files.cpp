#include "driver/pipeline_files.h"

#include <cstring>

#include "driver/console.h"
#include "diagnostics/diagnostics.h"
#include "foundation/side_file.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "source/search_paths.h"

bool readVersionFile(CompileOptions& options) {
    return readJsonSideFile(options.versionFile, options.versionFile, options.versionDocument,
                            "警告: 无法读取版本描述文件 :", "警告: 无效的版本描述文件 :");
}

bool readExportDefinitionFile(CompileOptions& options) {
    return readJsonSideFile(options.kdefFile, options.kdefFile, options.kdefDocument,
                            "警告: 无法读取导出定义文件 :", "警告: 无效的链接描述文件 :");
}

void reportUnwritableOutput(const qestl::qestringW& path) {
    printfToStdout(diag::OutputUnwritable.text, qestl::narrow(path).c_str());
    printToStdout("\n");
}

namespace {

// Whether `output` is the same existing file as one of the inputs named on
// the command line (compared by identity, so links and ".." cannot hide it),
// or as any file read so far.
bool outputIsAnInput(const qestl::qestringW& output, const CompileOptions& options) {
    const qestl::qestringA target = qestl::narrow(output);
    if (platform::fileWasRead(target.c_str())) return true;
    auto among = [&target](const qestl::qestringW& input) {
        return !input.empty() && platform::sameExistingFile(target.c_str(), qestl::narrow(input).c_str());
    };
    for (const qestl::qestringW& input : options.sourceFiles) {
        if (among(input)) return true;
    }
    // Libraries as the loader finds them: the name as given, else on -libpath.
    for (const qestl::WStringVector* list : {&options.libraries, &options.linkLibraries}) {
        for (const qestl::qestringW& name : *list) {
            qestl::qestringW found;
            if (findInDirectories(options.libraryPaths, name, found) && among(found)) return true;
        }
    }
    for (const qestl::qestringW* input :
         {&options.versionFile, &options.kdefFile, &options.languageMappingFile, &options.iconOrListingFile}) {
        if (among(*input)) return true;
    }
    return false;
}

// The listing's "stdout" (or no -o) is the console, not a file.
bool namesAFile(const qestl::qestringW& output, bool listing) {
    if (output.empty()) return false;
    return !listing || std::strcmp(qestl::narrow(output).c_str(), "stdout") != 0;
}

}  // namespace

bool outputsSpareInputs(const CompileOptions& options, bool listing) {
    // With -gs the -o path is the folder of the generated files.
    const qestl::qestringW* outputs[] = {options.nativeSources ? nullptr : &options.outputPath,
                                         &options.stringListFile};
    for (const qestl::qestringW* output : outputs) {
        if (output == nullptr || !namesAFile(*output, listing)) continue;
        // Only a regular file is replaced: a FIFO would block the compile on
        // its reader, and a device or folder is no output file.
        if (platform::pathIsNonRegular(qestl::narrow(*output).c_str()) || outputIsAnInput(*output, options)) {
            reportUnwritableOutput(*output);
            return false;
        }
    }
    return true;
}
