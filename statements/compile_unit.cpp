// The stages of the compile pass that exist so far: the icon resource, the
// declaration phase, the unused-member warnings, the program entry and the
// language description. The compile walk and the queued classes come with
// the statement compilers.
#include "statements/compile_unit.h"

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "driver/compile_options.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "source/search_paths.h"

void compileUnit(CompileContext& context, const _KNode<qeAbstractNode>& root) {
    CompileOptions* options = context.options;
    if (options != nullptr && !options->iconOrListingFile.empty() && options->compressImage == 0) {
        const qestl::qestringA icon = qestl::narrow(resolveIncludePath(options->iconOrListingFile));
        context.iconResource = context.resources->getOrAdd(context, icon.view(), codegen::kResourceFile, nullptr, 0,
                                                           model::NodeHandle());
    }
    if (root) {
        indexUsingDeclarations(context, root);
        context.declareUntilStable(nullptr, root, model::NodeHandle());
    }
    context.scopes.heaps[0]->warnUnusedMembers(context);
    if (options == nullptr || options->nativeSources == 0) {
        context.emitProgramEntry();
        context.emit(codegen::makeInstruction(model::kOpExit, 0), model::NodeHandle());
    }
    loadLanguageDescription(context);
}
