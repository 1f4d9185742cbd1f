// The stages of the compile pass in their order: the icon resource, the
// declaration phase, the compile walk, the unused-member warnings, the
// queued classes, the program entry and the language description.
#include "statements/compile_unit.h"

#include "classes/compile_class.h"
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_state.h"
#include "model/opcodes.h"
#include "options/compile_options.h"
#include "source/search_paths.h"
#include "statements/compile_walk.h"

namespace {

// Classes queued while a batch compiles (template instances above all) form
// the next batch; the queue is empty when this returns.
void compilePendingClasses(CompileContext& context) {
    qestl::SmartPtrVector& pending = declarationState(context).pendingClasses;
    while (!pending.empty()) {
        qestl::SmartPtrVector batch;
        batch.swap(pending);
        for (const qestl::SmartPtr& queued : batch) {
            model::IRObject* klass = model::asObject(queued);
            if (klass == nullptr) continue;
            qestl::SmartPtr origin = klass->rare().templateOrigin;
            const uint32_t construct = klass->isPackage() ? kConstructPackage : kConstructClass;
            compileClassDeclaration(context, nullptr, klass->declarationNode, origin, construct, false);
        }
    }
}

}  // namespace

void compileUnit(CompileContext& context, const _KNode<qeAbstractNode>& root) {
    const CompileOptions* options = context.options();
    if (options != nullptr && !options->iconOrListingFile.empty() && options->compressImage == 0) {
        const qestl::qestringA icon = qestl::narrow(resolveIncludePath(options->iconOrListingFile));
        context.tables().iconResource() = context.tables().resources().getOrAdd(
            context, icon.view(), codegen::kResourceFile, nullptr, 0, model::NodeHandle());
    }
    if (root) {
        indexUsingDeclarations(context, root);
        context.declareUntilStable(nullptr, root, model::NodeHandle());
    }
    compileTree(context, root);
    context.lookup().scopes().heaps[0]->warnUnusedMembers(context);
    compilePendingClasses(context);
    if (options == nullptr || options->nativeSources == 0) {
        context.emitProgramEntry();
        context.emitter().emit(codegen::makeInstruction(model::kOpExit, 0), model::NodeHandle());
    }
    loadLanguageDescription(context);
}
