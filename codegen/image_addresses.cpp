#include "codegen/image_parts.h"

#include "codegen/resource_table.h"
#include "foundation/look_ahead.h"
#include "model/class_object.h"
#include "model/opcodes.h"

namespace codegen {
namespace {

constexpr uint64_t kFirstBodyAddress = 192;
constexpr int kResolutionRounds = 16;

size_t lengthOf(const qestl::SmartPtrVector* list) { return list != nullptr ? list->size() : 0; }

model::ClassObject* classRecordOf(model::cbircode& record) {
    return record.opcode == model::kOpClassRecord ? static_cast<model::IRObject&>(record).asClassObject() : nullptr;
}

uint64_t placeList(model::ModelContext& context, const qestl::SmartPtrVector* list, uint64_t at) {
    if (list == nullptr) return at;
    model::forEachRecord(*list, [&](model::cbircode& record) { at = record.assignAddress(context, at); });
    return at;
}

// A class record enters its name and link name among the string resources
// as it is placed: in a program of a million classes each search would wait
// for memory on its own. The texts of a record some places ahead are asked
// for, and a few places later the places where their searches begin.
uint64_t placeClassList(model::ModelContext& context, const qestl::SmartPtrVector* list, const ResourceTable* names,
                        uint64_t at) {
    if (list == nullptr || names == nullptr) return placeList(context, list, at);
    constexpr size_t kTextsAhead = 12, kSearchesAhead = 6;
    const size_t count = list->size();
    auto classAt = [&](size_t i) -> model::IRObject* {
        if (i >= count) return nullptr;
        auto* record = (*list)[i].as<model::cbircode>();
        return record->opcode == model::kOpClassRecord ? static_cast<model::IRObject*>(record) : nullptr;
    };
    size_t i = 0;
    model::forEachClassRecord(*list, [&](model::cbircode& record) {
        if (!names->stringsOutgrowCaches()) {
            ++i;
            at = record.assignAddress(context, at);
            return;
        }
        if (model::IRObject* later = classAt(i + kTextsAhead)) {
            qestl::touch(later->name.c_str());
            qestl::touch(later->linkName().c_str());
        }
        if (model::IRObject* later = classAt(i + kSearchesAhead)) {
            names->prefetchString(later->name.view());
            names->prefetchString(later->linkName().view());
        }
        ++i;
        at = record.assignAddress(context, at);
    });
    return at;
}

// The same, counting the records that have a source position: the debug
// record announces their lines, and a pass of its own over every record of
// a large program waited for each again.
uint64_t placeCodeList(model::ModelContext& context, const qestl::SmartPtrVector* list, uint64_t at, uint64_t& lined) {
    if (list == nullptr) return at;
    model::forEachRecord(*list, [&](model::cbircode& record) {
        at = record.assignAddress(context, at);
        lined += record.sourceNode ? 1 : 0;
    });
    return at;
}

// Resolves a code list and places it in the same walk, while no record
// rules that out.
bool resolveAndPlaceList(model::ModelContext& context, const qestl::SmartPtrVector* list, uint64_t& at, uint64_t& lined,
                         bool& placing) {
    bool resolved = true;
    if (list == nullptr) return resolved;
    model::forEachCodeRecord(*list, [&](model::cbircode& record) {
        // Plain instructions, nearly all of a code list, are resolved and
        // placed without a virtual call.
        const bool plain = model::isPlainInstruction(record);
        resolved = (plain ? record.resolveInstruction(context) : record.resolveOperands(context)) && resolved;
        if (!placing) return;
        if (record.opcode == model::kOpClassRecord) {
            placing = false;
            return;
        }
        at = plain ? record.placeInstruction(at) : record.assignAddress(context, at);
        lined += record.sourceNode ? 1 : 0;
    });
    return resolved;
}

// A table head, then its entries at a fixed spacing, whatever their records'
// own lengths.
uint64_t placeTable(model::cbircode* head, const qestl::SmartPtrVector* entries, uint64_t headSize,
                    uint64_t entrySize, uint64_t at) {
    if (head != nullptr) head->codeAddress = at;
    at += headSize;
    if (entries != nullptr)
        for (const qestl::SmartPtr& entry : *entries) {
            entry.as<model::cbircode>()->codeAddress = at;
            at += entrySize;
        }
    return at;
}

bool resolveList(model::ModelContext& context, const qestl::SmartPtrVector* list) {
    bool resolved = true;
    if (list == nullptr) return resolved;
    model::forEachCodeRecord(*list,
                             [&](model::cbircode& record) { resolved = record.resolveOperands(context) && resolved; });
    return resolved;
}

// The third list, noting the class records it resolves in this walk.
bool resolveClassList(model::ModelContext& context, const qestl::SmartPtrVector* list, uint64_t walk) {
    bool resolved = true;
    if (list == nullptr) return resolved;
    model::forEachClassRecord(*list, [&](model::cbircode& record) {
        resolved = record.resolveOperands(context) && resolved;
        if (model::ClassObject* klass = classRecordOf(record)) klass->noteResolvedIn(walk);
    });
    return resolved;
}

// The members of the first heap, but for the class records resolved in
// this walk already: resolving again changes nothing (an operand resolved
// no longer names what resolution replaces), and in a program of a million
// classes it waited for every class and its members once more.
bool resolveHeapMembers(model::ModelContext& context, const model::Container::MemberList& members, uint64_t walk) {
    bool resolved = true;
    model::forEachRecord(members, [&](model::cbircode& record) {
        const model::ClassObject* klass = classRecordOf(record);
        if (klass != nullptr && klass->resolvedInWalk == walk) return;
        resolved = record.resolveOperands(context) && resolved;
    });
    return resolved;
}

}  // namespace

uint64_t assignImageAddresses(const ImageParts& parts, const CodePlacement& placement,
                              uint64_t sections[kImageSections]) {
    model::ModelContext& context = *parts.context;
    uint64_t at = kFirstBodyAddress;
    uint64_t lined = 0;
    if (placement.placed && lengthOf(parts.codeLists[0]) == placement.lengths[0] &&
        lengthOf(parts.codeLists[1]) == placement.lengths[1]) {
        at = sections[kMainEnd] = placement.ends[0];
        at = sections[kSecondEnd] = placement.ends[1];
        lined = placement.lined;
    } else {
        at = sections[kMainEnd] = placeCodeList(context, parts.codeLists[0], at, lined);
        at = sections[kSecondEnd] = placeCodeList(context, parts.codeLists[1], at, lined);
    }
    if (parts.heapRecord != nullptr) {
        at = parts.heapRecord->assignAddress(context, at);
        at += heapPadding(at);
        if (parts.heap != nullptr) at = parts.heap->assignAddress(context, at);
    }
    at = sections[kThirdEnd] = placeClassList(context, parts.codeLists[2], parts.resourceTable, at);
    at = sections[kResourcesEnd] = placeList(context, parts.resources, at);
    if (parts.importTable != nullptr) at = parts.importTable->assignAddress(context, at);
    sections[kImportTableEnd] = at;
    at = sections[kRelocationsEnd] =
        placeTable(parts.relocationHead, parts.relocations, kRelocationHeadSize, kRelocationEntrySize, at);
    sections[kModulesEnd] = placeTable(parts.moduleHead, parts.modules, kModuleHeadSize, kModuleEntrySize, at);
    return lined;
}

void resolveImageOperands(const ImageParts& parts, CodePlacement& placement) {
    model::ModelContext& context = *parts.context;
    placement = CodePlacement();
    for (int round = 0; round < kResolutionRounds; ++round) {
        const uint64_t walk = context.nextResolutionWalk();
        bool resolved = true;
        if (round == 0) {
            uint64_t at = kFirstBodyAddress;
            bool placing = true;
            for (int i = 0; i < 2; ++i) {
                resolved = resolveAndPlaceList(context, parts.codeLists[i], at, placement.lined, placing) && resolved;
                placement.lengths[i] = lengthOf(parts.codeLists[i]);
                placement.ends[i] = at;
            }
            placement.placed = placing;
        } else {
            placement.placed = false;
            resolved = resolveList(context, parts.codeLists[0]) && resolved;
            resolved = resolveList(context, parts.codeLists[1]) && resolved;
        }
        resolved = resolveClassList(context, parts.codeLists[2], walk) && resolved;
        if (parts.heapRecord != nullptr) resolved = parts.heapRecord->resolveOperands(context) && resolved;
        if (parts.heap != nullptr) resolved = resolveHeapMembers(context, parts.heap->members(), walk) && resolved;
        resolveList(context, parts.resources);
        if (parts.importTable != nullptr) parts.importTable->resolveOperands(context);
        if (parts.relocationHead != nullptr) parts.relocationHead->resolveOperands(context);
        resolveList(context, parts.relocations);
        if (parts.moduleHead != nullptr) parts.moduleHead->resolveOperands(context);
        resolveList(context, parts.modules);
        if (resolved) return;
    }
    model::internalFault("internal error: operands still unresolved after %d rounds", kResolutionRounds);
}

}  // namespace codegen
