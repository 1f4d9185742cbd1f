// korvo-probe builtins: the id map the registry leaves, one class's members,
// and a RemoteCallPipe instance built from two named classes.
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "driver/builtin_catalogue.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/ir_object.h"
#include "class_print.h"
#include "probe.h"

namespace probe {

using model::asObject;
using model::IRObject;

namespace {

// The name a built-in class stands under among the global built-in classes.
std::string globalNameOf(CompileContext& context, const IRObject& c) {
    const IRObject* owner = c.ownerObject();
    std::string name(c.name.view());
    if (name == "*") name = "Object";
    if (owner != nullptr) name = "$buildin_" + name + "@" + std::string(owner->name.view());
    const qestl::SmartPtr found = firstMember(*context.lookup().scopes().heaps[model::ModelContext::kBuiltinClasses],
                                              name);
    return found.get() == static_cast<const void*>(&c) ? name : std::string("-");
}

std::string shown(const IRObject* object) {
    return object != nullptr ? std::string(object->displayName().view()) : std::string("-");
}

}  // namespace

void printClassLine(CompileContext& context, const IRObject& c) {
    const auto* klass = dynamic_cast<const model::ClassObject*>(&c);
    std::printf("class %s id=%u kind=%u podid=%d rank=%d final=%d interface=%d static=%d package=%d enum=%d "
                "tparams=%u base=%s owner=%s global=%s\n",
                shown(&c).c_str(), c.builtinClassId, c.kind, static_cast<int8_t>(c.typeCode), c.numericRank,
                c.isFinal(), c.isInterface(), c.isStatic(), c.isPackage(), c.isEnum(), c.templateParameterCount,
                shown(klass != nullptr ? asObject(klass->baseClass) : nullptr).c_str(), shown(c.ownerObject()).c_str(),
                globalNameOf(context, c).c_str());
}

static void printTail(const IRObject& member, const IRObject& owner) {
    if (member.isFinal()) std::printf(" final");
    if (member.isAbstractMethod()) std::printf(" abstract");
    if (member.flagsA & model::kFlagDeclarationPending) std::printf(" pending");
    if (member.flagsA & model::kFlagOperator) std::printf(" operator");
    if (member.kind == model::kKindFunction && (member.modifiers & model::kModNotNil)) std::printf(" objret");
    if (const auto* f = dynamic_cast<const model::FunctionObject*>(&member); f != nullptr && f->throwsCount() > 0) {
        const char* separator = " throws=";
        for (const auto& entry : f->throwsSet()) {
            std::printf("%s%s", separator, shown(asObject(entry.object)).c_str());
            separator = ",";
        }
    }
    const IRObject* from = member.ownerObject();
    if (from != nullptr && from != &owner) std::printf(" from=%s", shown(from).c_str());
    std::printf("\n");
}

static void printProperties(const model::Container& table, char tag, const IRObject& owner) {
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

static void printMethods(const model::Container& table, char tag, const IRObject& owner) {
    for (size_t i = 0; i < table.members().size(); ++i) {
        const IRObject& m = *asObject(table.members()[i]);
        std::printf("  method %c%zu %s %s(", tag, i, m.type ? shown(asObject(m.type)).c_str() : "-", m.name.c_str());
        for (uint64_t p = 0; p < m.parameterCount(); ++p) {
            const IRObject* parameter = asObject(m.parameter(p));
            std::printf("%s%s%s %s", p ? ", " : "", shown(asObject(parameter->type)).c_str(),
                        parameter->isNotNilptr() ? "!" : "", parameter->name.c_str());
        }
        // A method declared from source has no native call descriptor.
        if (m.declarationNode)
            std::printf(") op=%u desc=-", m.opcode);
        else
            std::printf(") op=%u desc=0x%016" PRIX64, m.opcode, static_cast<uint64_t>(m.operands[0].value));
        printTail(m, owner);
    }
}

void printMembers(const model::ClassObject& c) {
    printProperties(c.dynamicProperties, 'I', c);
    if (const model::Container* statics = c.staticPropertiesIfMade()) printProperties(*statics, 'S', c);
    printMethods(c.dynamicMethods, 'I', c);
    if (const model::Container* statics = c.staticMethodsIfMade()) printMethods(*statics, 'S', c);
}

namespace {

// A type named on the command line: a built-in class, "[]" for an array.
qestl::SmartPtr typeNamed(CompileContext& context, std::string name) {
    size_t depth = 0;
    while (name.size() > 2 && name.ends_with("[]")) {
        name.resize(name.size() - 2);
        ++depth;
    }
    qestl::SmartPtr type = builtins::builtinNames().find(name);
    for (size_t i = 0; type && i < depth; ++i) type = context.arrayTypeOf(type);
    return type;
}

void printInstance(CompileContext& context, const model::ClassObject& instance) {
    printClassLine(context, instance);
    const model::Container* arguments = instance.templateArgumentTableIfMade();
    for (size_t i = 0; arguments != nullptr && i < arguments->members().size(); ++i)
        std::printf("  targ %s %s\n", arguments->templateParameterNameAt(i).c_str(),
                    shown(asObject(arguments->members()[i])).c_str());
    printMembers(instance);
}

// An instance of the template under KEY, built as the declaration pass builds
// one; 1 when a type is unknown, the count is wrong or nothing is built.
int instanceCommand(CompileContext& context, int argc, char** argv) {
    auto found = context.tables().classesById().find(std::atoi(argv[0]));
    IRObject* templ = found != context.tables().classesById().end() ? asObject(found->second) : nullptr;
    if (templ == nullptr || !templ->isTemplate()) {
        std::fprintf(stderr, "no template under key %s\n", argv[0]);
        return 1;
    }
    model::IRValueList arguments;
    for (int i = 1; i < argc; ++i) {
        qestl::SmartPtr type = typeNamed(context, argv[i]);
        if (!type) {
            std::fprintf(stderr, "no built-in class %s\n", argv[i]);
            return 1;
        }
        arguments.pushBack(model::IRResult(type));
    }
    if (arguments.size() != templ->templateParameterCount) {
        std::fprintf(stderr, "%s takes %u type arguments\n", templ->name.c_str(), templ->templateParameterCount);
        return 1;
    }
    qestl::SmartPtr made = templ->instantiate(context, arguments, {});
    const model::ClassObject* instance = model::asClass(asObject(made));
    if (instance == nullptr) {
        std::fprintf(stderr, "the builder made nothing\n");
        return 1;
    }
    printInstance(context, *instance);
    made.as<model::cbircode>()->detach();
    return context.errorCount() != 0 ? 1 : 0;
}

int builtinsCommand(int argc, char** argv) {
    startConsole();
    CompileContext context;
    registerBuiltinClasses(context, builtinCatalogue());
    int status = 0;
    if (argc == 0) {
        for (const auto& [key, klass] : context.tables().classesById()) {
            std::printf("%d ", key);
            printClassLine(context, *asObject(klass));
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
        printInstance(context, *model::asClass(asObject(made)));
        status = context.errorCount() != 0 ? 1 : 0;
        made.as<model::cbircode>()->detach();
    } else if (argc >= 2 && std::string(argv[0]) == "inst") {
        status = instanceCommand(context, argc - 1, argv + 1);
    } else if (argc == 1) {
        auto found = context.tables().classesById().find(std::atoi(argv[0]));
        if (found == context.tables().classesById().end()) {
            std::fprintf(stderr, "no class under key %s\n", argv[0]);
            return 2;
        }
        std::printf("%d ", found->first);
        printClassLine(context, *asObject(found->second));
        if (const auto* c = model::asClass(asObject(found->second))) printMembers(*c);
    } else {
        std::fprintf(stderr, "usage: korvo-probe builtins [KEY | rcp S C | inst KEY TYPE...]\n");
        return 2;
    }
    // The process-wide references go with the compilation they belong to.
    context.builtins().clear();
    builtins::builtinNames().clear();
    return status;
}

}  // namespace

KORVO_PROBE("builtins", "[KEY | rcp S C | inst KEY TYPE...]", builtinsCommand);

}  // namespace probe
