// The declarations every compilation starts from: the built-in types, the
// exception tree, Thread, _system_, the RemoteCallPipe template and the
// runtime-library catalogue.
#pragma once

#include <cstdint>
#include <span>

#include "builtins/catalogue_class.h"
#include "builtins/declare_members.h"
#include "foundation/smart_ptr.h"
#include "model/model_context.h"

class CompileContext;

namespace builtins {

// What the registry needs of the compile context beyond the model's view.
class ClassRegistrar {
public:
    virtual ~ClassRegistrar() = default;
    // Enters a finished built-in class (owner empty for a top-level class).
    virtual void registerBuiltinClass(const qestl::SmartPtr& owner, const qestl::SmartPtr& klass) = 0;
    // Enters a class without id under its reserved key of the id map.
    virtual void enterReservedKey(int32_t key, const qestl::SmartPtr& klass) = 0;
};

// The built-in classes of the current compilation by name, replaced by every
// run ("Object" is the root class "*").
BuiltinNames& builtinNames();

// The types, constants, exception classes, Thread and _system_, with the 36
// registrations; the catalogue's class objects exist already (String's own
// members belong to the catalogue and come with it).
void declareBuiltinTypes(model::ModelContext& context, ClassRegistrar& registrar);

// The four phases over the catalogue (created, core types, rows 1 to 50,
// late rows 51 to 61), RemoteCallPipe in its places.
void registerBuiltinCatalogue(model::ModelContext& context, ClassRegistrar& registrar,
                              std::span<const std::span<const CatalogueClass>> catalogue);

// The RemoteCallPipe template (id 69) and its instance builder.
qestl::SmartPtr createRemoteCallPipeClass();
qestl::SmartPtr instantiateRemoteCallPipe(model::IRObject& templ, model::ModelContext& context,
                                          model::IRValueList& arguments, const model::NodeHandle& node);
void remoteCallPipeHook(model::IRObject& object, model::ModelContext& context, model::IRResult& result,
                        const model::NodeHandle& node);

}  // namespace builtins

// Declares every built-in into the compilation; called once per compilation
// before any library or source is read.
void registerBuiltinClasses(CompileContext& context);
