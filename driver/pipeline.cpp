#include "driver/pipeline.h"

#include <cstdio>

#include "codegen/compile_context.h"
#include "codegen/debug_info_table.h"
#include "diagnostics/diagnostics.h"
#include "driver/builtin_lending.h"
#include "driver/console.h"
#include "driver/pipeline_files.h"
#include "executable/executable_builder.h"
#include "foundation/node_pool.h"
#include "foundation/sanitizer.h"
#include "image/compressed_image.h"
#include "image/image_writer.h"
#include "image/library_loader.h"
#include "image/static_library.h"
#include "platform/stack_thread.h"
#include "source/node.h"
#include "source/source_processor.h"
#include "statements/compile_unit.h"

namespace {

void printProgress(const char* text) {
    printToStdout(text);
    std::fflush(stdout);
}

// A compressed image is made from the whole image in memory.
bool writeCompressedImage(CompileContext& context, qestl::qeistream& out, CompileOptions& options) {
    qestl::qeByteStream image;
    return writeImage(context, image, options) && compressProgramImage(image, options.iconBytes) &&
           qestl::writeInPieces(out, image.data(), image.size());
}

// The requested output of a clean compilation.
bool generateOutput(CompileContext& context, qestl::qeistream& out, CompileOptions& options) {
    if (options.nativeSources) return writeNativeSources(context, qestl::narrow(options.outputPath));
    // Nothing declares or compiles any more once an image is laid out (a
    // link library's writer may still instantiate a built-in template, and
    // lent built-ins serve the next compilation): the table of the objects
    // the nodes were declared for goes, the one that finds a stored name is
    // packed, and the one that finds a function's debug record goes, before
    // the layout's tables come.
    if (!options.linkLibraryOutput && !builtinsLentBetweenCompilations()) {
        qeAbstractNode::dropBareSideWords();
        nodetext::packSharedTexts();
        context.tables().debugInfo().releaseIndex();
    }
    // Nothing looks a global name up while the image is laid out and
    // written (model/container_index_release.cpp).
    context.lookup().scopes().heaps[0]->releaseIndex();
    context.resolveOperands();
    context.assignAddresses();
    // Every file the compilation reads has been opened by now (the embedded
    // ones measured for their addresses): no output may replace one.
    if (!outputsSpareInputs(options)) return false;
    if (options.linkLibraryOutput) {
        if (!options.kdefFile.empty()) readExportDefinitionFile(options);  // only warns
        return writeLinkLibrary(context, out, options);
    }
    const bool written = options.compressImage ? writeCompressedImage(context, out, options)
                                               : writeImage(context, out, options);
    if (!written) return false;
    // Fix-up counts what no address was given to; such an image is abandoned.
    if (context.tables().unplacedReferences() != 0) {
        context.reportError(diag::UnplacedReference, model::NodeHandle());
        return false;
    }
    return true;
}

// The process ends right after its one compilation, so a build without
// sanitizers leaves the syntax tree to the operating system: freeing a
// million nodes one by one costs more than parsing many of them. The
// sanitized build frees it, so that leaks stay visible.
void leaveTreeToProcessEnd(_KNode<qeAbstractNode>& root) {
#if !defined(KORVO_ADDRESS_SANITIZER)
    if (!builtinsLentBetweenCompilations()) root.detach();
#else
    (void)root;
#endif
}

// The compile context, for the same reason: its teardown frees every
// instruction and model object one by one. Kept reachable from here, so a
// leak checker does not count it as lost.
class ContextLeftToProcessEnd {
    [[maybe_unused]] static inline CompileContext* leftToProcessEnd = nullptr;

public:
    ContextLeftToProcessEnd() : context_(new CompileContext) {}
    ~ContextLeftToProcessEnd() {
#if !defined(KORVO_ADDRESS_SANITIZER)
        // A process that compiles again gives the lent built-ins back first.
        if (builtinsLentBetweenCompilations()) delete context_;
        else leftToProcessEnd = context_;
#else
        delete context_;
#endif
    }
    ContextLeftToProcessEnd(const ContextLeftToProcessEnd&) = delete;
    ContextLeftToProcessEnd& operator=(const ContextLeftToProcessEnd&) = delete;
    CompileContext& operator*() const { return *context_; }

private:
    CompileContext* context_;
};

}  // namespace

int compileToStream(qestl::qeistream& out, CompileOptions& options) {
    BuiltinsLease builtins;  // ends after the context
    ContextLeftToProcessEnd owner;
    CompileContext& context = *owner;
    context.setOptions(&options);
    qestl::globalNodePool();
    builtins.enter(context);
    qeSourceProcessor processor;
    // A library named on the command line that cannot be loaded stops the
    // compilation like an error: a program built without it is not the one
    // asked for.
    bool librariesLoaded = loadLinkLibraries(context, options);
    librariesLoaded = loadLibraries(context, options) && librariesLoaded;
    const bool parsed = processor.parseProject(context.project(), options) == 0;
    // A first source that could not be read leaves no tree to check.
    if (context.project().root) {
        auto compile = [&context] { compileUnit(context, context.project().root); };
        platform::runOnLargeStack(platform::kCompileStackBytes, compile);
    }
    leaveTreeToProcessEnd(context.project().root);

    if (!parsed || !librariesLoaded || context.diagnostics().hasErrors() ||
        context.diagnostics().levelsPutAside() != 0) {
        context.reportCompileStopped();
        return 0;
    }
    printProgress("正在生成代码... \n");
    // A writer that could not finish leaves nothing worth writing out.
    return generateOutput(context, out, options) ? 1 : 0;
}

int buildStaticLibrary(CompileOptions& options, qestl::qeistream& out) {
    CompileContext context;
    qestl::globalNodePool();
    qeSourceProcessor processor;
    if (processor.parseProject(context.project(), options) != 0 || !context.project().root) return 0;
    // The included and required files are known now.
    if (!outputsSpareInputs(options)) {
        leaveTreeToProcessEnd(context.project().root);
        context.reset();
        return 0;
    }

    qestl::WStringVector paths;
    for (uint32_t i = 0; i < context.project().fileCount(); ++i) paths.pushBack(context.project().filePath(i));
    const bool written = writeStaticLibrary(out, paths, context.project().root);
    if (written) printProgress("正在生成静态库...\n");
    // Before the reset, which would otherwise free the tree node by node.
    leaveTreeToProcessEnd(context.project().root);
    context.reset();
    return written ? 1 : 0;
}
