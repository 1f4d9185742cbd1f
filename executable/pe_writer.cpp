// Windows executables: a copy of the PE stub with the image as resource
// "VMDATA"/666/0 and the optional manifest, icon and version resources. The
// file is edited in memory and written once, whole.
#include <cstdio>
#include <ctime>

#include "executable/pe_resource_editor.h"
#include "executable/pe_resources.h"
#include "executable/stub_writers.h"
#include "foundation/byte_io.h"
#include "foundation/whole_file.h"
#include "options/compile_options.h"
#include "platform/system.h"

bool buildPeExecutable(const qestl::qestringA& stubPath, const uint8_t* image, uint32_t imageLength,
                       const qestl::qestringW& outputPath, const CompileOptions& options, bool useStored) {
    qestl::ByteVector stub;
    if (!loadStub(options, stubPath, useStored, targetBits(options), stub)) {
        printMissingExtension(kExtensionPage);
        return false;
    }
    const qestl::qestringA shown = qestl::narrow(outputPath);
    PeResourceEditor editor;
    const PeResourceEditor::OpenResult opened = editor.open(std::move(stub));
    if (opened == PeResourceEditor::kFatal) {
        std::printf("%s", editor.fatalText());
        return false;
    }
    if (opened == PeResourceEditor::kNotPe) {
        printNotWritten(shown);
        return false;
    }
    qestl::ByteWriter head(editor.bytes());
    uint64_t stamp = 0;
    if (platform::fixedBuildTime(&stamp) != platform::BuildTime::Fixed)
        stamp = static_cast<uint64_t>(std::time(nullptr));
    head.patchU32LE(editor.peHeader() + 8, static_cast<uint32_t>(stamp));
    if (options.consoleSubsystem) head.patchU16(editor.peHeader() + 92, 3);

    // A stub that already carries an image would ship that program instead.
    bool complete = editor.add(0, u"VMDATA", 666, nullptr, 0, image, imageLength) == 1;
    if (complete) {
        if (!options.iconOrListingFile.empty() && !addIconResources(editor, options.iconOrListingFile)) {
            std::printf("无法读取资源:%s\n", qestl::narrow(options.iconOrListingFile).c_str());
            complete = false;
        }
        buildManifestResource(editor, options.elevationLevel);
        if (!options.versionFile.empty()) {
            const qestl::ByteVector version = buildVersionResource(options.versionDocument.root());
            editor.add(16, nullptr, 1, nullptr, 1024, version.data(), static_cast<uint32_t>(version.size()));
        }
    }
    if (complete && !editor.write()) {
        if (editor.fatalText() != nullptr) {
            std::printf("%s", editor.fatalText());
            return false;
        }
        complete = false;
    }
    if (complete && options.debuggable) qestl::ByteWriter(editor.bytes()).bytes("kdbg", 4);
    if (!complete || !writeFileWhole(outputPath, editor.bytes().data(), editor.bytes().size())) {
        printNotWritten(shown);
        return false;
    }
    std::printf("已生成:%s\n", shown.c_str());
    return true;
}
