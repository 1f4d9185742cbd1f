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

void ProgramEntry::setEntry(const SmartPtr& method, const SmartPtr& owner, const model::NodeHandle& node,
                            CompileDiagnostics& diagnostics) {
    if (entrySet_) return diagnostics.reportError(diag::DuplicateEntry.text, model::NodeHandle());
    entry_ = Operand();
    entry_.setObjectRef(method, 0);
    entryClass_ = owner;
    entryNode_ = node;
    entrySet_ = true;
}

void ProgramEntry::setExit(const SmartPtr& method, CompileDiagnostics& diagnostics) {
    if (exitSet_) return diagnostics.reportError(diag::DuplicateExit.text, model::NodeHandle());
    exit_ = Operand();
    exit_.setObjectRef(method, 0);
    exitSet_ = true;
}

void ProgramEntry::emit(CodeEmitter& emitter, CompileDiagnostics& diagnostics, bool sharedModule,
                        bool linkLibrary) const {
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
        return;
    }
    if (sharedModule)
        diagnostics.reportWarning(diag::ModuleWithoutEntry.warningNumber, diag::ModuleWithoutEntry.text, none);
    else if (!linkLibrary) diagnostics.reportError(diag::MissingEntry.text, none);
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
    if (!readJsonSideFile(resolveIncludePath(given), given, document, "警告: 无法读取语言描述文件 :",
                          "警告: 无效的语言描述文件 :"))
        return;
    context.tables().resources().applyLanguageMapping(document.root());
}
