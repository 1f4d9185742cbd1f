#include "driver/builtin_lending.h"

#include <memory>
#include <vector>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "driver/builtin_catalogue.h"
#include "model/builtin_types.h"
#include "model/kept_objects.h"
#include "options/compile_options.h"

namespace {

// The registry context the built-ins were registered into, kept with it.
// A compilation for a shared module takes its built-in statics from another
// heap, so it needs built-ins registered for it.
struct Registry {
    CompileOptions options;
    CompileContext context;
    model::KeptObjects kept;
    uint64_t serialMark = 0;
};

bool gLending = false;
// Never freed: held until the process ends, reachable from here.
Registry* gRegistry = nullptr;
bool gLeased = false;

void dropRegistry() {
    if (gRegistry == nullptr) return;
    gRegistry->kept.restore();
    gRegistry->kept.release();
    gRegistry->context.tables().resources().giveBackItems();
    gRegistry->context.tables().resources().releaseItems();
    delete gRegistry;
    gRegistry = nullptr;
    builtins::builtinNames().clear();
}

Registry& registryFor(bool sharedModule) {
    if (gRegistry != nullptr && gRegistry->options.sharedModule == sharedModule) return *gRegistry;
    dropRegistry();
    // The built-ins take the serials they take in a process of their own.
    model::restartSerialsAt(0);
    gRegistry = new Registry;
    gRegistry->options.sharedModule = sharedModule ? 1 : 0;
    gRegistry->context.setOptions(&gRegistry->options);
    registerBuiltinClasses(gRegistry->context, builtinCatalogue());
    gRegistry->serialMark = model::serialMark();
    CompileContext& registered = gRegistry->context;
    const model::BuiltinTypes& types = registered.builtins();
    std::vector<qestl::SmartPtr> roots(registered.emitter().list(kBuiltinClassList).begin(),
                                       registered.emitter().list(kBuiltinClassList).end());
    for (const qestl::SmartPtr& record : registered.emitter().list(kRecordList)) roots.push_back(record);
    for (const auto& [id, klass] : registered.tables().classesById()) roots.push_back(klass);
    for (int heap = 0; heap < 3; ++heap)
        for (const qestl::SmartPtr& member : registered.lookup().scopes().heaps[heap]->members())
            roots.push_back(member);
    for (const qestl::SmartPtr& member : registered.tables().globalObjects().members()) roots.push_back(member);
    for (const qestl::SmartPtr& member : registered.lookup().globalTemplates().members()) roots.push_back(member);
    for (const qestl::SmartPtr* type : {&types.wildcard, &types.nilConstant}) roots.push_back(*type);
    builtins::builtinNames().forEach([&roots](const qestl::SmartPtr& named) { roots.push_back(named); });
    gRegistry->kept.keepReachableFrom(roots);
    registered.tables().resources().keepItems();
    return *gRegistry;
}

}  // namespace

void lendBuiltinsBetweenCompilations() { gLending = true; }

bool builtinsLentBetweenCompilations() { return gLending; }

void BuiltinsLease::enter(CompileContext& context) {
    if (!gLending) {
        registerBuiltinClasses(context, builtinCatalogue(), true);
        return;
    }
    if (gLeased) model::internalFault("the built-ins are lent to two compilations at once");
    Registry& registry = registryFor(context.sharedModule());
    context.enterBuiltinsOf(registry.context);
    model::restartSerialsAt(registry.serialMark);
    gLeased = lent_ = true;
}

// Every give-back compares the objects written; the first ones, and then
// one in kCheckEvery, compare every kept object too, so that a write that
// was not noted is found within a few inputs rather than seen by the next
// compilations as a different catalogue.
constexpr uint64_t kCheckFirst = 32;
constexpr uint64_t kCheckEvery = 256;
uint64_t gGiveBacks = 0;

BuiltinsLease::~BuiltinsLease() {
    if (!lent_) return;
    ++gGiveBacks;
    const bool checkAll = gGiveBacks <= kCheckFirst || gGiveBacks % kCheckEvery == 0;
    gRegistry->kept.restore(checkAll);
    gRegistry->context.tables().resources().giveBackItems(checkAll);
    gLeased = false;
}
