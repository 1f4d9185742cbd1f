// The program image of a compilation: its header values, its layout and the
// string-list file written beside it.
#include <cstdio>

#include "codegen/compile_context.h"
#include "codegen/context_image.h"
#include "diagnostics/diagnostics.h"
#include "foundation/whole_file.h"
#include "image/debug_record.h"
#include "image/image_debug.h"
#include "image/image_header.h"
#include "image/image_layout.h"
#include "image/image_writer.h"
#include "options/compile_options.h"

namespace {

void fillImageHeader(CompileContext& context, ImageHeaderValues& header, CompileOptions& options) {
    header.version = static_cast<uint64_t>(parseVersionNumber(context.fileVersionText()));
    header.language = languageIdOf(context.languageText());
    header.timeStamp = imageTimeStamp();
    const model::Operand& exception = context.tables().exceptionOperand();
    if (exception.kind == model::kObjectReference && exception.target)
        header.rawBlockLength = exception.target.as<model::cbircode>()->address();
    if (options.compressImage) {
        // An unreadable icon leaves the raw block empty; the image is still
        // written.
        options.iconBytes.clear();
        if (!options.iconOrListingFile.empty() && !readWholeFile(options.iconOrListingFile, options.iconBytes))
            options.iconBytes.clear();
        header.options |= kImageCompressedFlag;
        header.rawBlockLength = options.iconBytes.size();
    }
    if (options.sharedModule) header.options |= kImageSharedModuleFlag;
}

void reportResourceFailure(CompileContext& context) {
    const codegen::ResourceTable& table = context.tables().resources();
    const Diagnostic& diagnostic = table.failedCode == -2 ? diag::ResourceChanged : diag::ResourceUnreadable;
    context.reportError(diagnostic, model::NodeHandle(), table.failedName);
}

// The string list is a side output: its failures only warn.
void writeStringTableFile(CompileContext& context, const CompileOptions& options) {
    if (options.stringListFile.empty()) return;
    cbjson document;
    context.tables().resources().exportStringTable(document, options.signedStringList != 0);
    qestl::qestringA text;
    document.toText(text);
    const qestl::qestringA path = qestl::narrow(options.stringListFile);
    if (writeFileWhole(options.stringListFile, reinterpret_cast<const uint8_t*>(text.c_str()), text.length()))
        std::printf("\n已输出字符串表 %s .\n", path.c_str());
    else
        std::printf("\n警告:无法输出字符串表.打开文件 %s 失败.\n", path.c_str());
}

}  // namespace

bool writeImage(CompileContext& context, qestl::qeistream& out, CompileOptions& options) {
    // Every string resource is placed: their index would only sit beside
    // the pool's while the image is encoded.
    context.tables().resources().releaseStringIndex();
    ImageLayoutInput input;
    input.parts = codegen::imagePartsOf(context);
    input.sections = context.tables().sectionStarts();
    input.names = &context.tables().namePool();
    fillImageHeader(context, input.header, options);
    DebugRecord debug;
    if (!options.noDebugInfo) {
        collectDebugRecord(context, debug);
        input.debug = &debug;
    }
    input.writeResources = [&context](qestl::ByteWriter& writer, uint64_t) {
        return context.tables().resources().writeAll(writer, context.tables().lentBytes());
    };
    const LayoutResult written = layoutImage(input, out);
    if (written == LayoutResult::ResourceFailed) reportResourceFailure(context);
    if (written != LayoutResult::Written) return false;
    writeStringTableFile(context, options);
    return true;
}
