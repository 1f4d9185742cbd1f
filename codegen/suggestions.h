// Listings appended to the text of an error or warning when a name, type,
// method or argument could not be resolved, or resolved to several objects.
#pragma once

#include <vector>

#include "foundation/qestring.h"
#include "model/ir_result.h"

class CompileContext;

// The values of each argument of a call.
using IRValueListArray = std::vector<model::IRValueList>;

// The excerpt of the node and the near misses, when there are any.
void appendDidYouMean(CompileContext& context, qestl::qestringA& text, model::NodeHandle node);
// Every entry: kind, names, access and where it was declared.
void dumpScopeSymbols(CompileContext& context, const model::IRValueList& list, qestl::qestringA& text);
// The template a class was made from, with its arguments.
void describeTemplate(model::IRObject& object, qestl::qestringA& text);
void describeTypeCandidates(const model::IRValueList& list, qestl::qestringA& text);
void describeMethodCandidates(const model::IRValueList& list, qestl::qestringA& text);
void describeArgumentsAndCandidates(const IRValueListArray& arguments, qestl::qestringA& text);
// A short numbered list; the list is emptied.
void appendCandidateList(model::IRValueList& list, qestl::qestringA& text);
