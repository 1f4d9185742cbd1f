// The declaration pass's own interfaces: the callbacks the walker calls by
// node kind, and the helpers the callbacks share. What the compile pass
// calls of it is in declare/declaration_entries.h.
#pragma once

#include <cstdint>
#include <string_view>

#include "codegen/compile_context.h"
#include "model/declaration_views.h"
#include "model/native_import.h"

namespace declare {

using qestl::SmartPtr;
using model::NodeHandle;

// A walker callback: the object declared for the node (classes), or empty.
using DeclarationCallback = SmartPtr (*)(CompileContext& context, const SmartPtr& scope, const NodeHandle& node,
                                         uint32_t kind);

SmartPtr declareClass(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind);
SmartPtr declareTemplateClass(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind);
SmartPtr declareFunction(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind);
SmartPtr declareOperator(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind);
SmartPtr declareVariable(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind);
SmartPtr declareConstant(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind);
SmartPtr declareNativeImport(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind);
SmartPtr declareNativeFunction(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t kind);

// The base choice of the class pass found no base it may declare with
// (the candidates it had): the class being visited waits on that name when
// only a class of that name can change the choice.
void noteUndeclarableBase(CompileContext& context, const NodeHandle& baseNode, const model::IRValueList& candidates);

// Whether the node carries @SuppressWarnings.
inline bool suppressesWarnings(const NodeHandle& node) {
    if (!node->annotations()) return false;
    for (const NodeHandle& annotation : node->annotations()->operands)
        if (annotation && annotation->text.view() == "SuppressWarnings") return true;
    return false;
}

// The object a callback gave for the node (not counted), empty when none.
inline model::IRObject* declaredObjectOf(const NodeHandle& node) {
    return node ? static_cast<model::IRObject*>(node->declaredObject()) : nullptr;
}
inline void setDeclaredObject(const NodeHandle& node, model::IRObject* object) { node->setDeclaredObject(object); }

inline bool isDeclared(const NodeHandle& node) { return node && (node->flags & NodeFlag::Declared) != 0; }
inline void markDeclared(const NodeHandle& node) { node->flags |= NodeFlag::Declared; }

// The class-like candidate of lowest rank (8 x lookup level + location); a
// tie with the one kept ends the choice empty.
model::IRObject* lowestRankedClass(const model::IRValueList& candidates);

// Bounds on template instantiation, so that a template naming ever deeper
// instances of itself (class T<X> { T<T<X>> next; }) ends in an error: the
// nesting depth and the length of an instance name, and the instances
// registered in one compilation.
constexpr size_t kMaxInstanceDepth = 64;
constexpr size_t kMaxInstanceNameLength = 4096;
constexpr uint32_t kMaxInstances = 10000;

// The parts a native member function shares with an import block's
// declaration: the parameter count (at most 24, else reported at once), the
// parameters and the return type (errors deferred or at once). False, or
// empty, after reporting.
bool nativeParameterCountFits(CompileContext& context, const NodeHandle& declaration);
bool declareNativeParameters(CompileContext& context, bool deferErrors, model::ImportedFunction& function,
                             const NodeHandle& declaration);
SmartPtr nativeReturnType(CompileContext& context, bool deferErrors, const NodeHandle& declaration);

// Reports the error at once or defers it (raising the deferred count).
template <typename... Arguments>
void raise(CompileContext& context, bool deferIt, const Diagnostic& entry, const NodeHandle& node,
           const Arguments&... arguments) {
    if (deferIt) context.deferError(entry, node, arguments...);
    else context.reportError(entry, node, arguments...);
}
// The same for a declaration both passes make (native imports and native
// members): reported at once only if no pass reported it at the node yet.
template <typename... Arguments>
void raiseOnce(CompileContext& context, bool deferIt, const Diagnostic& entry, const NodeHandle& node,
               const Arguments&... arguments) {
    if (deferIt) context.deferError(entry, node, arguments...);
    else context.reportErrorOnce(entry, node, arguments...);
}

}  // namespace declare
