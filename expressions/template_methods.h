// Template methods: the binding of their type parameters to the argument
// types of one call, and the compilation of the method for that binding.
#pragma once

#include <string>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/suggestions.h"
#include "statements/compile_walk.h"

// The binding set of one template method tried for one call: the bound type
// and the constraint base of each template parameter, by name. The bound
// map is a local scope while the method is tried, so the parameters name
// their types inside the instance.
struct TemplateBindings {
    NameMap bound;
    NameMap constraints;
};

// A template parameter bound from an argument: which argument's candidates
// give its types.
struct TemplateParameterSlot {
    uint32_t argument = 0;
    std::string name;
};

// The walk over every combination of argument types.
struct TemplateEnumeration {
    CompileContext& context;
    StatementNode call;
    const IRValueListArray& arguments;
    std::vector<TemplateParameterSlot> slots;
    const model::IRResult& method;  // the template method's candidate
    model::IRValueList& out;
};

// Binds the parameter to the argument type unless it is outside the
// parameter's constraint (reported, false); a name bound already keeps its
// type. No type: false.
bool checkTemplateArgumentBase(TemplateBindings& bindings, CompileContext& context, std::string_view name,
                               qestl::SmartPtr argumentType);

// From the slot at `depth` on: each acceptable type of its argument bound in
// turn, the last slot compiling one instance per combination into `out`.
void bindTemplateArguments(TemplateEnumeration& state, TemplateBindings& bindings, size_t depth);

// Compiles the template method of the candidate for the bindings in force;
// its results (the instance's code as a pending candidate) go to `out`.
// False when the instance had errors (they go to the enclosing capture).
bool compileTemplateMethodInstance(CompileContext& context, const model::IRResult& candidate,
                                   model::IRValueList& out);

// The candidates of a call with each template method replaced by its
// instances for the arguments. What the instances reported is in
// `capture`, closed, its texts handed to the enclosing capture when there
// is one.
void instantiateTemplateMethods(CompileContext& context, const StatementNode& node, const model::IRValueList& candidates,
                                const IRValueListArray& arguments, model::IRValueList& methods,
                                DiagnosticCapture& capture);
