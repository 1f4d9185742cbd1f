// What the expression compiler keeps for a whole compilation.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/pass_state.h"
#include "expressions/operator_probe_cache.h"
#include "model/ir_result.h"

class CalleeMembers;

class ExpressionState final : public PassState {
public:
    static constexpr PassSlot kSlot = PassSlot::Expressions;

    // Deferred values compiled on trial, by their node's serial: the results
    // and whether that compilation reported errors; and the serials whose
    // trial is under way.
    struct Trial {
        model::IRValueList results;
        bool failed = false;
    };
    std::map<uint32_t, Trial> trials;
    std::set<uint32_t> trialsUnderWay;
    // The extra operands of the member accesses being resolved, innermost
    // last: the "." operator method gets them after the member's name.
    std::vector<model::IRValueList> valueLists;
    // Set while an array allocation compiles its element type: the
    // subscript met there names a nested array type.
    bool arrayTypeHint = false;
    // The call whose callee is being compiled, when it takes that member
    // access's members bare.
    CalleeMembers* calleeMembers = nullptr;
    OperatorProbeCache operatorProbes;
};

inline ExpressionState& expressionState(CompileContext& context) { return context.passState<ExpressionState>(); }
