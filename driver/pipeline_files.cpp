#include "driver/pipeline_files.h"

#include <cstdio>

#include "driver/console.h"
#include "foundation/file_stream.h"
#include "foundation/json.h"
#include "foundation/lzma_stream.h"

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

bool readWholeFile(const qestl::qestringW& path, qestl::ByteVector& bytes) {
    bytes.clear();
    ReadOnlyFileStream file(path);
    if (!file.open()) return false;
    // The size only sizes the buffer: the file is read to its end whatever it
    // said, so a file that changes meanwhile cannot overrun anything.
    uint8_t chunk[65536];
    for (;;) {
        uint32_t got = file.read(chunk, sizeof chunk);
        if (got == 0) break;
        bytes.appendRange(chunk, got);
    }
    file.close();
    return true;
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
