#include "driver/pipeline_files.h"

#include "foundation/side_file.h"

bool readVersionFile(CompileOptions& options) {
    return readJsonSideFile(options.versionFile, options.versionFile, options.versionDocument,
                            "警告: 无法读取版本描述文件 :", "警告: 无效的版本描述文件 :");
}

bool readExportDefinitionFile(CompileOptions& options) {
    return readJsonSideFile(options.kdefFile, options.kdefFile, options.kdefDocument,
                            "警告: 无法读取导出定义文件 :", "警告: 无效的链接描述文件 :");
}
