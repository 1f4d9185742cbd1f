// Which of the candidates of one name the code means. Every picker of a
// name, an operand, an assignment target, a callee or a type compares
// candidates by this rank, the lowest winning:
//
// 1. How directly the value is reached: its address code (a parameter or a
//    local in the frame, a field of `this`, a static, anything else, no
//    object at all), with the code of the value it was reached through
//    above it (IRResult::addressCode).
// 2. Between two reached alike, the one found in the nearer scope: the
//    function's own locals and its class's members, then what the class
//    captured and each enclosing scope outward, globals last.
//
// Candidates equal in both are a tie: a name that is truly ambiguous.
//
// The lookup of a simple name does not even list what a nearer scope hides:
// it climbs outward only until a scope holds a variable or a method of the
// name (hidesOuterScopes). A class or a constructor of the name hides
// nothing, so a type further out is still found.
#pragma once

#include <compare>
#include <cstdint>

#include "model/ir_object.h"
#include "model/ir_result.h"
#include "model/model_context.h"

namespace model {

// Where a lookup found a candidate, nearest first (IRResult::reach).
enum Reach : uint8_t {
    // The function's locals and parameters, the members of its class, and
    // every value that no lookup of a simple name made.
    kReachHere = 0,
    // From 1 on: the scope that many steps out of the class whose code
    // names it, as `this[n]` counts them (an enclosing class, or the frame
    // a class was made in and the class around that frame).
    kReachOutermost = 254,
    // The heaps, the global templates, the native imports and the packages.
    kReachGlobal = 255,
};

constexpr uint8_t reachAt(uint32_t steps) {
    return steps < kReachOutermost ? static_cast<uint8_t>(steps) : uint8_t{kReachOutermost};
}

struct CandidateRank {
    uint64_t address = 0;
    uint8_t reach = kReachHere;
    friend constexpr auto operator<=>(const CandidateRank&, const CandidateRank&) = default;
};

// `storing` ranks the candidate as the target of a store, where a local
// outranks a parameter (IRResult::addressCode's flag).
inline CandidateRank rankOf(const IRResult& candidate, bool storing = false) {
    return {candidate.addressCode(storing), candidate.reach};
}

// The same with the address already worked out (a callee's match rank, an
// assignment's pair of codes).
inline CandidateRank rankOf(uint64_t address, const IRResult& candidate) { return {address, candidate.reach}; }

// Whether a candidate listed so far hides the scopes further out.
inline bool hidesOuterScopes(ModelContext& context) {
    for (size_t i = 0; i < context.candidateCount(); ++i) {
        const IRObject* found = context.candidateAt(i).objectPtr();
        if (found == nullptr) continue;
        const uint32_t kind = found->kindOf();
        if ((kind == kKindVariable || kind == kKindFunction || kind == kKindOperator) && !found->isConstructor())
            return true;
    }
    return false;
}

}  // namespace model
