// korvo-probe builtins: the id map the registry leaves, one class's members,
// and a RemoteCallPipe instance built from two named classes.
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "builtins/builtin_registry.h"
#include "catalogue/network/network_catalogue.h"
#include "catalogue/system/system_catalogue.h"
#include "catalogue/text/text_catalogue.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/ir_object.h"
#include "model_test_context.h"
#include "probe.h"

namespace probe {
namespace {

using model::asObject;
using model::IRObject;

// The id map and the global names as the compile context keeps them.
class ProbeRegistrar : public builtins::ClassRegistrar {
public:
    void registerBuiltinClass(const qestl::SmartPtr& owner, const qestl::SmartPtr& klass) override {
        auto* c = model::asClass(asObject(klass));
        if (c == nullptr) return;
        IRObject* o = asObject(owner);
        if (o != nullptr) c->setOwner(model::IRResult(owner));
        std::string name(c->name.view());
        if (name == "*") name = "Object";
        if (c->builtinClassId > 0) byKey[static_cast<int32_t>(c->builtinClassId)] = klass;
        if (o == nullptr) {
            globalName[c] = name;
        } else {
            globalName[c] = "$buildin_" + name + "@" + std::string(o->name.view());
            model::asClass(o)->addClassMember(c->name.view(), klass, true);
        }
    }
    void enterReservedKey(int32_t key, const qestl::SmartPtr& klass) override { byKey[key] = klass; }

    std::map<int32_t, qestl::SmartPtr> byKey;
    std::map<const IRObject*, std::string> globalName;
};

std::string shown(const IRObject* object) {
    return object != nullptr ? std::string(object->displayName().view()) : std::string("-");
}

void printClassLine(const ProbeRegistrar& registrar, const IRObject& c) {
    const auto* klass = dynamic_cast<const model::ClassObject*>(&c);
    auto global = registrar.globalName.find(&c);
    std::printf("class %s id=%u kind=%u podid=%d rank=%d final=%d interface=%d static=%d package=%d enum=%d "
                "tparams=%u base=%s owner=%s global=%s\n",
                shown(&c).c_str(), c.builtinClassId, c.kind, static_cast<int8_t>(c.typeCode), c.numericRank,
                c.isFinal(), c.isInterface(), c.isStatic(), c.isPackage(), c.isEnum(), c.templateParameterCount,
                shown(klass != nullptr ? asObject(klass->baseClass) : nullptr).c_str(), shown(c.ownerObject()).c_str(),
                global != registrar.globalName.end() ? global->second.c_str() : "-");
}

void printTail(const IRObject& member, const IRObject& owner) {
    if (member.isFinal()) std::printf(" final");
    if (member.isAbstractMethod()) std::printf(" abstract");
    if (member.flagsA & model::kFlagOperator) std::printf(" operator");
    if (member.kind == model::kKindFunction && (member.modifiers & model::kModNotNil)) std::printf(" objret");
    if (const auto* f = dynamic_cast<const model::FunctionObject*>(&member); f != nullptr && f->throwsCount() > 0) {
        const char* separator = " throws=";
        for (const auto& entry : f->throwsSet) {
            std::printf("%s%s", separator, shown(asObject(entry.object)).c_str());
            separator = ",";
        }
    }
    const IRObject* from = member.ownerObject();
    if (from != nullptr && from != &owner) std::printf(" from=%s", shown(from).c_str());
    std::printf("\n");
}

void printProperties(const model::Container& table, char tag, const IRObject& owner) {
    for (size_t i = 0; i < table.members().size(); ++i) {
        const IRObject& m = *asObject(table.members()[i]);
        if (m.kind != model::kKindVariable) {
            std::printf("  class %c%zu %s", tag, i, m.name.c_str());
        } else {
            std::printf("  field %c%zu %s %s", tag, i, shown(asObject(m.type)).c_str(), m.name.c_str());
            if (m.hasConstantValue()) {
                const model::Operand value = m.constantValue();
                if (value.kind == model::kTypeDouble)
                    std::printf(" = %.17g", std::bit_cast<double>(value.value));
                else
                    std::printf(" = %" PRId64, value.value);
            }
        }
        printTail(m, owner);
    }
}

void printMethods(const model::Container& table, char tag, const IRObject& owner) {
    for (size_t i = 0; i < table.members().size(); ++i) {
        const IRObject& m = *asObject(table.members()[i]);
        std::printf("  method %c%zu %s %s(", tag, i, m.type ? shown(asObject(m.type)).c_str() : "-", m.name.c_str());
        for (uint64_t p = 0; p < m.parameterCount(); ++p) {
            const IRObject* parameter = asObject(m.parameter(p));
            std::printf("%s%s%s %s", p ? ", " : "", shown(asObject(parameter->type)).c_str(),
                        parameter->isNotNilptr() ? "!" : "", parameter->name.c_str());
        }
        std::printf(") op=%u desc=0x%016" PRIX64, m.opcode, static_cast<uint64_t>(m.operands[0].value));
        printTail(m, owner);
    }
}

void printMembers(const model::ClassObject& c) {
    printProperties(c.dynamicProperties, 'I', c);
    printProperties(c.staticProperties, 'S', c);
    printMethods(c.dynamicMethods, 'I', c);
    printMethods(c.staticMethods, 'S', c);
}

int builtinsCommand(int argc, char** argv) {
    TestModelContext context;
    ProbeRegistrar registrar;
    const std::span<const CatalogueClass> families[] = {textCatalogue(), systemCatalogue(), networkCatalogue()};
    builtins::registerBuiltinCatalogue(context, registrar, families);
    int status = 0;
    if (argc == 0) {
        for (const auto& [key, klass] : registrar.byKey) {
            std::printf("%d ", key);
            printClassLine(registrar, *asObject(klass));
        }
    } else if (argc == 3 && std::string(argv[0]) == "rcp") {
        const builtins::BuiltinNames& names = builtins::builtinNames();
        model::IRValueList arguments;
        for (int i = 1; i < 3; ++i) {
            qestl::SmartPtr type = names.find(argv[i]);
            if (!type) {
                std::fprintf(stderr, "no built-in class %s\n", argv[i]);
                return 2;
            }
            arguments.pushBack(model::IRResult(type));
        }
        qestl::SmartPtr made = asObject(names.find("RemoteCallPipe"))->instantiate(context, arguments, {});
        if (!context.diagnostics.empty()) std::printf("%s\n", context.diagnostics.c_str() + 1);
        auto& proxy = *model::asClass(asObject(made));
        printClassLine(registrar, proxy);
        for (size_t i = 0; i < proxy.templateArgumentTable.members().size(); ++i)
            std::printf("  targ %s %s\n", proxy.templateArgumentTable.templateParameterNameAt(i).c_str(),
                        shown(asObject(proxy.templateArgumentTable.members()[i])).c_str());
        printMembers(proxy);
        status = context.errors != 0 ? 1 : 0;
        made.as<model::cbircode>()->detach();
    } else if (argc == 1) {
        auto found = registrar.byKey.find(std::atoi(argv[0]));
        if (found == registrar.byKey.end()) {
            std::fprintf(stderr, "no class under key %s\n", argv[0]);
            return 2;
        }
        std::printf("%d ", found->first);
        printClassLine(registrar, *asObject(found->second));
        if (const auto* c = model::asClass(asObject(found->second))) printMembers(*c);
    } else {
        std::fprintf(stderr, "usage: korvo-probe builtins [KEY | rcp S C]\n");
        return 2;
    }
    std::fflush(stdout);
    // Teardown: the classes hold each other; break the cycles.
    for (auto& [key, klass] : registrar.byKey) klass.as<model::cbircode>()->detach();
    builtins::builtinNames().forEach([](const qestl::SmartPtr& held) { held.as<model::cbircode>()->detach(); });
    for (const qestl::SmartPtr& held : context.thirdList) held.as<model::cbircode>()->detach();
    for (const qestl::SmartPtr& held : context.madeArrays) held.as<model::ArrayObject>()->releaseAtTeardown();
    model::builtinTypes().clear();
    builtins::builtinNames().clear();
    return status;
}

}  // namespace

KORVO_PROBE("builtins", "[KEY | rcp S C]", builtinsCommand);

}  // namespace probe
