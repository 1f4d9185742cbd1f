// The compile-pass side of methods, constructors and operator overloads,
// shared by the method definition and its body.
#pragma once

#include "model/declaration_views.h"
#include "statements/compile_walk.h"

// Compiles the body of a declared method into its own code list and places
// that code; false after reporting why it failed.
bool compileMethodBody(CompileContext& context, const model::IRFunction& view, const qestl::SmartPtr& function,
                       const StatementNode& node);

// A link library writes declaration trees and native sources are written
// from the tree; every other output is made from the compiled code alone,
// and a compiled body's nodes may go.
bool bodiesOutliveTheirCode(const CompileContext& context);

// A method, constructor or operator definition, read through its view.
int32_t compileMethodDefinition(const model::IRFunction& view, CompileContext& context, const StatementNode& node,
                                bool isOperator);

// The call binding of a @Native method: signature resource, pushed classes,
// makenative on the main list.
void bindNativeCall(CompileContext& context, const model::IRFunction& view, const qestl::SmartPtr& function,
                    const StatementNode& node);

// Declares a method the declaration pass did not (a template method instance
// above all), reporting every failure at once; the method, or empty.
qestl::SmartPtr declareMethodInCompilePass(CompileContext& context, const model::IRFunction& view,
                                           const StatementNode& node, bool isOperator, bool isStatic);

// Fills the method's throws set from its throws list; warning 329 for a
// type listed twice ends the list. Always 0.
int32_t compileThrowsList(CompileContext& context, const qestl::SmartPtr& function, const StatementNode& list);

// Appends to `out` the calls of the parameterless constructors that making
// an object of the class needs; false when a base declares constructors but
// none without parameters, or the call failed.
bool emitBaseConstructorCalls(const qestl::SmartPtr& klass, CompileContext& context, model::IRResult& out,
                              const StatementNode& node);

// Declares and compiles the clone of a template method's declaration as a
// method, its template parameters bound as names; its code is left as the
// one pending candidate. Errors go to the active capture.
void compileTemplateMethodClone(CompileContext& context, const model::IRFunction& clone);
