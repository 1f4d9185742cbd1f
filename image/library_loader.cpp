#include "image/library_loader.h"

#include <cstdio>
#include <memory>
#include <string>

#include "codegen/compile_context.h"
#include "foundation/ascii_case.h"
#include "foundation/whole_file.h"
#include "foundation/path.h"
#include "foundation/zip_archive.h"
#include "foundation/zip_member.h"
#include "image/link_library.h"
#include "image/static_library.h"
#include "options/compile_options.h"
#include "source/search_paths.h"

namespace {

void printWithPath(const char* format, const qestl::qestringW& path) {
    std::printf(format, qestl::narrow(path).c_str());
    std::fflush(stdout);
}

// The name as given, else the first -libpath directory that holds it.
bool findLibrary(const qestl::qestringW& name, const CompileOptions& options, qestl::qestringW& found) {
    if (findInDirectories(options.libraryPaths, name, found)) return true;
    printWithPath("找不到文件: %s\n", name);
    return false;
}

// The whole file in memory: the loaders read it from there. Its formats
// count in 32 bits, so a larger file is no library.
bool readWholeLibrary(const qestl::qestringW& path, qestl::ByteVector& bytes) {
    const WholeRead read = readFileWhole(path, bytes, UINT32_MAX);
    if (read == WholeRead::Read) return true;
    printWithPath(read == WholeRead::Unopened   ? "不能打开文件: %s\n"
                  : read == WholeRead::TooLarge ? "文件过大: %s\n"
                                                : "无法读取文件: %s\n",
                  path);
    return false;
}

bool endsWithIgnoringCase(const qestl::qestringA& name, std::string_view tail) {
    return name.length() >= tail.size() &&
           qestl::sameIgnoringAsciiCase(name.c_str() + name.length() - tail.size(), tail.size(), tail.data(),
                                        tail.size());
}

// "major" + extension, else "<os>-<arch>" + extension when both are named.
const ZipRecord* findPackageEntry(const ZipArchive& archive, const CompileOptions& options, const char* extension) {
    const std::string major = std::string("major") + extension;
    if (const ZipRecord* found = archive.find(major.c_str())) return found;
    const qestl::qestringA os = qestl::narrow(options.targetOsName);
    const char* arch = options.processorName.empty() ? "x86_64" : options.processorName.c_str();
    if (os.empty() || arch[0] == 0) return nullptr;
    const std::string target = std::string(os.view()) + "-" + arch + extension;
    return archive.find(target.c_str());
}

}  // namespace

int loadPackageEntry(CompileContext& context, uint32_t libraryNumber, const ZipArchive& archive,
                     const ZipRecord& entry, uint32_t mode, const qestl::qestringW& packagePath) {
    // Big enough to keep off the stack: the inflater's input buffer.
    auto reader = std::make_unique<ZipMemberReader>();
    if (entry.isDirectory() || !reader->begin(archive.stream(), archive.archiveSize(), entry)) {
        printWithPath("处理包时出错: %s, 文件可能已经损坏.", packagePath);
        return 0;
    }
    ZipStream stream(reader.get());
    int loaded;
    if (mode == kPackageStatic) {
        ProjectSourcePaths sources(context.project());
        loaded = loadStaticLibrary(context.project().root, libraryNumber, sources, stream, packagePath);
    } else {
        loaded = loadLinkLibrary(libraryNumber, context, packagePath, stream);
    }
    reader->end();
    return loaded;
}

bool loadPackage(CompileContext& context, uint32_t libraryNumber, const qestl::qestringW& path,
                 const CompileOptions& options, const PackageEntryTrace& trace) {
    qestl::ByteVector bytes;
    if (!readWholeLibrary(path, bytes)) return false;
    qestl::qeByteStream stream(bytes.data(), bytes.size());
    ZipArchive archive;
    if (!archive.open(&stream)) {
        printWithPath("无效的包: %s", path);
        return false;
    }
    bool ok = true;
    auto load = [&](const ZipRecord& entry, uint32_t mode) {
        const int result = loadPackageEntry(context, libraryNumber, archive, entry, mode, path);
        if (trace) trace(mode, entry.name, result);
        if (result != 1) ok = false;
        return result == 1;
    };
    bool staticLoaded = false;
    if (const ZipRecord* entry = findPackageEntry(archive, options, ".lik")) staticLoaded = load(*entry, kPackageStatic);
    const ZipRecord* linkEntry = findPackageEntry(archive, options, ".kl");
    if (linkEntry != nullptr) load(*linkEntry, kPackageLink);
    if (linkEntry != nullptr || staticLoaded) return ok;
    for (const ZipRecord* entry : archive.entries()) {
        if (entry == nullptr || entry->isDirectory()) {
            printWithPath("无效的包: %s", path);
            ok = false;
            continue;
        }
        if (endsWithIgnoringCase(entry->name, ".lik")) load(*entry, kPackageStatic);
        else if (endsWithIgnoringCase(entry->name, ".kl")) load(*entry, kPackageLink);
    }
    return ok;
}

bool loadLinkLibraries(CompileContext& context, const CompileOptions& options) {
    bool ok = true;
    for (size_t i = 0; i < options.linkLibraries.size(); ++i) {
        qestl::qestringW path;
        qestl::ByteVector bytes;
        if (!findLibrary(options.linkLibraries[i], options, path) || !readWholeLibrary(path, bytes)) {
            ok = false;
            continue;
        }
        qestl::qeByteStream stream(bytes.data(), bytes.size());
        ok = loadLinkLibrary(static_cast<uint32_t>(i), context, path, stream) == 1 && ok;
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
        const auto number = static_cast<uint32_t>(i);
        if (qestl::hasExtension(path, u".kp")) {
            ok = loadPackage(context, number, path, options) && ok;
            continue;
        }
        qestl::ByteVector bytes;
        if (!readWholeLibrary(path, bytes)) {
            ok = false;
            continue;
        }
        qestl::qeByteStream stream(bytes.data(), bytes.size());
        ProjectSourcePaths sources(context.project());
        ok = loadStaticLibrary(context.project().root, number, sources, stream, path) == 1 && ok;
    }
    return ok;
}
