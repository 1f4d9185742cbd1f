// The build flow of an executable: choose the stub (stored inside the
// compiler or beside it), then hand over to the writer of its format.
#include "executable/executable_builder.h"

#include <cstdio>

#include "build_config.h"
#include "executable/stored_stubs.h"
#include "executable/stub_writers.h"
#include "foundation/byte_io.h"
#include "foundation/file_stream.h"
#include "foundation/whole_file.h"
#include "options/compile_options.h"

namespace {

struct StubFiles {
    const char* folder;
    const char* debugStub;
    const char* stub;
    int kind;
};

// By OS id 0 to 3; a custom OS (-1) has its own names.
constexpr StubFiles kStubFiles[] = {
    {"windows", "kvswd.kes", "kvsw.kes", kKindPe},
    {"linux", "kvsld.kes", "kvsl.kes", kKindElf},
    {"darwin", "kvsmd.kes", "kvsm.kes", kKindMachO},
    {"windows_xp", "kvswd.kes", "kvsw.kes", kKindPe},
};
constexpr StubFiles kCustomStubFiles{nullptr, "kcvsd.kes", "kcvs.kes", kKindUnknown};

bool isKnownOs(int32_t os) { return os >= kTargetWindows && os <= kTargetWindowsXp; }

// Joins with '/' unless the text already ends in a separator; the part's own
// leading separators are then dropped.
void appendPathPart(qestl::qestringA& path, const char* part) {
    const bool endsInSeparator = !path.empty() && (path[path.length() - 1] == '/' || path[path.length() - 1] == '\\');
    if (endsInSeparator) {
        while (*part == '/' || *part == '\\') ++part;
    } else {
        path.append("/");
    }
    path.append(part);
}

// A custom target's stub says what it is through its first four bytes.
int kindFromMagic(const qestl::qestringA& path) {
    ReadOnlyFileStream file(qestl::widen(path));
    uint8_t head[4];
    if (!file.open() || file.read(head, 4) != 4) return kKindUnknown;
    const uint32_t magic = qestl::loadU32LE(head);
    if (magic == 0x464C457Fu) return kKindElf;
    if (magic == 0xFEEDFACFu) return kKindMachO;
    if ((magic & 0xFFFFu) == 0x5A4Du) return kKindPe;
    return kKindUnknown;
}

}  // namespace

int targetBits(const CompileOptions& options) { return options.processorName.view() == "x86" ? 32 : 64; }

qestl::qestringA targetOsFolder(const CompileOptions& options) {
    if (isKnownOs(options.targetOs)) return qestl::qestringA(kStubFiles[options.targetOs].folder);
    return qestl::narrow(options.targetOsName);
}

void printNotWritten(const qestl::qestringA& shown) { std::printf("无法写入文件:%s\n生成失败\n", shown.c_str()); }

void printMissingExtension(const char* page) {
    std::printf("错误:未安装支持目标操作系统架构的编译器扩展,请访问 %s%s 下载并安装所需编译器扩展包.\n", KORVO_HOMEPAGE,
                page);
}

bool resolveStubPath(const CompileOptions& options, const qestl::qestringA& compilerPath, qestl::qestringA& stubPath,
                     int& kind) {
    const StubFiles& files = isKnownOs(options.targetOs) ? kStubFiles[options.targetOs] : kCustomStubFiles;
    size_t cut = 0;
    for (size_t i = 0; i < compilerPath.length(); ++i) {
        if (compilerPath[i] == '/' || compilerPath[i] == '\\') cut = i;
    }
    stubPath = qestl::qestringA(compilerPath.c_str(), cut);
    appendPathPart(stubPath, targetOsFolder(options).c_str());
    appendPathPart(stubPath, options.processorName.c_str());
    appendPathPart(stubPath, options.debuggable ? files.debugStub : files.stub);
    if (isKnownOs(options.targetOs)) {
        kind = files.kind;
    } else if (options.targetOs == kTargetOther) {
        kind = kindFromMagic(stubPath);
    } else {
        kind = kKindUnknown;
    }
    return kind != kKindUnknown;
}

bool loadStub(const CompileOptions& options, const qestl::qestringA& stubPath, bool useStored, int bits,
              qestl::ByteVector& stub) {
    if (useStored) return restoreStoredStub(storedStubSlot(options.targetOs, bits, options.debuggable != 0), stub);
    return readWholeFile(qestl::widen(stubPath), stub) && !stub.empty();
}

bool usesStoredStub(const CompileOptions& options, bool knownTarget) {
    const bool storedProcessor = options.processorName.view() == "x86" || options.processorName.view() == "x86_64";
    return knownTarget && options.targetOs >= kTargetWindows && options.targetOs <= kTargetDarwin && storedProcessor;
}

bool buildExecutable(const qestl::qestringA& compilerPath, const uint8_t* image, uint64_t imageLength,
                     const qestl::qestringW& outputPath, CompileOptions& options, bool knownTarget) {
    // Every stub keeps the image's length in 32 bits.
    if (imageLength > UINT32_MAX) {
        printNotWritten(qestl::narrow(outputPath));
        std::fflush(stdout);
        return false;
    }
    const auto length = static_cast<uint32_t>(imageLength);
    const bool useStored = usesStoredStub(options, knownTarget);
    qestl::qestringA stubPath;
    int kind = kKindUnknown;
    if (!resolveStubPath(options, compilerPath, stubPath, kind)) {
        printMissingExtension(kDownloadPage);
        std::fflush(stdout);
        return false;
    }
    bool built;
    if (kind == kKindPe) {
        built = buildPeExecutable(stubPath, image, length, outputPath, options, useStored);
    } else {
        built = buildElfOrMachOExecutable(kind == kKindMachO, stubPath, image, length, outputPath, options,
                                          useStored) == 1;
    }
    std::fflush(stdout);
    return built;
}
