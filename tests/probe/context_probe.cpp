// Probe subcommands over the compile context:
//   diag [-wn] [-we] [-lw] [-w] [-wl CODE]... [-nested] FILE STEP...
//        diagnostics through the real logger; FILE is file 0 of the project.
//        Steps: error NODE TEXT, warning CODE NODE TEXT, defer NODE TEXT,
//        settle, capture, close, report, suppress, unsuppress, excerpt NODE,
//        name NODE. TEXT takes \n and \t.
//   entry [-slk] [-kl] [-class NAME] [-main NAME]... [-exit NAME]...
//        the entry and exit code of the compile pass; list 0 a line a record
//   suggest LISTING OBJECT...
//        LISTING symbols, didyoumean, types, methods, arguments, candidates;
//        OBJECT KIND:NAME[@OWNER:LEVEL]
//   lookup [-version FILE] SOURCE NAME NODE
//        lookupName at a name node placed at NODE
// NODE is "-" (none) or F,L,C,S,E[,TEXT]: file index, 0-based line and
// column, text offsets and the node's own text; equal NODEs are one node.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ast_print.h"
#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "codegen/suggestions.h"
#include "driver/builtin_catalogue.h"
#include "driver/pipeline_files.h"
#include "foundation/logger.h"
#include "foundation/node_pool.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "options/compile_options.h"
#include "probe.h"
#include "source/ast_nodes.h"
#include "source/source_processor.h"
#include "statements/compile_unit.h"

namespace {

using probe::startConsole;
using model::IRObject;
using model::NodeHandle;
using qestl::SmartPtr;

std::string unescape(const char* text) {
    std::string out;
    for (const char* p = text; *p != 0; ++p) {
        if (*p == '\\' && p[1] == 'n') out += '\n', ++p;
        else if (*p == '\\' && p[1] == 't') out += '\t', ++p;
        else out += *p;
    }
    return out;
}

// Nodes by their spelling, so that equal spellings are one node.
class NodeTable {
public:
    NodeHandle get(const std::string& given) {
        if (given == "-") return NodeHandle();
        auto found = nodes_.find(given);
        if (found != nodes_.end()) return found->second;
        uint32_t fields[5] = {};
        size_t at = 0;
        int i = 0;
        for (; i < 5 && at <= given.size(); ++i) {
            const size_t comma = given.find(',', at);
            fields[i] = static_cast<uint32_t>(std::strtoul(given.substr(at, comma - at).c_str(), nullptr, 10));
            at = comma == std::string::npos ? given.size() + 1 : comma + 1;
        }
        const std::string text = at <= given.size() ? given.substr(at) : std::string();
        NodeHandle node = makeAstNode(NodeKind::Name, text.c_str());
        node->fileIndex = fields[0];
        node->startLine = fields[1];
        node->startColumn = fields[2];
        node->textStart = fields[3];
        node->textEnd = fields[4];
        nodes_.emplace(given, node);
        return node;
    }

private:
    std::map<std::string, NodeHandle> nodes_;
};

void printOperand(const model::Operand& operand) {
    if (operand.kind == model::kObjectReference && operand.target) {
        if (auto* object = dynamic_cast<IRObject*>(operand.target.as<model::cbircode>())) {
            std::printf(" ref:%s", object->name.c_str());
            return;
        }
    }
    std::printf(" %u/%u/%" PRId64, operand.kind, operand.dataType, operand.value);
}

int usage(const char* text) {
    std::fprintf(stderr, "usage: %s\n", text);
    return 2;
}

// ---- diag

int diagCommand(int argc, char** argv) {
    static const char* kUsage = "diag [-wn] [-we] [-lw] [-w] [-wl CODE]... [-nested] FILE STEP...";
    startConsole();
    CompileOptions options;
    bool nested = false;
    int i = 0;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != 0; ++i) {
        const std::string flag = argv[i];
        if (flag == "-wn") options.warningFlags |= kWarningFlagWn;
        else if (flag == "-we") options.warningFlags |= kWarningFlagWe;
        else if (flag == "-lw") options.warningFlags |= kWarningFlagLw;
        else if (flag == "-w") options.warningSwitch = kAllWarningsOff;
        else if (flag == "-nested") nested = true;
        else if (flag == "-wl" && i + 1 < argc) options.suppressedWarnings.insert(std::atoi(argv[++i]));
        else return usage(kUsage);
    }
    if (i >= argc) return usage(kUsage);
    static std::string text;
    if (!probe::readInput(argv[i], text)) {
        std::fprintf(stderr, "diag: cannot read %s\n", argv[i]);
        return 1;
    }
    CompileContext context;
    context.project().addSourceFile(qestl::widen(argv[i]), text.c_str());
    context.setOptions(&options);
    CompileDiagnostics::NestedUnit unit(context.diagnostics(), nested);
    std::vector<std::unique_ptr<CompileDiagnostics::SuppressWarnings>> suppressions;
    NodeTable nodes;
    std::vector<std::unique_ptr<DiagnosticCapture>> captures;
    DiagnosticCapture* closed = nullptr;
    for (++i; i < argc; ++i) {
        const std::string step = argv[i];
        auto needs = [&](int n) { return i + n < argc; };
        if (step == "error" && needs(2)) {
            context.reportError(diag::UserError, nodes.get(argv[i + 1]), unescape(argv[i + 2]));
            i += 2;
        } else if (step == "warning" && needs(3)) {
            context.reportWarningNumbered(diag::UserWarning, static_cast<uint32_t>(std::atoi(argv[i + 1])),
                                          nodes.get(argv[i + 2]), unescape(argv[i + 3]));
            i += 3;
        } else if (step == "defer" && needs(2)) {
            context.deferError(diag::UserError, nodes.get(argv[i + 1]), unescape(argv[i + 2]));
            i += 2;
        } else if (step == "settle") {
            context.reportDeferred();
        } else if (step == "capture") {
            captures.push_back(std::make_unique<DiagnosticCapture>());
            captures.back()->begin(context.diagnostics());
        } else if (step == "close" && context.diagnostics().activeCapture() != nullptr) {
            closed = context.diagnostics().activeCapture();
            closed->close(context.diagnostics());
        } else if (step == "report" && closed != nullptr) {
            closed->report(context.diagnostics());
        } else if (step == "suppress") {
            suppressions.push_back(std::make_unique<CompileDiagnostics::SuppressWarnings>(context.diagnostics()));
        } else if (step == "unsuppress") {
            if (!suppressions.empty()) suppressions.pop_back();
        } else if (step == "excerpt" && needs(1)) {
            std::printf("%s\n", context.diagnostics().sourceExcerpt(nodes.get(argv[++i])).c_str());
        } else if (step == "name" && needs(1)) {
            std::printf("%s\n", context.diagnostics().sourceName(nodes.get(argv[++i])).c_str());
        } else {
            std::fprintf(stderr, "diag: bad step '%s'\n", step.c_str());
            return 2;
        }
    }
    std::printf("errors: %u\n", context.errorCount());
    return 0;
}

// ---- entry

int entryCommand(int argc, char** argv) {
    startConsole();
    CompileOptions options;
    CompileContext context;
    context.setOptions(&options);
    SmartPtr klass;
    for (int i = 0; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "-slk") {
            options.sharedModule = 1;
        } else if (flag == "-kl") {
            options.linkLibraryOutput = 1;
        } else if ((flag == "-class" || flag == "-main" || flag == "-exit") && i + 1 < argc) {
            const char* name = argv[++i];
            if (flag == "-class") {
                klass = model::makeClass(name, context.builtins().classType);
                continue;
            }
            SmartPtr function = model::makeFunction(name, SmartPtr());
            if (klass) {
                model::asObject(function)->setStatic(true);
                model::asObject(function)->setOwner(model::IRResult(klass));
            }
            if (flag == "-main") context.setEntryMethod(function, klass, NodeHandle());
            else context.setExitMethod(function);
        } else {
            return usage("entry [-slk] [-kl] [-class NAME] [-main NAME]... [-exit NAME]...");
        }
    }
    compileUnit(context, NodeHandle());
    for (const SmartPtr& held : context.emitter().list(kMainList)) {
        const auto* record = held.as<model::cbircode>();
        std::printf("%u", record->opcode);
        for (uint64_t k = 0; k < record->operandCount; ++k) printOperand(record->operands[k]);
        std::printf("\n");
    }
    std::printf("errors: %u\n", context.errorCount());
    return 0;
}

// ---- suggest

int suggestCommand(int argc, char** argv) {
    static const char* kUsage = "suggest symbols|didyoumean|types|methods|arguments|candidates KIND:NAME[@OWNER:LEVEL]...";
    if (argc < 1) return usage(kUsage);
    startConsole();
    CompileContext context;
    std::map<std::string, SmartPtr> classes;
    model::IRValueList list;
    for (int i = 1; i < argc; ++i) {
        const std::string given = argv[i];
        const size_t colon = given.find(':');
        const size_t at = given.find('@');
        if (colon == std::string::npos) return usage(kUsage);
        const std::string kind = given.substr(0, colon);
        const std::string name = given.substr(colon + 1, at == std::string::npos ? std::string::npos : at - colon - 1);
        SmartPtr made;
        if (kind == "function") {
            made = model::makeFunction(name, SmartPtr());
        } else if (kind == "variable") {
            made = model::makeObject(name, model::kKindVariable, SmartPtr(), 0);
        } else {
            const uint32_t modifiers = kind == "class"     ? 0u
                                       : kind == "interface" ? model::kModInterface
                                       : kind == "package"   ? model::kModPackage
                                       : kind == "enum"      ? model::kModEnum
                                                             : ~0u;
            if (modifiers == ~0u) return usage(kUsage);
            made = model::makeClass(name, context.builtins().classType);
            model::asObject(made)->modifiers |= modifiers;
            classes[name] = made;
        }
        if (at != std::string::npos) {
            const size_t levelAt = given.find(':', at);
            const std::string ownerName = given.substr(at + 1, levelAt == std::string::npos ? levelAt : levelAt - at - 1);
            const uint32_t level = levelAt == std::string::npos ? 0 : std::strtoul(given.c_str() + levelAt + 1, nullptr, 10);
            auto owner = classes.find(ownerName);
            if (owner == classes.end()) return usage(kUsage);
            IRObject* object = model::asObject(made);
            object->modifiers = (object->modifiers & ~model::kModAccessMask) | (level & model::kModAccessMask);
            object->setOwner(model::IRResult(owner->second));
        }
        list.pushBack(model::IRResult(made, model::asObject(made)->makeObjectOperand()));
    }
    const std::string listing = argv[0];
    qestl::qestringA text;
    if (listing == "symbols") {
        dumpScopeSymbols(context, list, text);
    } else if (listing == "didyoumean") {
        context.lookup().nearMisses() = list;
        appendDidYouMean(context, text, NodeHandle());
    } else if (listing == "types") {
        describeTypeCandidates(list, text);
    } else if (listing == "methods") {
        describeMethodCandidates(list, text);
    } else if (listing == "arguments") {
        IRValueListArray arguments;
        for (const model::IRResult& value : list) arguments.emplace_back().pushBack(value);
        describeArgumentsAndCandidates(arguments, text);
    } else if (listing == "candidates") {
        appendCandidateList(list, text);
    } else {
        return usage(kUsage);
    }
    std::fwrite(text.c_str(), 1, text.length(), stdout);
    return 0;
}

// ---- lookup

int lookupCommand(int argc, char** argv) {
    static const char* kUsage = "lookup [-version FILE] SOURCE NAME NODE";
    startConsole();
    CompileOptions options;
    int i = 0;
    if (i + 1 < argc && std::strcmp(argv[i], "-version") == 0) {
        options.versionFile = qestl::widen(argv[i + 1]);
        readVersionFile(options);
        i += 2;
    }
    if (argc - i != 3) return usage(kUsage);
    options.sourceFiles.pushBack(qestl::widen(argv[i]));
    CompileContext context;
    context.setOptions(&options);
    qeSourceProcessor processor;
    registerBuiltinClasses(context, builtinCatalogue());
    processor.parseProject(context.project(), options);
    if (context.project().root) context.declareUntilStable(nullptr, context.project().root, NodeHandle());
    NodeTable nodes;
    context.lookupName(argv[i + 1], nodes.get(argv[i + 2]));
    std::printf("candidates: %zu\n", context.lookup().candidates().size());
    for (size_t k = 0; k < context.lookup().candidates().size(); ++k) {
        IRObject* object = context.lookup().candidates()[k].objectPtr();
        std::printf("%zu: kind %u name %s", k + 1, object ? object->kind : 0u, object ? object->name.c_str() : "");
        if (object != nullptr && object->hasConstantValue()) {
            const model::Operand value = object->constantValue();
            auto* resource = value.kind == model::kObjectReference && value.target
                                 ? dynamic_cast<codegen::ResourceItem*>(value.target.as<model::cbircode>())
                                 : nullptr;
            if (resource != nullptr && resource->kind() == codegen::kResourceString)
                std::printf(" text %s", ast_print::quoted(resource->name()).c_str());
            else if (resource == nullptr) {
                std::printf(" value");
                printOperand(value);
            }
        }
        std::printf("\n");
    }
    std::printf("near misses: %zu\n", context.lookup().nearMisses().size());
    qestl::qestringA text;
    dumpScopeSymbols(context, context.lookup().nearMisses().resolved(), text);
    std::fwrite(text.c_str(), 1, text.length(), stdout);
    return 0;
}

}  // namespace

KORVO_PROBE("diag", "[-wn] [-we] [-lw] [-w] [-wl CODE]... [-nested] FILE STEP...", diagCommand);
KORVO_PROBE("entry", "[-slk] [-kl] [-class NAME] [-main NAME]... [-exit NAME]...", entryCommand);
KORVO_PROBE("suggest", "symbols|didyoumean|types|methods|arguments|candidates KIND:NAME[@OWNER:LEVEL]...",
            suggestCommand);
KORVO_PROBE("lookup", "[-version FILE] SOURCE NAME NODE", lookupCommand);

namespace probe {

void startConsole() {
    static qeCompilerLogcat console;
    static bool started = false;
    if (started) return;
    logcatSetUp();
    logcatAddSink(&console);
    qestl::globalNodePool();
    started = true;
}

}  // namespace probe
