// What the compile pass asks of the declaration pass: names and scopes
// declared, type subtrees and base classes resolved, templates instantiated
// and native imports declared. The declaration pass's own callbacks and
// helpers are in declare/declaration_pass.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "diagnostics/diagnostics.h"
#include "foundation/qestring.h"
#include "foundation/smart_ptr.h"
#include "model/ir_object.h"
#include "model/ir_result.h"
#include "model/declaration_views.h"
#include "source/node.h"

class CompileContext;
namespace model {
class IRObject;
}  // namespace model

// Enters every using name of the tree (included units too) in the
// context's referenced packages, keyed by its dotted path.
void indexUsingDeclarations(CompileContext& context, const _KNode<qeAbstractNode>& node);
// "/a/b/c" for the dotted name a.b.c: every component after a "/".
qestl::qestringA dottedNamePath(const _KNode<qeAbstractNode>& node);
// Declares one scope (empty scope and declaration for a unit's root) behind
// the nesting limit; always 0.
int declareSubtree(CompileContext& context, const qestl::SmartPtr& scope, const _KNode<qeAbstractNode>& body,
                   const _KNode<qeAbstractNode>& declaration);

// A class of that name was declared, or had its body walked (or unwalked):
// a class of the class pass waiting on a base of that name is visited
// again.
void noteClassChanged(CompileContext& context, std::string_view name);

// Type subtrees to the objects they may denote, in the context's candidate
// list: the declaration pass defers its errors, the compile pass reports
// them at once.
void resolveTypeExpression(CompileContext& context, const qestl::SmartPtr& scope, const _KNode<qeAbstractNode>& node);
void resolveTypeReference(CompileContext& context, const _KNode<qeAbstractNode>& node);
// The base class of a class declaration, empty after an error (deferred by
// the first, reported by the second). `derivingIsStatic` is the deriving
// class's static flag, `derivingOwner` the object it is declared in (null
// for a class of the global scope).
qestl::SmartPtr resolveBaseClasses(CompileContext& context, const qestl::SmartPtr& scope,
                                   const _KNode<qeAbstractNode>& baseNode, bool derivingIsStatic,
                                   model::IRObject* derivingOwner);
qestl::SmartPtr checkBaseClass(CompileContext& context, const _KNode<qeAbstractNode>& baseNode, bool derivingIsStatic,
                               model::IRObject* derivingOwner);
bool isExtendableBase(CompileContext& context, model::IRObject* base, bool derivingIsStatic);
// A class-like object that is not a package, or an array type.
bool isTypeObject(const model::IRObject* object);
// The candidate of lowest rank among those whose object is of one of the
// kinds; a tie with the one kept ends the choice empty.
const model::IRResult* lowestRankedCandidate(const model::IRValueList& candidates, const uint32_t* kinds,
                                             size_t kindCount);

// The declaration pass's instantiation of a template (kind-42 type node):
// the instance goes to the candidate list; errors are deferred.
int declareTemplateInstance(CompileContext& context, const qestl::SmartPtr& scope, const qestl::SmartPtr& templ,
                            const _KNode<qeAbstractNode>& typeNode, bool declareInScope);
// The compile pass's: source templates go to compileClassDeclaration.
void instantiateTemplate(CompileContext& context, const qestl::SmartPtr& templ, const _KNode<qeAbstractNode>& typeNode);

// An import block (kind 64, or 84 for a dynamic table in a class).
int32_t compileNativeImportDeclaration(CompileContext& context, const _KNode<qeAbstractNode>& block,
                                       const qestl::SmartPtr& owner, bool deferErrors, bool dynamicTable);
// A native member function (kind 27 outside import blocks) of the owner
// class, or of the class being declared in the member declaration mode.
int32_t compileNativeDeclaration(CompileContext& context, const _KNode<qeAbstractNode>& node,
                                 const qestl::SmartPtr& owner, bool deferErrors);
// The built-in type of a native type name; empty for any other name.
qestl::SmartPtr builtinTypeByName(std::string_view name, const model::BuiltinTypes& builtins);
// The C spelling of a native type in stub texts ("kint ", "unknow", ...).
const char* nativeTypeName(const model::IRObject* type);

namespace declare {

using model::NodeHandle;

// The object made for the node (bindObjectToNode), if any. A node is given
// an owner only by bindObjectToNode, which takes a compiled object: no
// run-time check. A class waiting on its base is asked at every visit, and
// the check compared type names (a chain of a million classes written
// subclass first spent 2% of its time in it).
inline model::IRObject* ownerObjectOf(const NodeHandle& node) {
    return node ? static_cast<model::IRObject*>(node->owner()) : nullptr;
}
// The candidate list taken out of the context (which keeps it empty).
model::IRValueList takeCandidates(CompileContext& context);
// The first type among the candidates, and how many there are.
qestl::SmartPtr firstType(const model::IRValueList& candidates, size_t* typeCount);

// A thrown type: a throws-list item holds the written type as its text,
// read here as a type reference; other nodes are type subtrees.
void resolveThrownType(CompileContext& context, const qestl::SmartPtr& scope, const NodeHandle& node,
                       bool compilePass = false);

// The operator shapes the language allows: the entry of a wrong one, or
// null. The comparison operators must return bool.
const Diagnostic* operatorShapeError(const model::IRFunction& view, std::string_view name);
bool isComparisonOperator(std::string_view name);

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
// caller, as a plain class's base cycle is. Resolving the base
// instantiates it, whose base is resolved in turn, each within the one
// before: a chain of instance bases nests as declared bodies do and counts
// against their depth bound, whose message it gets at the base list (at
// once, and deferred in the declaration pass) when it lies past it.
class InstanceBaseGuard {
public:
    InstanceBaseGuard(CompileContext& context, std::string_view lookupName, const NodeHandle& bases,
                      bool declarationPass);
    ~InstanceBaseGuard();
    InstanceBaseGuard(const InstanceBaseGuard&) = delete;
    InstanceBaseGuard& operator=(const InstanceBaseGuard&) = delete;
    // A cycle, or too deep: the instance gives nothing.
    bool refused() const { return cycle_ || tooDeep_; }

private:
    CompileContext& context_;
    bool cycle_ = false;
    bool tooDeep_ = false;
};

}  // namespace declare
