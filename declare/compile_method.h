// The compile-pass side of methods, constructors and operator overloads,
// shared by the method definition and its body.
#pragma once

#include "model/declaration_views.h"
#include "statements/compile_walk.h"

// Compiles the body of a declared method into its own code list and places
// that code; false after reporting why it failed.
bool compileMethodBody(CompileContext& context, const model::IRFunction& view, const qestl::SmartPtr& function,
                       const StatementNode& node);

// A method, constructor or operator definition, read through its view.
int32_t compileMethodDefinition(const model::IRFunction& view, CompileContext& context, const StatementNode& node,
                                bool isOperator);

// The call binding of a @Native method: signature resource, pushed classes,
// makenative on the main list.
void bindNativeCall(CompileContext& context, const model::IRFunction& view, const qestl::SmartPtr& function,
                    const StatementNode& node);

// The signature of a template method's instance (`node` is its clone), the
// template parameters bound as names: the function, bound to the node,
// entered in no scope; empty after an error (reported).
qestl::SmartPtr declareMethodInstance(CompileContext& context, const model::IRFunction& view,
                                      const StatementNode& node, bool isStatic, bool isOperator);

// The thrown classes of a method the compile pass declares; warning 329
// for a class listed twice ends the list. Always 0.
int32_t compileThrowsList(CompileContext& context, const qestl::SmartPtr& function, const StatementNode& list);
