// Construction and teardown of the program's tables.
#include "codegen/program_tables.h"

#include "codegen/instructions.h"
#include "codegen/lent_bytes.h"
#include "model/array_object.h"
#include "model/library_io.h"
#include "model/opcodes.h"

using qestl::SmartPtr;

ProgramTables::ProgramTables()
    : debugInfo_(std::make_unique<codegen::DebugInfoTable>()), resources_(std::make_unique<codegen::ResourceTable>()) {
    relocationRecord_ = codegen::makeInstruction(model::kOpRelocationTable, 2);
    importModuleRecord_ = codegen::makeInstruction(model::kOpImportModuleTable, 1);
    importTable_ = model::adoptLive(new model::ImportTable());
}

ProgramTables::~ProgramTables() {
    detachClasses();
    reset();
}

void ProgramTables::detachClasses() {
    for (auto& [key, klass] : classesById_) klass.as<model::cbircode>()->detach();
}

void ProgramTables::reset() {
    resources_->clear();
    lentBytes_ = nullptr;
    // An array type holds itself through its "length" member.
    for (auto& [serial, array] : arrayTypes_) array.as<model::ArrayObject>()->releaseAtTeardown();
    arrayTypes_.clear();
    for (SmartPtr* record : {&relocationRecord_, &importModuleRecord_, &importTable_})
        if (*record) record->as<model::cbircode>()->detach();
    relocations_.clear();
    for (const SmartPtr& entry : moduleEntries_) entry.as<model::cbircode>()->detach();
    moduleEntries_.clear();
    for (const SmartPtr& object : linkedObjects_) model::releaseReadObject(object);
    linkedObjects_.clear();
    containerOwners_.clear();
    namePool_.clear();
    typeBytes_.clear();
    debugInfo_->clear();
    globalObjects_.clear();
    symbolNames_.clear();
    classesById_.clear();
    lentFrom_ = nullptr;
    iconResource_ = model::Operand();
    exceptionOperand_ = model::Operand();
}

void ProgramTables::enterBuiltinsOf(const ProgramTables& registry) {
    lentFrom_ = &registry;
    arrayTypes_ = registry.arrayTypes_;
    globalObjects_.lendEntriesOf(registry.globalObjects_);
    if (!registry.ownLentBytes_) registry.ownLentBytes_ = std::make_unique<codegen::LentBytes>();
    lentBytes_ = registry.ownLentBytes_.get();
}

SmartPtr ProgramTables::classById(int32_t id) const {
    auto found = classesById_.find(id);
    if (found != classesById_.end()) return found->second;
    return lentFrom_ != nullptr ? lentFrom_->classById(id) : SmartPtr();
}

SmartPtr ProgramTables::arrayTypeOf(const SmartPtr& element, const SmartPtr& lengthType) {
    model::IRObject* e = model::asObject(element);
    SmartPtr& made = arrayTypes_[e != nullptr ? e->serial() : 0];
    if (!made) made = model::makeArray(element, lengthType);
    return made;
}
