#include "codegen/candidate_pickers.h"

#include "model/ir_object.h"

namespace codegen {

uint32_t pickBestOverload(model::IRValueList& candidates, uint32_t kind, model::IRResult*& out) {
    model::IRResult* best = nullptr;
    uint64_t bestCode = 0;
    for (model::IRResult& candidate : candidates) {
        const model::IRObject* object = candidate.objectPtr();
        // A member reached through a value answers with its member's kind.
        if (object == nullptr || (kind != kAnyKind && object->kindOf() != kind)) continue;
        const uint64_t code = candidate.addressCode(false);
        if (best != nullptr && code == bestCode) return kNoSingleBest;
        if (best == nullptr || code < bestCode) {
            best = &candidate;
            bestCode = code;
        }
    }
    if (best == nullptr) return kNoSingleBest;
    out = best;
    return kPickedOne;
}

uint32_t pickBestOverloadForArgs(model::IRValueList& candidates, const uint32_t* kinds, size_t kindCount,
                                 model::IRResult*& out) {
    model::IRResult* best = nullptr;
    // The best one's code is asked only when another candidate is held
    // against it: most names have one candidate, and after a tie the next
    // one that passes is taken whatever its code.
    bool bestCoded = false;
    uint64_t bestCode = 0;
    for (model::IRResult& candidate : candidates) {
        const model::IRObject* object = candidate.objectPtr();
        if (object == nullptr) continue;
        bool passes = false;
        for (size_t i = 0; i < kindCount && !passes; ++i) passes = kinds[i] == kAnyKind || object->kindOf() == kinds[i];
        if (!passes) continue;
        if (best == nullptr) {
            best = &candidate;
            bestCoded = false;
            continue;
        }
        if (!bestCoded) {
            bestCode = best->addressCode(false);
            bestCoded = true;
        }
        const uint64_t code = candidate.addressCode(false);
        if (code < bestCode) {
            best = &candidate;
            bestCode = code;
        } else if (code == bestCode) {
            best = nullptr;
        }
    }
    if (best == nullptr) return kNoSingleBest;
    out = best;
    return kPickedOne;
}

uint32_t findMatchingOperatorMethod(model::ModelContext* context, model::IRValueList& candidates,
                                    const qestl::SmartPtr& operand, model::IRResult*& out) {
    model::IRObject* operandClass = model::asObject(operand);
    if (operandClass == nullptr) return kNoOperatorMatch;
    model::IRResult* found = nullptr;
    for (model::IRResult& candidate : candidates) {
        if (candidate.objectPtr() == nullptr) continue;
        if (model::convertible(context, operandClass, candidate.object, true)) found = &candidate;
    }
    if (found == nullptr) return kNoOperatorMatch;
    out = found;
    return kPickedOne;
}

}  // namespace codegen
