#include "codegen/image_parts.h"

namespace codegen {
namespace {

constexpr uint64_t kFirstBodyAddress = 192;
constexpr int kResolutionRounds = 16;

uint64_t placeList(model::ModelContext& context, const qestl::SmartPtrVector* list, uint64_t at) {
    if (list == nullptr) return at;
    model::forEachRecord(*list, [&](model::cbircode& record) { at = record.assignAddress(context, at); });
    return at;
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
    model::forEachRecord(*list,
                         [&](model::cbircode& record) { resolved = record.resolveOperands(context) && resolved; });
    return resolved;
}

}  // namespace

void assignImageAddresses(const ImageParts& parts, uint64_t sections[kImageSections]) {
    model::ModelContext& context = *parts.context;
    uint64_t at = kFirstBodyAddress;
    at = sections[kMainEnd] = placeList(context, parts.codeLists[0], at);
    at = sections[kSecondEnd] = placeList(context, parts.codeLists[1], at);
    if (parts.heapRecord != nullptr) {
        at = parts.heapRecord->assignAddress(context, at);
        at += heapPadding(at);
        if (parts.heap != nullptr) at = parts.heap->assignAddress(context, at);
    }
    at = sections[kThirdEnd] = placeList(context, parts.codeLists[2], at);
    at = sections[kResourcesEnd] = placeList(context, parts.resources, at);
    if (parts.importTable != nullptr) at = parts.importTable->assignAddress(context, at);
    sections[kImportTableEnd] = at;
    at = sections[kRelocationsEnd] =
        placeTable(parts.relocationHead, parts.relocations, kRelocationHeadSize, kRelocationEntrySize, at);
    sections[kModulesEnd] = placeTable(parts.moduleHead, parts.modules, kModuleHeadSize, kModuleEntrySize, at);
}

void resolveImageOperands(const ImageParts& parts) {
    model::ModelContext& context = *parts.context;
    for (int round = 0; round < kResolutionRounds; ++round) {
        bool resolved = true;
        for (const qestl::SmartPtrVector* list : parts.codeLists) resolved = resolveList(context, list) && resolved;
        if (parts.heapRecord != nullptr) resolved = parts.heapRecord->resolveOperands(context) && resolved;
        if (parts.heap != nullptr) resolved = resolveList(context, &parts.heap->members()) && resolved;
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
