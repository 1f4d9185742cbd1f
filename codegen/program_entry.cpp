// The program's entry and exit methods, the start-up code, and the language
// description file read at the end of the compile pass.
#include "codegen/program_entry.h"

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "foundation/side_file.h"
#include "model/opcodes.h"
#include "options/compile_options.h"
#include "source/search_paths.h"

using model::Operand;
using qestl::SmartPtr;

bool ProgramEntry::setEntry(const SmartPtr& method, const SmartPtr& owner, const model::NodeHandle& node) {
    if (entrySet_) return false;
    entry_ = Operand();
    entry_.setObjectRef(method, 0);
    entryClass_ = owner;
    entryNode_ = node;
    entrySet_ = true;
    return true;
}

bool ProgramEntry::setExit(const SmartPtr& method) {
    if (exitSet_) return false;
    exit_ = Operand();
    exit_.setObjectRef(method, 0);
    exitSet_ = true;
    return true;
}

bool ProgramEntry::emit(CodeEmitter& emitter, bool sharedModule) const {
    const model::NodeHandle none;
    if (sharedModule && exitSet_) {
        emitter.emitToMainList(*codegen::makeInstructionWithOperand(model::kOpInstallexit, exit_).as<model::cbircode>(),
                               none);
        emitter.emitToMainList(*codegen::makeInstruction(model::kOpExit, 0).as<model::cbircode>(), none);
    }
    if (entrySet_) {
        if (model::IRObject* owner = model::asObject(entryClass_)) {
            emitter.emitToMainList(*codegen::makePushloadThisOperand(owner->makeObjectOperand()).as<model::cbircode>(),
                                   none);
        }
        const uint32_t opcode = sharedModule ? model::kOpModuleEntry : model::kOpEntry;
        emitter.emitToMainList(*codegen::makeInstructionWithOperand(opcode, entry_).as<model::cbircode>(), entryNode_);
        if (entryClass_) emitter.emitToMainList(*codegen::makePopThis().as<model::cbircode>(), none);
        return true;
    }
    return false;
}

void ProgramEntry::reset() {
    entry_ = Operand();
    exit_ = Operand();
    entryClass_.reset();
    entryNode_.reset();
    entrySet_ = exitSet_ = false;
}

void loadLanguageDescription(CompileContext& context) {
    if (context.options() == nullptr || context.options()->languageMappingFile.empty()) return;
    const qestl::qestringW& given = context.options()->languageMappingFile;
    cbjson document;
    if (!readJsonSideFile(resolveIncludePath(given), given, document, diag::LanguageFileUnreadable.text,
                          diag::LanguageFileInvalid.text))
        return;
    context.tables().resources().applyLanguageMapping(document.root());
}
