#include "driver/pipeline_files.h"

#include "driver/console.h"
#include "foundation/json.h"
#include "foundation/whole_file.h"

namespace {

// One side file: read whole and parsed, or one warning line naming it.
bool readJsonSideFile(const qestl::qestringW& path, cbjson& document, const char* unreadable, const char* invalid) {
    qestl::ByteVector bytes;
    if (!readWholeFile(path, bytes)) {
        printfToStdout("%s%s\n", unreadable, qestl::narrow(path).c_str());
        return false;
    }
    cbjson parsed;
    const char* text = reinterpret_cast<const char*>(bytes.data());
    if (bytes.empty() || !parsed.parse(text, bytes.size())) {
        printfToStdout("%s%s\n", invalid, qestl::narrow(path).c_str());
        return false;
    }
    document.reset(parsed.detach());
    return true;
}

}  // namespace

bool readVersionFile(CompileOptions& options) {
    return readJsonSideFile(options.versionFile, options.versionDocument, "警告: 无法读取版本描述文件 :",
                            "警告: 无效的版本描述文件 :");
}

bool readExportDefinitionFile(CompileOptions& options) {
    return readJsonSideFile(options.kdefFile, options.kdefDocument, "警告: 无法读取导出定义文件 :",
                            "警告: 无效的链接描述文件 :");
}
