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
#include "platform/stack_thread.h"
#include "source/search_paths.h"
#include "statements/compile_walk.h"
#include "statements/walk_state.h"

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
            compileClassDeclaration(context, nullptr, klass->declarationNode.node(), origin, construct, false);
        }
    }
}

// Upper bounds of the stack one level takes, about one and a half times the
// most measured (a release build: 2.5 KB a declared body, in a chain of
// template instances each declaring the next through a method's signature;
// 1.7 KB a statement, in nested try-finally blocks; the sanitized build
// about four times as much), and the room the deepest level's own work
// needs (a small program compiles in less).
constexpr size_t kDeclarationLevelBytes = platform::kSanitizedFrames ? size_t{16} << 10 : size_t{4} << 10;
constexpr size_t kStatementLevelBytes = platform::kSanitizedFrames ? size_t{10} << 10 : size_t{3} << 10;
constexpr size_t kDeepestLevelBytes = platform::kSanitizedFrames ? size_t{512} << 10 : size_t{128} << 10;

// Declared bodies and statements nest within each other, so both bounds
// shrink alike on a stack too small for both at their full depth: a program
// nested past them ends in their messages rather than in an overflow. On
// the stack the compiler asks for, they stay whole.
void fitDepthBoundsToStack(CompileContext& context) {
    const size_t room = platform::stackRoomNow();
    const size_t full = declare::kMaxDeclarationDepth * kDeclarationLevelBytes + kNestingLimit * kStatementLevelBytes;
    if (room >= full + kDeepestLevelBytes) return;
    const size_t usable = room > kDeepestLevelBytes ? room - kDeepestLevelBytes : 0;
    declarationState(context).maxDepth = static_cast<uint32_t>(declare::kMaxDeclarationDepth * usable / full);
    walkState(context).nestingLimit = static_cast<uint32_t>(kNestingLimit * usable / full);
}

}  // namespace

void compileUnit(CompileContext& context, const _KNode<qeAbstractNode>& root) {
    fitDepthBoundsToStack(context);
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
