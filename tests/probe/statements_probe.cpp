// Probe subcommands over the statement compiler:
//   intlit TEXT...           each integer literal compiled: its operand kind,
//                            data type and value, and its object's type
//   versions (CONSTRAINT ACTUAL)...   the version test of the annotations
//   narrow TARGET SOURCE KIND VALUE   the narrowing warnings of a store, in
//                            order, or "none" (types by built-in name, "nil"
//                            the type of nilptr; KIND 0 for a non-immediate;
//                            VALUE a floating text for kinds 6 and 7)
//   switchform VALUE...      the dispatch form of integral case values
//   u8u16 HEX                the UTF-16 units of UTF-8 bytes given in hex,
//                            then ok or bad
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <map>
#include <string>

#include "codegen/compile_context.h"
#include "codegen/diagnostic_capture.h"
#include "expressions/compile_expression.h"
#include "foundation/text_number.h"
#include "model/builtin_types.h"
#include "model_fixture.h"
#include "probe.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"
#include "statements/switch_form.h"
#include "syntax/scanner.h"

namespace {

// The built-ins are typed by Class, itself among them: detach breaks the cycle.
void releaseFixture(std::map<std::string, qestl::SmartPtr>& names) {
    for (auto& [name, held] : names) held.as<model::cbSmartCore>()->detach();
}

int intlitCommand(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: korvo-probe intlit TEXT...\n");
        return 2;
    }
    CompileContext context;
    std::map<std::string, qestl::SmartPtr> names;
    probe::makeBuiltinFixture(context.builtins(), names);
    int status = 1;
    {
        status = 0;
        for (int i = 0; i < argc; ++i) {
            const _KNode<qeAbstractNode> node = makeAstNode(NodeKind::IntegerLiteral, argv[i]);
            dispatchStatement(context, node);
            if (context.lookup().candidates().size() != 1) {
                status = 1;
                continue;
            }
            const model::IRResult& result = context.lookup().candidates()[0];
            const model::IRObject* type = model::asObject(result.objectPtr()->type);
            std::printf("kind=%u type=%u value=%" PRId64 " object=%s\n", result.operand.kind, result.operand.dataType,
                        result.operand.value, type != nullptr ? type->getName().c_str() : "-");
            context.lookup().clearResults();
        }
    }
    releaseFixture(names);
    return status;
}

int versionsCommand(int argc, char** argv) {
    if (argc < 2 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: korvo-probe versions CONSTRAINT ACTUAL...\n");
        return 2;
    }
    for (int i = 0; i < argc; i += 2)
        std::printf("%s\n", compareDottedVersions(argv[i], argv[i + 1]) ? "true" : "false");
    return 0;
}

// The numbers of the warnings in a captured text, in order.
std::string warningNumbers(const qestl::qestringA& text) {
    std::string numbers;
    const std::string_view all = text.view();
    constexpr std::string_view kTag = "[Warning:";
    for (size_t at = all.find(kTag); at != std::string_view::npos; at = all.find(kTag, at + 1)) {
        const size_t start = at + kTag.size();
        const size_t end = all.find(']', start);
        if (!numbers.empty()) numbers += ' ';
        numbers.append(all.substr(start, end - start));
    }
    return numbers.empty() ? "none" : numbers;
}

int narrowCommand(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: korvo-probe narrow TARGET SOURCE KIND VALUE\n");
        return 2;
    }
    CompileContext context;
    std::map<std::string, qestl::SmartPtr> names;
    probe::makeBuiltinFixture(context.builtins(), names);
    const auto typeNamed = [&names](std::string name) -> const qestl::SmartPtr* {
        if (name == "*") name = "Object";
        const auto found = names.find(name);
        return found != names.end() ? &found->second : nullptr;
    };
    const qestl::SmartPtr* target = typeNamed(argv[0]);
    const qestl::SmartPtr* source = typeNamed(argv[1]);
    int status = 0;
    if (target == nullptr || source == nullptr) {
        std::fprintf(stderr, "korvo-probe narrow: unknown type\n");
        status = 2;
    } else {
        const uint32_t kind = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
        int64_t value = 0;
        if (kind == model::kImmDouble) value = std::bit_cast<int64_t>(parseFloatText(argv[3]));
        else if (kind == model::kImmFloat) value = std::bit_cast<int32_t>(static_cast<float>(parseFloatText(argv[3])));
        else value = std::strtoll(argv[3], nullptr, 10);
        DiagnosticCapture capture;
        capture.begin(context.diagnostics());
        checkConstantNarrowing(context, *target, *source, model::Operand(value, kind, kind), StatementNode());
        capture.close(context.diagnostics());
        std::printf("%s\n", warningNumbers(capture.warningText).c_str());
    }
    releaseFixture(names);
    return status;
}

int switchformCommand(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: korvo-probe switchform VALUE...\n");
        return 2;
    }
    std::set<int64_t> values;
    for (int i = 0; i < argc; ++i) values.insert(std::strtoll(argv[i], nullptr, 10));
    const SwitchForm form = chooseSwitchForm(values.size(), *values.begin(), *values.rbegin());
    if (form.table) std::printf("table %" PRIu64 "\n", form.entries);
    else std::printf("sparse\n");
    return 0;
}

int u8u16Command(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: korvo-probe u8u16 HEX\n");
        return 2;
    }
    std::string bytes;
    const std::string hex = argv[0];
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = qestl::hexDigitValue(hex[i]), low = qestl::hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            std::fprintf(stderr, "korvo-probe u8u16: not hex: %s\n", argv[0]);
            return 2;
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    qestl::qestringW units;
    const bool valid = qestl::utf8ToUtf16(bytes.data(), bytes.size(), units);
    for (size_t i = 0; i < units.length(); ++i) std::printf("%04X ", static_cast<unsigned>(units[i]));
    std::printf("%s\n", valid ? "ok" : "bad");
    return 0;
}

}  // namespace

KORVO_PROBE("narrow", "TARGET SOURCE KIND VALUE", narrowCommand);
KORVO_PROBE("switchform", "VALUE...", switchformCommand);
KORVO_PROBE("intlit", "TEXT...", intlitCommand);
KORVO_PROBE("u8u16", "HEX", u8u16Command);
KORVO_PROBE("versions", "(CONSTRAINT ACTUAL)...", versionsCommand);
