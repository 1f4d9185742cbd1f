// The records of the program that the image is written from, beside the
// code lists: resources, debug lines, relocations, the import table and
// modules, what the link libraries made, the name pool, the type stream,
// the classes by id and the global objects. The image writers read this one
// object.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "codegen/debug_info_table.h"
#include "codegen/image_parts.h"
#include "codegen/relocation_table.h"
#include "codegen/resource_table.h"
#include "codegen/symbol_names.h"
#include "foundation/byte_io.h"
#include "foundation/qestring.h"
#include "foundation/rbtree.h"
#include "foundation/vector.h"
#include "model/container.h"
#include "model/library_io.h"
#include "model/name_string_pool.h"
#include "model/native_import.h"
#include "model/opcodes.h"

class ProgramTables {
public:
    ProgramTables();
    ~ProgramTables();
    ProgramTables(const ProgramTables&) = delete;
    ProgramTables& operator=(const ProgramTables&) = delete;

    // The built-ins hold each other (a template and its nested template, a
    // class typed by itself); those outside the code lists are detached
    // here, before the lists go.
    void detachClasses();
    // Empties every table; detaches the records that hold each other.
    void reset();

    // Takes over the built-in entries of the registry's tables (classes by
    // id, array types, symbol strings, global objects); the registry made
    // nothing else of these tables.
    void enterBuiltinsOf(const ProgramTables& registry);

    codegen::ResourceTable& resources() { return *resources_; }
    // The registry's memory of the lent records' image bytes, for a
    // compilation the built-ins were lent to; null otherwise.
    codegen::LentBytes* lentBytes() const { return lentBytes_; }
    const codegen::ResourceTable& resources() const { return *resources_; }
    codegen::DebugInfoTable& debugInfo() { return *debugInfo_; }
    const codegen::DebugInfoTable& debugInfo() const { return *debugInfo_; }
    codegen::RelocationTable& relocations() { return relocations_; }
    model::ImportTable& imports() { return *importTable_.as<model::ImportTable>(); }
    model::NameStringPool& namePool() { return namePool_; }
    qestl::ByteWriter& typeWriter() { return typeWriter_; }
    const qestl::ByteVector& typeBytes() const { return typeBytes_; }
    model::Container& globalObjects() { return globalObjects_; }

    // The image records of the tables: import table, relocation head, module
    // head, and the modules of the link libraries (opcode-166 records naming
    // each through a string resource).
    model::cbircode& importTableRecord() { return *importTable_.as<model::cbircode>(); }
    model::cbircode& relocationRecord() { return *relocationRecord_.as<model::cbircode>(); }
    model::cbircode& importModuleRecord() { return *importModuleRecord_.as<model::cbircode>(); }
    // The record a globals heap that is a plain container (not a model
    // heap, which carries its own) is written behind.
    model::cbircode& plainHeapRecord() { return plainHeapRecord_; }
    qestl::SmartPtrVector& moduleEntries() { return moduleEntries_; }
    // Every object the link libraries made: a class whose name an earlier
    // library took stays out of the third heap, yet is torn down with the
    // rest.
    void keepLinkedObject(const qestl::SmartPtr& object) { linkedObjects_.pushBack(object); }
    // The owners the libraries' records gave containers other than frames:
    // let go with the objects the libraries made.
    model::ContainerOwners& containerOwners() { return containerOwners_; }

    // The class of a built-in id; empty when none has it.
    qestl::SmartPtr classById(int32_t id) const;
    void setClassById(int32_t id, const qestl::SmartPtr& klass) { classesById_[id] = klass; }
    // Those registered into this table (not those of the registry a
    // compilation's built-ins were lent from).
    const std::map<int32_t, qestl::SmartPtr>& classesById() const { return classesById_; }

    // The one array type of an element type.
    qestl::SmartPtr arrayTypeOf(const qestl::SmartPtr& element, const qestl::SmartPtr& lengthType);

    void addSymbolString(std::string_view name) { symbolNames_.add(name); }
    void addSymbolString(const NodeText& name) { symbolNames_.add(name); }
    bool hasSymbolString(const NodeText& name) const {
        return symbolNames_.contains(name) || (lentFrom_ != nullptr && lentFrom_->hasSymbolString(name));
    }

    // The section values of the last layout (see codegen/image_parts.h).
    uint64_t* sectionStarts() { return sectionStarts_; }
    const uint64_t* sectionStarts() const { return sectionStarts_; }
    // The records of the first two code lists with a source position, as
    // the last layout counted them.
    uint64_t linedRecords() const { return linedRecords_; }
    void setLinedRecords(uint64_t count) { linedRecords_ = count; }
    // Where resolution placed the first code lists, for the placement after it.
    codegen::CodePlacement& codePlacement() { return codePlacement_; }
    // Operands written while their target had no place in the image: each
    // would read whatever lies at address -1.
    void countUnplacedReference() { ++unplacedReferences_; }
    uint32_t unplacedReferences() const { return unplacedReferences_; }

    // The icon of the image, and the exception operand the image header
    // names.
    model::Operand& iconResource() { return iconResource_; }
    model::Operand& exceptionOperand() { return exceptionOperand_; }

private:
    std::unique_ptr<codegen::DebugInfoTable> debugInfo_;
    std::unique_ptr<codegen::ResourceTable> resources_;
    // Made for the registry when it first lends its built-ins.
    mutable std::unique_ptr<codegen::LentBytes> ownLentBytes_;
    codegen::LentBytes* lentBytes_ = nullptr;
    qestl::SmartPtr relocationRecord_;
    qestl::SmartPtr importModuleRecord_;
    qestl::SmartPtr importTable_;  // a model::ImportTable
    model::cbircode plainHeapRecord_{model::kOpHeap, 0};
    qestl::SmartPtrVector moduleEntries_;
    qestl::SmartPtrVector linkedObjects_;
    model::ContainerOwners containerOwners_;
    codegen::RelocationTable relocations_;
    model::NameStringPool namePool_;
    qestl::ByteVector typeBytes_;  // the image's type stream
    qestl::ByteWriter typeWriter_{typeBytes_};
    std::map<int32_t, qestl::SmartPtr> classesById_;
    // The registry's tables, for a compilation its built-ins were lent to:
    // their classes by id and symbol strings are read there, not copied
    // for every compilation.
    const ProgramTables* lentFrom_ = nullptr;
    model::Container globalObjects_{model::kImageHeap};
    std::map<uint64_t, qestl::SmartPtr> arrayTypes_;  // by the element's serial
    codegen::SymbolNames symbolNames_;
    uint64_t sectionStarts_[7] = {};
    uint64_t linedRecords_ = 0;
    codegen::CodePlacement codePlacement_;
    uint32_t unplacedReferences_ = 0;
    model::Operand iconResource_;
    model::Operand exceptionOperand_;
};
