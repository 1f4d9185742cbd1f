// The parts of the executable builder that the target writers share: stub
// lookup, the missing-extension message, and the writers themselves. Each
// writer has a pure form (stub bytes in, executable bytes out) that the
// probe and the fuzzer drive without touching the disk.
#pragma once

#include <cstdint>

#include "foundation/byte_io.h"
#include "foundation/qestring.h"
#include "foundation/vector.h"

struct CompileOptions;

// What a stub turns into, by its kind.
enum ExecutableKind : int { kKindUnknown = -1, kKindPe = 0, kKindElf = 1, kKindMachO = 2 };

// Outcomes of placing an image into a stub.
enum StubPatchResult : int {
    kStubWritten = 0,
    kStubUnreadable = 1,  // no stub, or it cannot be read or restored
    kStubNotWritable = 2,
    kStubUnusable = 3,  // the stub is not laid out as the writer needs
};

// The stub file for the target beside the compiler and its kind; false when
// the kind is unknown.
bool resolveStubPath(const CompileOptions& options, const qestl::qestringA& compilerPath, qestl::qestringA& stubPath,
                     int& kind);

// The stub's bytes: the stored copy when `useStored`, else the file. False
// when there is none.
bool loadStub(const CompileOptions& options, const qestl::qestringA& stubPath, bool useStored, int bits,
              qestl::ByteVector& stub);

// "错误:未安装支持目标操作系统架构的编译器扩展,请访问 " + home page + `page` + " 下载...".
void printMissingExtension(const char* page);
inline constexpr const char* kDownloadPage = "/download.html";
inline constexpr const char* kExtensionPage = "/compiler_extenision.html";

// "无法写入文件:" + the output path + "\n生成失败\n".
void printNotWritten(const qestl::qestringA& shown);

// Bits of the target: 32 for processor "x86", else 64.
int targetBits(const CompileOptions& options);

// The target's folder beside the compiler: the OS name, or the custom name.
qestl::qestringA targetOsFolder(const CompileOptions& options);

// Where an image of `imageLength` bytes goes in an ELF stub: the stub with
// every field set for it, the place of ".vm", where the image's block now
// starts, and the offset of the stub's bytes that follow the block.
struct ElfPlacement {
    qestl::ByteVector patched;
    uint64_t blockAt = 0;
    uint64_t behind = 0;
    bool bigEndian = false;
};
// kStubWritten or kStubUnusable.
int placeElfImage(const qestl::ByteVector& stub, uint32_t imageLength, ElfPlacement& placement);

// The block's head (the image's length, then zeros), its padding, and the
// stub's bytes behind the block with the debug mark.
inline constexpr uint32_t kElfPayloadHeadBytes = 32;
void appendElfPayloadHead(qestl::ByteWriter& out, uint32_t imageLength, bool bigEndian);
uint32_t elfPayloadPadding(uint32_t imageLength);
void writeElfTail(const ElfPlacement& placed, bool debuggable, qestl::ByteWriter& out);

// The ELF stub with the image in its ".vm" section (and "kdbg" when
// `debuggable`), through `out`. kStubWritten or kStubUnusable; nothing is
// written unless the stub is usable.
int patchElfStub(const qestl::ByteVector& stub, const uint8_t* image, uint32_t imageLength, bool debuggable,
                 qestl::ByteWriter& out);

// The 64-bit Mach-O stub with the image appended inside __LINKEDIT.
int patchMachOStub(const qestl::ByteVector& stub, const uint8_t* image, uint32_t imageLength, bool debuggable,
                   qestl::ByteWriter& out);

// The same into `out` whole.
inline int patchElfStub(const qestl::ByteVector& stub, const uint8_t* image, uint32_t imageLength, bool debuggable,
                        qestl::ByteVector& out) {
    out.clear();
    qestl::ByteWriter writer(out);
    return patchElfStub(stub, image, imageLength, debuggable, writer);
}
inline int patchMachOStub(const qestl::ByteVector& stub, const uint8_t* image, uint32_t imageLength, bool debuggable,
                          qestl::ByteVector& out) {
    out.clear();
    qestl::ByteWriter writer(out);
    return patchMachOStub(stub, image, imageLength, debuggable, writer);
}

// Reports the outcome of an ELF or Mach-O executable; 1 when written.
uint32_t reportElfOrMachOResult(int result, const qestl::qestringW& outputPath, const CompileOptions& options);

// Whether the target's stub is the copy stored inside the compiler.
bool usesStoredStub(const CompileOptions& options, bool knownTarget);

// Writes an ELF or Mach-O executable and reports it; 1 when written.
uint32_t buildElfOrMachOExecutable(bool machO, const qestl::qestringA& stubPath, const uint8_t* image,
                                   uint32_t imageLength, const qestl::qestringW& outputPath,
                                   const CompileOptions& options, bool useStored);

// Writes a PE executable and reports it; true when written.
bool buildPeExecutable(const qestl::qestringA& stubPath, const uint8_t* image, uint32_t imageLength,
                       const qestl::qestringW& outputPath, const CompileOptions& options, bool useStored);
