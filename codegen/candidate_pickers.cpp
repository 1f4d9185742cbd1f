#include "codegen/candidate_pickers.h"

#include <iterator>

#include "codegen/compile_context.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"

#include "model/candidate_rank.h"
#include "model/ir_object.h"

namespace codegen {

uint32_t pickBestOverload(model::IRValueList& candidates, uint32_t kind, model::IRResult*& out) {
    model::IRResult* best = nullptr;
    model::CandidateRank bestRank;
    for (model::IRResult& candidate : candidates) {
        const model::IRObject* object = candidate.objectPtr();
        // A member reached through a value answers with its member's kind.
        if (object == nullptr || (kind != kAnyKind && object->kindOf() != kind)) continue;
        const model::CandidateRank rank = model::rankOf(candidate);
        if (best != nullptr && rank == bestRank) return kNoSingleBest;
        if (best == nullptr || rank < bestRank) {
            best = &candidate;
            bestRank = rank;
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
    model::CandidateRank bestRank;
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
            bestRank = model::rankOf(*best);
            bestCoded = true;
        }
        const model::CandidateRank rank = model::rankOf(candidate);
        if (rank < bestRank) {
            best = &candidate;
            bestRank = rank;
        } else if (rank == bestRank) {
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

model::IRResult* pickSingleObject(CompileContext& context, model::IRValueList& candidates,
                                  const model::NodeHandle& node) {
    // Values, methods and operators take part.
    static constexpr uint32_t kValueKinds[] = {model::kKindVariable, model::kKindFunction, model::kKindOperator};
    return pickSingleObject(context, candidates, node, kValueKinds, std::size(kValueKinds));
}

model::IRResult* pickSingleObject(CompileContext& context, model::IRValueList& candidates,
                                  const model::NodeHandle& node, const uint32_t* kinds, size_t kindCount) {
    if (candidates.empty()) {
        qestl::qestringA listing;
        if (!context.lookup().nearMisses().empty()) appendDidYouMean(context, listing, node);
        context.reportError(diag::UndefinedIdentifier, node, listing);
        return nullptr;
    }
    // A tie drops the best, and a later candidate may win again.
    model::IRResult* best = nullptr;
    codegen::pickBestOverloadForArgs(candidates, kinds, kindCount, best);
    if (best != nullptr) return best;
    qestl::qestringA listing;
    dumpScopeSymbols(context, candidates, listing);
    context.reportError(diag::AmbiguousObject, node, listing);
    return nullptr;
}
