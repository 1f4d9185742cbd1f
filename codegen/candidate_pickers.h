// Choosing one candidate among the values a name, operand or argument may
// denote. Candidates are ranked as model/candidate_rank.h says: the lowest
// wins, equal ranks are a tie.
#pragma once

#include <cstdint>

#include "model/ir_result.h"

class CompileContext;

namespace model {
class ModelContext;
}  // namespace model

namespace codegen {

constexpr uint32_t kPickedOne = 0;
constexpr uint32_t kNoSingleBest = 150;
constexpr uint32_t kNoOperatorMatch = 108;
// A kind that lets every object take part.
constexpr uint32_t kAnyKind = 0xFFFFFFFFu;

// The lowest rank among the candidates with an object (of `kind`
// unless it is kAnyKind); the scan ends with kNoSingleBest at the first tie.
uint32_t pickBestOverload(model::IRValueList& candidates, uint32_t kind, model::IRResult*& out);
// A candidate takes part when its object passes one of the kinds. A tie
// forgets the best and the scan goes on, so a later candidate can still win.
uint32_t pickBestOverloadForArgs(model::IRValueList& candidates, const uint32_t* kinds, size_t kindCount,
                                 model::IRResult*& out);
// The last candidate a value of the operand's class may be stored in;
// kNoOperatorMatch when the operand is empty or nothing fits.
uint32_t findMatchingOperatorMethod(model::ModelContext* context, model::IRValueList& candidates,
                                    const qestl::SmartPtr& operand, model::IRResult*& out);

}  // namespace codegen

// The one value among the candidates an expression left (the lowest rank,
// ties dropped); null after reporting why there is none.
model::IRResult* pickSingleObject(CompileContext& context, model::IRValueList& candidates,
                                  const model::NodeHandle& node);
// The same among the candidates whose object is of one of the kinds
// (codegen::kAnyKind: any object).
model::IRResult* pickSingleObject(CompileContext& context, model::IRValueList& candidates,
                                  const model::NodeHandle& node, const uint32_t* kinds, size_t kindCount);
