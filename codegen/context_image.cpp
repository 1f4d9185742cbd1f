#include "codegen/context_image.h"

#include "codegen/compile_context.h"
#include "model/image_heap.h"
#include "model/opcodes.h"

namespace codegen {

ImageParts imagePartsOf(CompileContext& context) {
    model::Container& heap = context.heap(model::ModelContext::kGlobals);
    auto* modelHeap = heap.isModelHeap() ? static_cast<model::cbHeap*>(&heap) : nullptr;
    ImageParts parts;
    parts.context = &context;
    for (uint32_t i = 0; i < 3; ++i) parts.codeLists[i] = &context.emitter().list(i);
    // A heap of the model carries its own record; a plain container is
    // written behind a record of the same form.
    parts.heapRecord = modelHeap != nullptr ? &modelHeap->record : &context.tables().plainHeapRecord();
    parts.heap = &heap;
    ProgramTables& tables = context.tables();
    parts.lentBytes = tables.lentBytes();
    parts.resources = &tables.resources().items();
    parts.resourceTable = &tables.resources();
    parts.importTable = &tables.importTableRecord();
    parts.relocationHead = &tables.relocationRecord();
    parts.relocations = &tables.relocations().entries();
    parts.moduleHead = &tables.importModuleRecord();
    parts.modules = &tables.moduleEntries();
    return parts;
}

}  // namespace codegen

void CompileContext::resolveOperands() {
    codegen::resolveImageOperands(codegen::imagePartsOf(*this), tables_.codePlacement());
}

void CompileContext::assignAddresses() {
    tables_.setLinedRecords(
        codegen::assignImageAddresses(codegen::imagePartsOf(*this), tables_.codePlacement(), tables_.sectionStarts()));
    // Placement is asked for once after each resolution.
    tables_.codePlacement() = codegen::CodePlacement();
}
