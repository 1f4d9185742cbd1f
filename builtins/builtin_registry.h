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

// The built-in classes of the current compilation by name, replaced by every
// run ("Object" is the root class "*").
BuiltinNames& builtinNames();

// The types, constants, exception classes, Thread and _system_, with the 36
// registrations; the catalogue's class objects exist already (String's own
// members belong to the catalogue and come with it).
void declareBuiltinTypes(CompileContext& context);

// The RemoteCallPipe template (id 69) and its instance builder.
qestl::SmartPtr createRemoteCallPipeClass();
qestl::SmartPtr instantiateRemoteCallPipe(model::IRObject& templ, model::ModelContext& context,
                                          model::IRValueList& arguments, const model::NodeHandle& node);
void remoteCallPipeHook(model::IRObject& object, model::ModelContext& context, model::IRResult& result,
                        const model::NodeHandle& node);

}  // namespace builtins

// Declares every built-in into the compilation in four phases (the
// catalogue's classes created, the core types, rows 1 to 50, the late rows 51
// to 61), RemoteCallPipe in its places; called once per compilation before
// any library or source is read. The driver hands over the catalogue.
void registerBuiltinClasses(CompileContext& context, std::span<const std::span<const CatalogueClass>> catalogue);
