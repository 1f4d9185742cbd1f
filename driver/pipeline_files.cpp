#include "driver/pipeline_files.h"

#include <cstdio>

#include "driver/console.h"
#include "foundation/file_stream.h"
#include "foundation/side_file.h"
#include "foundation/json.h"
#include "foundation/lzma_stream.h"

bool readVersionFile(CompileOptions& options) {
    return readJsonSideFile(options.versionFile, options.versionFile, options.versionDocument,
                            "警告: 无法读取版本描述文件 :", "警告: 无效的版本描述文件 :");
}

bool readExportDefinitionFile(CompileOptions& options) {
    return readJsonSideFile(options.kdefFile, options.kdefFile, options.kdefDocument,
                            "警告: 无法读取导出定义文件 :", "警告: 无效的链接描述文件 :");
}

bool writeFileWhole(const qestl::qestringW& path, const uint8_t* bytes, uint64_t size) {
    qestl::qestringW temporary = path;
    temporary.append(u".korvo-part");
    bool complete = false;
    {
        FileStream file(temporary);
        if (file.open()) {
            complete = true;
            uint64_t done = 0;
            while (complete && done < size) {
                uint64_t left = size - done;
                uint32_t piece = left > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(left);
                complete = file.write(bytes + done, piece) == piece;
                done += piece;
            }
            complete = file.close() && complete;
        }
    }
    qestl::qestringA from = qestl::narrow(temporary);
    if (complete && std::rename(from.c_str(), qestl::narrow(path).c_str()) == 0) return true;
    std::remove(from.c_str());
    return false;
}

bool compressProgramImage(qestl::qeByteStream& image, const qestl::ByteVector& iconBytes) {
    if (image.size() < kImageHeadBytes) return false;
    qestl::qeByteStream body;
    if (!body.appendBytes(image.data(), image.size())) return false;
    image.close();
    if (image.write(body.data(), kImageHeadBytes) != kImageHeadBytes) return false;
    if (!iconBytes.empty() && !image.appendBytes(iconBytes.data(), iconBytes.size())) return false;
    body.seek(qestl::kSeekBegin, kImageHeadBytes);
    return lzmaCompressStream(image, body);
}
