#include "image/library_loader.h"

#include <cstdio>

#include "codegen/compile_context.h"
#include "driver/compile_options.h"
#include "foundation/file_stream.h"
#include "foundation/path.h"
#include "image/library_loader_pending.h"
#include "image/static_library.h"
#include "source/search_paths.h"

namespace {

// Paths read from a library join the compilation's source table.
class ProjectPaths final : public SourcePathTable {
public:
    explicit ProjectPaths(SourceProject& project) : project_(project) {}
    uint32_t registerPath(const qestl::qestringW& path) override { return project_.addSourceFile(path, nullptr); }

private:
    SourceProject& project_;
};

// The name as given, else the first -libpath directory that holds it.
bool findLibrary(const qestl::qestringW& name, const CompileOptions& options, qestl::qestringW& found) {
    if (findInDirectories(options.libraryPaths, name, found)) return true;
    std::printf("找不到文件: %s\n", qestl::narrow(name).c_str());
    return false;
}

}  // namespace

bool loadLinkLibraries(CompileContext& context, const CompileOptions& options) {
    bool ok = true;
    for (size_t i = 0; i < options.linkLibraries.size(); ++i) {
        qestl::qestringW path;
        if (!findLibrary(options.linkLibraries[i], options, path)) {
            ok = false;
            continue;
        }
        ok = loadLinkLibraryFile(context, static_cast<uint32_t>(i), path) && ok;
    }
    return ok;
}

bool loadLibraries(CompileContext& context, const CompileOptions& options) {
    bool ok = true;
    for (size_t i = 0; i < options.libraries.size(); ++i) {
        qestl::qestringW path;
        if (!findLibrary(options.libraries[i], options, path)) {
            ok = false;
            continue;
        }
        if (qestl::hasExtension(path, u".kp")) {
            ok = loadPackageFile(context, static_cast<uint32_t>(i), path) && ok;
            continue;
        }
        ReadOnlyFileStream file(path);
        if (!file.open()) {
            std::printf("不能打开文件: %s\n", qestl::narrow(path).c_str());
            ok = false;
            continue;
        }
        ProjectPaths sources(context.project);
        ok = loadStaticLibrary(context.project.root, static_cast<uint32_t>(i), sources, file, path) == 1 && ok;
    }
    return ok;
}
