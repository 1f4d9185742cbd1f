// The registry: every compilation creates the catalogue's class objects, then
// the core types, then gives each catalogue row its base, members and place.
#include "builtins/builtin_registry.h"

#include <algorithm>
#include <string>
#include <vector>

#include "builtins/core_texts.h"
#include "codegen/compile_context.h"
#include "model/class_object.h"
#include "model/ir_object.h"
#include "model/template_class.h"

namespace builtins {
namespace {

using model::asObject;
using model::IRObject;

// Where RemoteCallPipe stands among the catalogue: created 26th, row 36.
constexpr uint8_t kRcpCreated = 26;
constexpr uint8_t kRcpRow = 36;
constexpr uint8_t kLastPhase3Row = 50;

std::string qualifiedName(const CatalogueClass& entry) {
    return entry.owner != nullptr ? std::string(entry.owner) + "." + entry.name : std::string(entry.name);
}

struct Entry {
    const CatalogueClass* row = nullptr;  // null: RemoteCallPipe
    qestl::SmartPtr klass;
};

qestl::SmartPtr createCatalogueClass(const CatalogueClass& row, const qestl::SmartPtr& classType) {
    qestl::SmartPtr made = row.kind == CatalogueKind::Template
                               ? model::adoptLive(new model::TemplateClassObject(classType))
                               : model::adoptLive(new model::ClassObject(classType));
    IRObject& klass = *asObject(made);
    if (row.kind == CatalogueKind::Interface) klass.modifiers |= model::kModInterface;
    // A nested class knows its outer class from birth, so every link name
    // made from it while the members are declared (its own methods', and the
    // parameters that name it, as DatagramSocket.receive does) carries the
    // outer name. A nested template gets its owner only when registered.
    if (row.owner != nullptr && row.kind != CatalogueKind::Template)
        klass.setOwner(model::IRResult(builtinNames().find(row.owner)));
    klass.setName(row.name);
    klass.setId(static_cast<uint32_t>(row.builtinId));
    return made;
}

void phase3Row(CompileContext& context, const Entry& entry) {
    BuiltinNames& names = builtinNames();
    IRObject& klass = *asObject(entry.klass);
    if (entry.row == nullptr || entry.row->kind == CatalogueKind::Template) {
        klass.setNative(true);
        if (entry.row == nullptr) {
            klass.templateParameterCount = 2;
            klass.editRare().instanceBuilder = instantiateRemoteCallPipe;
        } else {
            klass.templateParameterCount = static_cast<uint8_t>(splitNames(entry.row->typeParameters).size());
            klass.editRare().instanceBuilder = instantiateContainer;
            setContainerTemplate(*entry.row);
        }
    } else {
        if (entry.row->base != nullptr) model::asClass(&klass)->setBaseClass(names.find(entry.row->base), 64);
        // The base's tables are copied in first, so an override takes the
        // inherited slot. TimerTask's one method is the registry's own.
        const MemberText& text = entry.row->step == CatalogueStep::Registry
                                     ? coreMembers(kTimerTaskMembers)
                                     : catalogueMembers(*entry.row);
        declareMembers(*model::asClass(&klass), context, text, names);
    }
    const qestl::SmartPtr owner =
        entry.row != nullptr && entry.row->owner != nullptr ? names.find(entry.row->owner) : qestl::SmartPtr();
    context.registerBuiltinClass(owner, entry.klass);
}

}  // namespace
}  // namespace builtins

void registerBuiltinClasses(CompileContext& context, std::span<const std::span<const CatalogueClass>> catalogue,
                            bool listNamesWhenAsked) {
    using namespace builtins;
    BuiltinNames& names = builtinNames();
    names.clear();
    names.shareParameters(true);
    names.listNamesWhenAsked(listNamesWhenAsked);
    std::vector<Entry> created;
    for (std::span<const CatalogueClass> family : catalogue)
        for (const CatalogueClass& row : family)
            if (row.created != 0) created.push_back({&row, {}});
    created.push_back({nullptr, {}});
    auto createdAt = [](const Entry& e) { return e.row != nullptr ? e.row->created : kRcpCreated; };
    std::sort(created.begin(), created.end(),
              [&](const Entry& a, const Entry& b) { return createdAt(a) < createdAt(b); });
    for (Entry& entry : created) {
        entry.klass = entry.row != nullptr ? createCatalogueClass(*entry.row, context.builtins().classType)
                                           : createRemoteCallPipeClass(context.builtins().classType);
        names.add(entry.row != nullptr ? qualifiedName(*entry.row) : "RemoteCallPipe", entry.klass);
    }

    std::vector<const CatalogueClass*> early;
    for (std::span<const CatalogueClass> family : catalogue)
        for (const CatalogueClass& row : family)
            if (row.step == CatalogueStep::BuiltinTypes) early.push_back(&row);
    declareBuiltinTypes(context, early);

    std::vector<const Entry*> rows(created.size());
    std::transform(created.begin(), created.end(), rows.begin(), [](const Entry& e) { return &e; });
    auto rowOf = [](const Entry* e) { return e->row != nullptr ? e->row->row : kRcpRow; };
    std::sort(rows.begin(), rows.end(), [&](const Entry* a, const Entry* b) { return rowOf(a) < rowOf(b); });
    // Rows 51 to 61 are the late registrations: the same steps, run after
    // every row of the third phase.
    for (const Entry* entry : rows)
        if (rowOf(entry) <= kLastPhase3Row) phase3Row(context, *entry);
    for (const Entry* entry : rows)
        if (rowOf(entry) > kLastPhase3Row) phase3Row(context, *entry);
    names.shareParameters(false);
    names.listNamesWhenAsked(false);
}
