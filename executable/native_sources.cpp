#include "executable/native_sources.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codegen/compile_context.h"
#include "executable/executable_builder.h"
#include "diagnostics/diagnostics.h"
#include "foundation/path.h"
#include "foundation/whole_file.h"
#include "model/native_import.h"
#include "platform/file.h"

namespace {

constexpr std::string_view kHeader = "#include <stdint.h>\n#include <knl.h>\n\n\n";

}  // namespace

qestl::qestringA nativeSourceFileName(const NativeSourceUnit& unit, size_t index) {
    const std::string_view file = unit.moduleFile;
    if (file.empty()) {
        char name[24];
        std::snprintf(name, sizeof name, "%016" PRIX64 ".cpp", static_cast<uint64_t>(index));
        return qestl::qestringA(name);
    }
    const size_t slash = file.find_last_of("/\\");
    std::string_view base = slash == std::string_view::npos ? file : file.substr(slash + 1);
    const size_t dot = file.find_last_of('.');
    // A dot before the last separator belongs to a folder, not the file.
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
        base = base.substr(0, base.size() - (file.size() - dot));
    }
    qestl::qestringA name(base.data(), base.size());
    name.append(".cpp");
    return name;
}

bool writeNativeSourceUnits(const NativeSourceUnit* units, size_t count, const qestl::qestringA& directory) {
    // Every name is settled before any file is written: two modules mapping
    // to one file, or a file the compilation reads, write nothing at all.
    std::vector<qestl::qestringA> paths;
    for (size_t i = 0; i < count; ++i) {
        qestl::qestringA path = directory;
        qestl::appendPath(path, nativeSourceFileName(units[i], i).c_str());
        qestl::normalisePath(path);
        for (size_t earlier = 0; earlier < i; ++earlier) {
            if (std::strcmp(paths[earlier].c_str(), path.c_str()) != 0) continue;
            std::printf(diag::NativeSourceClash.text, std::string(units[earlier].moduleFile).c_str(),
                        std::string(units[i].moduleFile).c_str(), path.c_str());
            std::printf("\n");
            std::fflush(stdout);
            return false;
        }
        if (platform::fileWasRead(path.c_str())) {
            std::printf(diag::OutputUnwritable.text, path.c_str());
            std::printf("\n");
            std::fflush(stdout);
            return false;
        }
        paths.push_back(path);
    }
    bool allWritten = true;
    std::string contents;
    for (size_t i = 0; i < count; ++i) {
        contents.assign(kHeader);
        contents.append(units[i].text);
        const bool written = writeFileWhole(qestl::widen(paths[i]), reinterpret_cast<const uint8_t*>(contents.data()),
                                            contents.size());
        std::printf("%s%s\n", written ? "已写入文件:" : "无法建立文件:", paths[i].c_str());
        allWritten = allWritten && written;
    }
    std::fflush(stdout);
    return allWritten;
}

bool writeNativeSources(CompileContext& context, const qestl::qestringA& directory) {
    std::vector<NativeSourceUnit> units;
    for (const model::ImportModule* module : context.tables().imports().modules()) {
        units.push_back({module->library, module->stubText});
    }
    return writeNativeSourceUnits(units.data(), units.size(), directory);
}
