// The program's entry and exit methods, the start-up code, and the language
// description file read at the end of the compile pass.
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "foundation/side_file.h"
#include "model/opcodes.h"
#include "options/compile_options.h"
#include "source/search_paths.h"

using model::Operand;
using qestl::SmartPtr;

void CompileContext::setEntryMethod(const SmartPtr& method, const SmartPtr& entryOwner, const model::NodeHandle& node) {
    if (entrySet != 0) return reportError(diag::DuplicateEntry, model::NodeHandle());
    entryOperand = Operand();
    entryOperand.setObjectRef(method, 0);
    entryClass = entryOwner;
    entryNode = node;
    entrySet = 1;
}

void CompileContext::setExitMethod(const SmartPtr& method) {
    if (exitSet != 0) return reportError(diag::DuplicateExit, model::NodeHandle());
    exitOperand = Operand();
    exitOperand.setObjectRef(method, 0);
    exitSet = 1;
}

void CompileContext::emitProgramEntry() {
    const bool module = sharedModule();
    const bool linkLibrary = options != nullptr && options->linkLibraryOutput != 0;
    const model::NodeHandle none;
    if (module && exitSet != 0) {
        emitToMainList(*codegen::makeInstructionWithOperand(model::kOpInstallexit, exitOperand).as<model::cbircode>(),
                       none);
        emitToMainList(*codegen::makeInstruction(model::kOpExit, 0).as<model::cbircode>(), none);
    }
    if (entrySet != 0) {
        if (model::IRObject* owner = model::asObject(entryClass)) {
            emitToMainList(*codegen::makePushloadThisOperand(owner->makeObjectOperand()).as<model::cbircode>(), none);
        }
        const uint32_t opcode = module ? model::kOpModuleEntry : model::kOpEntry;
        emitToMainList(*codegen::makeInstructionWithOperand(opcode, entryOperand).as<model::cbircode>(), entryNode);
        if (entryClass) emitToMainList(*codegen::makePopThis().as<model::cbircode>(), none);
        return;
    }
    if (module) reportWarning(diag::ModuleWithoutEntry, none);
    else if (!linkLibrary) reportError(diag::MissingEntry, none);
}

void loadLanguageDescription(CompileContext& context) {
    if (context.options == nullptr || context.options->languageMappingFile.empty()) return;
    const qestl::qestringW& given = context.options->languageMappingFile;
    cbjson document;
    if (!readJsonSideFile(resolveIncludePath(given), given, document, diag::LanguageFileUnreadable.text,
                          diag::LanguageFileInvalid.text))
        return;
    context.resources->applyLanguageMapping(document.root());
}
