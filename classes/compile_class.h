// The compile pass of classes: class, interface, package and enum bodies,
// template instances and the anonymous classes of `new T(...) { ... }`.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "codegen/compile_context.h"
#include "model/declaration_views.h"
#include "statements/compile_walk.h"

// The construct a class-like declaration stands for, as the compile pass of
// classes takes it: a class (the Class node kind) or the package, interface
// and enum constructs that a Class node carries in its flags.
enum ClassConstruct : uint32_t {
    kConstructPackage = 28,
    kConstructInterface = 30,
    kConstructClass = NodeKind::Class,
    kConstructEnum = 86,
};

// The compile-pass side of a class, interface, package or enum (`kind`, a
// ClassConstruct), and of a queued template instance (`origin` holds its
// template then).
int32_t compileClassDeclaration(CompileContext& context, model::IRObject* parent, const StatementNode& node,
                                qestl::SmartPtr& origin, uint32_t kind, bool global);

// The anonymous class of `new T(...) { ... }` (the kind-33 node), derived
// from T; the class, or an instance standing for it, becomes the only
// candidate.
int32_t compileTemporaryClass(CompileContext& context, model::IRObject* parent, const StatementNode& node,
                              qestl::SmartPtr& origin, uint32_t kind, bool global);

namespace classes {

using model::NodeHandle;
using qestl::SmartPtr;

// The instance class that compileClassDeclaration compiles for a template
// (`origin`): the queued instance whose cloned declaration is `given`, or
// the one a type node names, made here when no instance of its name
// exists. Empty after an error (reported).
SmartPtr templateInstanceToCompile(CompileContext& context, const NodeHandle& given, const SmartPtr& origin,
                                   bool global);

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

}  // namespace classes
