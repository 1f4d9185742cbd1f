// The executable builder seen from outside:
//   stub list                               every stored slot and its sizes
//   stub raw|restore OS BITS plain|dbg OUT  a slot's stored bytes, or the stub
//   stub path COMPILER [OPTION...]          the stub file and kind for a target
//   place elf|macho|pe STUB IMAGE OUT [OPTION...]
//                                           that writer on any stub and image,
//                                           with the -ce options it reads
//   native-sources DIR [MODULE TEXT]...    the -gs writer over these units
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/pipeline_files.h"
#include "executable/native_sources.h"
#include "executable/stored_stubs.h"
#include "executable/stub_writers.h"
#include "foundation/whole_file.h"
#include "options/compile_options.h"
#include "probe.h"

namespace {

struct SlotName {
    const char* os;
    int32_t target;
    int bits;
};
constexpr SlotName kSlotNames[] = {
    {"windows", kTargetWindows, 32}, {"windows", kTargetWindows, 64}, {"linux", kTargetLinux, 32},
    {"linux", kTargetLinux, 64},     {"darwin", kTargetDarwin, 64},
};

int findSlot(const char* os, const char* bits, const char* variant) {
    for (const SlotName& name : kSlotNames) {
        if (std::strcmp(name.os, os) == 0 && std::to_string(name.bits) == bits)
            return storedStubSlot(name.target, name.bits, std::strcmp(variant, "dbg") == 0);
    }
    return -1;
}

bool writeOut(const char* path, const uint8_t* bytes, size_t size) {
    return writeFileWhole(qestl::widen(path), bytes, size);
}

// The options as the compiler would parse them for "-ce probe.k OPTIONS -o OUT".
bool parsePlaceOptions(CompileOptions& options, int argc, char** argv, const char* out) {
    std::vector<std::u16string> words = {u"korvo", u"-ce", u"probe.k"};
    for (int i = 0; i < argc; ++i) words.push_back(std::u16string(qestl::widen(argv[i]).view()));
    words.push_back(u"-o");
    words.push_back(std::u16string(qestl::widen(out).view()));
    std::vector<const char16_t*> pointers;
    for (const auto& word : words) pointers.push_back(word.c_str());
    int next = 0;
    if (parseCommandLine(options, static_cast<int>(pointers.size()), pointers.data(), &next) == 0) return false;
    return options.versionFile.empty() || readVersionFile(options);
}

int stubCommand(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[0], "path") == 0) {
        CompileOptions options;
        if (!parsePlaceOptions(options, argc - 2, argv + 2, "out")) return 2;
        qestl::qestringA path;
        int kind = kKindUnknown;
        const bool known = resolveStubPath(options, qestl::qestringA(argv[1]), path, kind);
        std::printf("%s %d\n", path.c_str(), kind);
        return known ? 0 : 1;
    }
    if (argc == 1 && std::strcmp(argv[0], "list") == 0) {
        for (int slot = 0; slot < kStoredStubCount; ++slot) {
            const SlotName& name = kSlotNames[slot / 2];
            qestl::ByteVector stub;
            const bool restored = restoreStoredStub(slot, stub);
            std::printf("%s %d %s %u %s\n", name.os, name.bits, slot % 2 ? "dbg" : "plain", kStoredStubs[slot].length,
                        restored ? std::to_string(stub.size()).c_str() : "-");
        }
        return 0;
    }
    const bool raw = argc == 5 && std::strcmp(argv[0], "raw") == 0;
    if (!raw && !(argc == 5 && std::strcmp(argv[0], "restore") == 0)) {
        std::fprintf(stderr, "usage: stub list | stub raw|restore OS BITS plain|dbg OUT | stub path COMPILER [OPTION...]\n");
        return 2;
    }
    const int slot = findSlot(argv[1], argv[2], argv[3]);
    if (slot < 0 || kStoredStubs[slot].length == 0) {
        std::fprintf(stderr, "no stored stub for %s %s %s\n", argv[1], argv[2], argv[3]);
        return 1;
    }
    qestl::ByteVector stub;
    if (raw) {
        stub.appendRange(kStoredStubs[slot].bytes, kStoredStubs[slot].length);
    } else if (!restoreStoredStub(slot, stub)) {
        std::fprintf(stderr, "slot does not restore\n");
        return 1;
    }
    return writeOut(argv[4], stub.data(), stub.size()) ? 0 : 1;
}

int placeCommand(int argc, char** argv) {
    if (argc < 4 || (std::strcmp(argv[0], "elf") != 0 && std::strcmp(argv[0], "macho") != 0 &&
                     std::strcmp(argv[0], "pe") != 0)) {
        std::fprintf(stderr, "usage: place elf|macho|pe STUB IMAGE OUT [OPTION...]\n");
        return 2;
    }
    qestl::ByteVector image;
    if (!readWholeFile(qestl::widen(argv[2]), image)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    CompileOptions options;
    if (!parsePlaceOptions(options, argc - 4, argv + 4, argv[3])) return 2;
    const qestl::qestringA stub(argv[1]);
    bool written;
    if (std::strcmp(argv[0], "pe") == 0) {
        written = buildPeExecutable(stub, image.data(), static_cast<uint32_t>(image.size()), options.outputPath,
                                    options, false);
    } else {
        written = buildElfOrMachOExecutable(std::strcmp(argv[0], "macho") == 0, stub, image.data(),
                                            static_cast<uint32_t>(image.size()), options.outputPath, options,
                                            false) == 1;
    }
    std::fflush(stdout);
    return written ? 0 : 1;
}

int nativeSourcesCommand(int argc, char** argv) {
    if (argc < 1 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: native-sources DIR [MODULE TEXT]...\n");
        return 2;
    }
    std::vector<NativeSourceUnit> units;
    for (int i = 1; i + 1 < argc; i += 2) units.push_back({argv[i], argv[i + 1]});
    return writeNativeSourceUnits(units.data(), units.size(), qestl::qestringA(argv[0])) ? 0 : 1;
}

}  // namespace

KORVO_PROBE("stub", "list | raw|restore OS BITS plain|dbg OUT | path COMPILER [OPTION...]", stubCommand);
KORVO_PROBE("place", "elf|macho|pe STUB IMAGE OUT [OPTION...]", placeCommand);
KORVO_PROBE("native-sources", "DIR [MODULE TEXT]...", nativeSourcesCommand);
