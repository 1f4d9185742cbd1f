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
// registrations; the catalogue's class objects exist already. The members of
// `early` (String) are declared before those of Exception.
void declareBuiltinTypes(CompileContext& context, std::span<const CatalogueClass* const> early = {});

// The type an instantiation argument stands for (a variable's type, else the
// object itself).
qestl::SmartPtr templateArgumentType(const model::IRResult& argument);

// The container templates (ids 40 to 44): the registry hands over each row,
// whose member text every instance declares. The builder returns nothing
// when given fewer arguments than the template has parameters.
void setContainerTemplate(const CatalogueClass& row);
qestl::SmartPtr instantiateContainer(model::IRObject& templ, model::ModelContext& context,
                                     model::IRValueList& arguments, const model::NodeHandle& node);
// A Map instance's hook: the slots of the key class's ">", "<", "==" and
// "!=" pushed in that order, or four zeros for a key that takes a byte or a
// String.
void resolveMapKeyOperators(model::IRObject& object, model::ModelContext& context, model::IRResult& result,
                            const model::NodeHandle& node);

// The RemoteCallPipe template (id 69) and its instance builder.
qestl::SmartPtr createRemoteCallPipeClass(const qestl::SmartPtr& classType);
qestl::SmartPtr instantiateRemoteCallPipe(model::IRObject& templ, model::ModelContext& context,
                                          model::IRValueList& arguments, const model::NodeHandle& node);
void remoteCallPipeHook(model::IRObject& object, model::ModelContext& context, model::IRResult& result,
                        const model::NodeHandle& node);

}  // namespace builtins

// Declares every built-in into the compilation in four phases (the
// catalogue's classes created, the core types, rows 1 to 50, the late rows 51
// to 61), RemoteCallPipe in its places; called once per compilation before
// any library or source is read. The driver hands over the catalogue. With
// `listNamesWhenAsked`, a catalogue class's method names are entered in its
// tables' indexes when the tables are first looked into: for a compilation
// whose built-ins are lent to no other.
void registerBuiltinClasses(CompileContext& context, std::span<const std::span<const CatalogueClass>> catalogue,
                            bool listNamesWhenAsked = false);
