// What the declaration pass keeps for a whole compilation, and what it
// leaves the compile pass: the classes it made that still wait to be
// compiled.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/node_set.h"
#include "codegen/pass_state.h"
#include "foundation/smart_ptr.h"
#include "model/function_object.h"

namespace declare {
class ClassPassSchedule;

// How deeply declared bodies may nest, each within the one declaring it, on
// a stack with room for them.
constexpr uint32_t kMaxDeclarationDepth = 255;
}  // namespace declare

class DeclarationState final : public PassState {
public:
    static constexpr PassSlot kSlot = PassSlot::Declaration;

    // Template instances made since the compile pass last took the queue:
    // its next batch.
    qestl::SmartPtrVector pendingClasses;
    // The names of the instances whose base class is being resolved (one
    // met again is a base cycle).
    std::vector<std::string> instanceBasesResolving;
    // Set when an instantiation bound was reported: no instance body is
    // compiled from then on, so a template that outgrew the bounds does not
    // report the same faults once per instance.
    bool instantiationStopped = false;
    // The type nodes whose instance was refused for the count of instances
    // (membership only). The count never falls within a compilation, so a
    // later run refuses them again without resolving their arguments: each
    // run over a program naming 100k instances would otherwise look up
    // every argument of every refused one again.
    codegen::NodeSet refusedForCount;
    // How deeply declared bodies nest, each within the one declaring it,
    // and how deeply they may on the stack the compilation was given.
    uint32_t depth = 0;
    uint32_t maxDepth = declare::kMaxDeclarationDepth;
    // Set when a body lay past maxDepth: the compilation fails, and a scope
    // left unsettled by it is not walked again (each nested class walked
    // again walks the ones within it again, twice per level).
    bool tooDeep = false;
    // The epoch of the chains noted as declared for good: moved on when a
    // class one may run through takes a base.
    uint64_t chainEpoch = 1;
    // The names of the parameters declared last, checked in a set once the
    // list is long.
    model::ParameterNames parameterNames;
    // The class-pass schedule of the innermost scope being declared (not
    // owned), each linking to the one around it.
    declare::ClassPassSchedule* innermostSchedule = nullptr;
};

inline DeclarationState& declarationState(CompileContext& context) { return context.passState<DeclarationState>(); }
