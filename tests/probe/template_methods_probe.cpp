// korvo-probe tmethods: the template step of a call, without the call
// binder. Parses and declares like `korvo -c`, looks the method name up,
// gives it one argument per type named (a value of that type; "a|b" a value
// that may be either), and prints
// the candidates that instantiating the template methods leaves: each
// instance's signature and the head of its code, then what the instances
// reported.
#include <cstdio>
#include <cstring>
#include <string>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "declare/declaration_entries.h"
#include "driver/builtin_catalogue.h"
#include "expressions/template_methods.h"
#include "model/function_object.h"
#include "model/opcodes.h"
#include "options/compile_options.h"
#include "platform/stack_thread.h"
#include "probe.h"
#include "source/ast_nodes.h"
#include "source/source_processor.h"

namespace probe {
namespace {

using model::asObject;
using model::IRObject;

std::string shown(const qestl::SmartPtr& type) {
    IRObject* object = asObject(type);
    return object != nullptr ? std::string(object->displayName().view()) : std::string("-");
}

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

// The first type a name denotes; empty when none.
qestl::SmartPtr typeNamed(CompileContext& context, const char* name) {
    context.lookupName(name, model::NodeHandle());
    model::IRValueList found;
    context.lookup().takeResults(found);
    for (const model::IRResult& candidate : found)
        if (isTypeObject(candidate.objectPtr())) return candidate.object;
    return qestl::SmartPtr();
}

void printCandidate(const model::IRResult& candidate) {
    IRObject* object = candidate.objectPtr();
    if (object == nullptr) {
        std::printf("candidate -\n");
        return;
    }
    std::printf("candidate kind=%u %s(", object->kindOf(), object->name.c_str());
    for (uint64_t i = 0; i < object->parameterCount(); ++i) {
        IRObject* parameter = asObject(object->parameter(i));
        std::printf("%s%s", i ? ", " : "", parameter != nullptr ? shown(parameter->type).c_str() : "-");
    }
    std::printf(") -> %s\n", shown(object->returnType()).c_str());
    if (candidate.pending.empty()) return;
    const auto* jump = candidate.pending[0].as<model::cbircode>();
    uint64_t skipped = 0;
    for (size_t i = 1; i < candidate.pending.size(); ++i) skipped += candidate.pending[i].as<model::cbircode>()->encodedSize();
    std::printf("  code %zu instructions, first %s %lld, skipped size %llu, entry is instruction 1: %s\n",
                candidate.pending.size(), model::findOpcode(jump->opcode)->mnemonic,
                static_cast<long long>(jump->operands[0].value), static_cast<unsigned long long>(skipped),
                candidate.pending.size() > 1 && candidate.operand.target == candidate.pending[1] ? "yes" : "no");
    for (size_t i = 1; i < candidate.pending.size(); ++i)
        std::printf("  %s\n", model::findOpcode(candidate.pending[i].as<model::cbircode>()->opcode)->mnemonic);
}

int templateMethodsCommand(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: korvo-probe tmethods FILE NAME [-as TYPE] [-T TYPE]... [ARGTYPE[|ARGTYPE]...]...\n");
        return 2;
    }
    startConsole();
    CompileOptions options;
    options.sourceFiles.pushBack(qestl::widen(argv[0]));
    CompileContext context;
    context.setOptions(&options);
    registerBuiltinClasses(context, builtinCatalogue());
    qeSourceProcessor processor;
    if (processor.parseProject(context.project(), options) != 0 || !context.project().root) return 1;
    int status = 0;
    auto run = [&] {
        indexUsingDeclarations(context, context.project().root);
        context.declareUntilStable(nullptr, context.project().root, model::NodeHandle());
        model::NodeHandle call = makeAstNode(NodeKind::Call, argv[1]);
        model::NodeHandle written;
        model::NodeHandle argumentList = makeAstNode(NodeKind::List);
        IRValueListArray arguments;
        for (int i = 2; i < argc; ++i) {
            const bool wanted = std::strcmp(argv[i], "-as") == 0 && i + 1 < argc;
            const bool explicitType = std::strcmp(argv[i], "-T") == 0 && i + 1 < argc;
            if (wanted) {
                context.lookup().pushReceiver(typeNamed(context, argv[++i]));
            } else if (explicitType) {
                if (!written) written = makeAstNode(NodeKind::List);
                written->operands.pushBack(makeAstNode(NodeKind::Name, argv[++i]));
            } else {
                // "int|long": an argument that may be either (an overloaded name).
                arguments.emplace_back();
                std::string types(argv[i]);
                for (size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 1) {
                    bar = types.find('|', start);
                    const std::string type = types.substr(start, bar == std::string::npos ? bar : bar - start);
                    qestl::SmartPtr value =
                        model::makeObject("value", model::kKindVariable, typeNamed(context, type.c_str()), 0);
                    arguments.back().pushBack(model::IRResult(value, asObject(value)->makeObjectOperand()));
                }
                argumentList->operands.pushBack(makeAstNode(NodeKind::Name, "value"));
            }
        }
        call->operands.pushBack(makeAstNode(NodeKind::Name, argv[1]));
        call->operands.pushBack(written);
        call->operands.pushBack(argumentList);
        context.lookupName(argv[1], call);
        model::IRValueList candidates;
        context.lookup().takeResults(candidates);
        model::IRValueList methods;
        DiagnosticCapture capture;
        instantiateTemplateMethods(context, call, candidates, arguments, methods, capture);
        for (const model::IRResult& method : methods) printCandidate(method);
        if (capture.hasError) std::printf("errors \"%s\"\n", escaped(capture.errorText.view()).c_str());
        if (capture.hasWarning) std::printf("warnings \"%s\"\n", escaped(capture.warningText.view()).c_str());
        status = context.errorCount() != 0 || capture.hasError ? 1 : 0;
    };
    platform::runOnLargeStack(platform::kCompileStackBytes, run);
    return status;
}

KORVO_PROBE("tmethods", "tmethods FILE NAME [-as TYPE] [-T TYPE]... [ARGTYPE[|ARGTYPE]...]...", templateMethodsCommand);

}  // namespace
}  // namespace probe
