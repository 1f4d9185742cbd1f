// The declaration pass's own interfaces: the callbacks the walker calls by
// node kind, and the helpers the callbacks share. What the statement and
// expression compilers call of it is in statements/compile_walk.h.
#pragma once

#include <cstdint>
#include <string_view>

#include "codegen/compile_context.h"
#include "model/declaration_views.h"
#include "model/native_import.h"
#include "statements/compile_walk.h"

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

// A class of that name was made, declared, or had its body walked (or
// unwalked): a class of the class pass waiting on a base of that name is
// visited again.
void noteClassChanged(CompileContext& context, std::string_view name);
// The base choice of the class pass found no base it may declare with
// (the candidates it had): the class being visited waits on that name when
// only a class of that name can change the choice.
void noteUndeclarableBase(CompileContext& context, const NodeHandle& baseNode, const model::IRValueList& candidates);

// The object a callback gave for the node (not counted), empty when none.
model::IRObject* declaredObjectOf(const NodeHandle& node);
void setDeclaredObject(const NodeHandle& node, model::IRObject* object);
// The node's owner object when it is a compiled object.
model::IRObject* ownerObjectOf(const NodeHandle& node);

inline bool isDeclared(const NodeHandle& node) { return node && (node->flags & NodeFlag::Declared) != 0; }
inline void markDeclared(const NodeHandle& node) { node->flags |= NodeFlag::Declared; }

// The candidate list taken out of the context (which keeps it empty).
model::IRValueList takeCandidates(CompileContext& context);
// The first type among the candidates, and how many there are.
SmartPtr firstType(const model::IRValueList& candidates, size_t* typeCount);

// A thrown type: a throws-list item holds the written type as its text,
// read here as a type reference; other nodes are type subtrees.
void resolveThrownType(CompileContext& context, const SmartPtr& scope, const NodeHandle& node,
                       bool compilePass = false);

// The class-like candidate of lowest rank (8 x lookup level + location); a
// tie with the one kept ends the choice empty.
model::IRObject* lowestRankedClass(const model::IRValueList& candidates);

// The instance class that compileClassDeclaration compiles for a template
// (`origin`): the queued instance whose cloned declaration is `given`, or
// the one a type node names, made here when no instance of its name
// exists. Empty after an error (reported).
SmartPtr templateInstanceToCompile(CompileContext& context, const NodeHandle& given, const SmartPtr& origin,
                                   bool global);

// Bounds on template instantiation, so that a template naming ever deeper
// instances of itself (class T<X> { T<T<X>> next; }) ends in an error: the
// nesting depth and the length of an instance name, and the instances
// registered in one compilation.
constexpr size_t kMaxInstanceDepth = 64;
constexpr size_t kMaxInstanceNameLength = 4096;
constexpr uint32_t kMaxInstances = 10000;

// False after raising (at the type node) why no instance of that name may
// be made: too deep or too long a name (checked before an instance's base
// is resolved), or too many instances made already (checked when a new
// one is about to be made).
bool instanceNameFits(CompileContext& context, bool deferIt, std::string_view lookupName, const NodeHandle& typeNode);
bool instanceCountFits(CompileContext& context, bool deferIt, const NodeHandle& typeNode);

// The instance's name stays listed while its base class is resolved. A
// name listed already is a cycle through instances (A<T> : B<T> and
// B<T> : A<T>, or A<T> : A<A<T>>): that instantiation gives nothing, so
// the base or argument that named it is reported as unresolved by its
// caller, as a plain class's base cycle is.
class InstanceBaseGuard {
public:
    InstanceBaseGuard(CompileContext& context, std::string_view lookupName);
    ~InstanceBaseGuard();
    InstanceBaseGuard(const InstanceBaseGuard&) = delete;
    InstanceBaseGuard& operator=(const InstanceBaseGuard&) = delete;
    bool cycle() const { return cycle_; }

private:
    CompileContext& context_;
    bool cycle_ = false;
};

// The operator shapes the language allows: the message of a wrong one, or
// null. The comparison operators must return bool.
const char* operatorShapeError(const model::IRFunction& view, std::string_view name);
bool isComparisonOperator(std::string_view name);

// The parts a native member function shares with an import block's
// declaration: the parameter count (at most 24, else reported at once), the
// parameters and the return type (errors deferred or at once). False, or
// empty, after reporting.
bool nativeParameterCountFits(CompileContext& context, const NodeHandle& declaration);
bool declareNativeParameters(CompileContext& context, bool deferErrors, model::ImportedFunction& function,
                             const NodeHandle& declaration);
SmartPtr nativeReturnType(CompileContext& context, bool deferErrors, const NodeHandle& declaration);

// Registers a class the compile pass made and binds it to its node; false
// after reporting that the name is taken.
bool registerCompiledClass(CompileContext& context, const SmartPtr& classRef, const NodeHandle& node, bool global,
                           bool isStatic, model::Operand& registration);

// Hides what the code around a class body or a type argument sees and they
// must not: the locals of the function being compiled, and the type its
// expression expects (whose static members a name would otherwise reach:
// in `Q<B, A> z = new Q<B, A>();` B would also name z's own argument).
class OuterCodeHidden {
public:
    explicit OuterCodeHidden(CompileContext& context);
    ~OuterCodeHidden();
    OuterCodeHidden(const OuterCodeHidden&) = delete;
    OuterCodeHidden& operator=(const OuterCodeHidden&) = delete;

private:
    CompileContext& context_;
    std::vector<NameMap*> locals_;
    SmartPtr receiver_;
};

// The class's scope with the member declaration mode, while a body compiles.
class ClassBodyScope {
public:
    ClassBodyScope(CompileContext& context, const SmartPtr& classRef);
    ~ClassBodyScope();
    ClassBodyScope(const ClassBodyScope&) = delete;
    ClassBodyScope& operator=(const ClassBodyScope&) = delete;

private:
    CompileContext& context_;
    uint32_t savedMode_;
};

// Compiles a class body in the class's scope: its member declarations and
// statements, then the class initialiser on the current list and the member
// code on list 1.
void compileClassBody(CompileContext& context, const SmartPtr& classRef, const model::IRClass& view,
                      const NodeHandle& node, const model::Operand& registration);

// Reports the error at once or defers it (raising the deferred count).
void raise(CompileContext& context, bool deferIt, std::string_view text, const NodeHandle& node);
// The same for a declaration both passes make (native imports and native
// members): reported at once only if no pass reported it at the node yet.
void raiseOnce(CompileContext& context, bool deferIt, std::string_view text, const NodeHandle& node);

}  // namespace declare
