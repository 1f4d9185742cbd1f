// korvo-probe declare: parses like `korvo -c`, declares the built-ins and
// runs the declaration phase, then shows every class-like object of the
// program and every native import module with its functions and stub text.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "builtins/builtin_registry.h"
#include "class_print.h"
#include "codegen/compile_context.h"
#include "declare/declaration_entries.h"
#include "driver/builtin_catalogue.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/native_import.h"
#include "options/compile_options.h"
#include "platform/stack_thread.h"
#include "probe.h"
#include "source/source_processor.h"

namespace probe {
namespace {

using model::asObject;
using model::IRObject;

bool isClassLike(const IRObject* object) {
    return object != nullptr && (object->isKind(model::kKindClass) || object->isKind(model::kKindTemplateClass));
}

// The class-likes reachable from a container, by creation serial; the
// catalogue's own classes are left out, their instances are kept.
void collect(const model::Container& container, std::map<uint64_t, IRObject*>& seen,
             std::map<uint64_t, IRObject*>& found) {
    for (const qestl::SmartPtr& member : container.members()) {
        if (model::isClassHolder(*member.as<model::cbircode>())) continue;
        IRObject* object = asObject(member);
        if (!isClassLike(object) || object->isInstance()) continue;
        if (!seen.emplace(object->serial(), object).second) continue;
        if ((object->flagsB & model::kFlagByBuiltinId) == 0) found.emplace(object->serial(), object);
        if (auto* klass = model::asClass(object)) {
            if (const model::Container* statics = klass->staticPropertiesIfMade()) collect(*statics, seen, found);
            collect(klass->dynamicProperties, seen, found);
        }
    }
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

std::string typeName(const qestl::SmartPtr& type) {
    const IRObject* object = asObject(type);
    return object != nullptr ? std::string(object->displayName().view()) : std::string("-");
}

void printModule(const model::ImportModule& module) {
    std::printf("module %s kind=%u\n", module.library.c_str(), module.kind());
    for (const qestl::SmartPtr& member : module.members()) {
        const auto* function = dynamic_cast<const model::ImportedFunction*>(asObject(member));
        if (function == nullptr) continue;
        std::printf("  import %s %s(", typeName(function->type).c_str(), function->name.c_str());
        for (uint64_t i = 0; i < function->parameterCount(); ++i) {
            const IRObject* parameter = asObject(function->parameter(i));
            std::printf("%s%s%s %s", i ? ", " : "", typeName(parameter->type).c_str(),
                        (parameter->modifiers & model::kModByReference) ? "&" : "", parameter->name.c_str());
        }
        std::printf(") conv=%d\n", static_cast<int8_t>(function->binding[0]));
    }
    std::printf("  stub \"%s\"\n", escaped(module.stubText).c_str());
}

int declareCommand(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: korvo-probe declare FILE...\n");
        return 2;
    }
    startConsole();
    CompileOptions options;
    for (int i = 0; i < argc; ++i) options.sourceFiles.pushBack(qestl::widen(argv[i]));
    CompileContext context;
    context.setOptions(&options);
    registerBuiltinClasses(context, builtinCatalogue());
    qeSourceProcessor processor;
    const bool parsed = processor.parseProject(context.project(), options) == 0;
    if (context.project().root) {
        auto declare = [&context] {
            indexUsingDeclarations(context, context.project().root);
            context.declareUntilStable(nullptr, context.project().root, model::NodeHandle());
        };
        platform::runOnLargeStack(platform::kCompileStackBytes, declare);
    }
    std::map<uint64_t, IRObject*> seen, found;
    for (const auto& heap : context.lookup().scopes().heaps) collect(*heap, seen, found);
    collect(context.lookup().globalTemplates(), seen, found);
    collect(context.tables().globalObjects(), seen, found);
    for (const auto& [serial, object] : found) {
        printClassLine(context, *object);
        if (const auto* klass = model::asClass(object)) printMembers(*klass);
    }
    for (const model::ImportModule* module : context.tables().imports().modules()) printModule(*module);
    const int status = !parsed || context.diagnostics().hasErrors() ? 1 : 0;
    context.reset();
    context.builtins().clear();
    builtins::builtinNames().clear();
    return status;
}

}  // namespace

KORVO_PROBE("declare", "FILE...", declareCommand);

}  // namespace probe
