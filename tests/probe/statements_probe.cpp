// Probe subcommands over the statement compiler:
//   intlit TEXT...           each integer literal compiled: its operand kind,
//                            data type and value, and its object's type
//   versions (CONSTRAINT ACTUAL)...   the version test of the annotations
//   u8u16 HEX                the UTF-16 units of UTF-8 bytes given in hex,
//                            then ok or bad
#include <cinttypes>
#include <cstdio>
#include <map>
#include <string>

#include "codegen/compile_context.h"
#include "foundation/text_number.h"
#include "model/builtin_types.h"
#include "model_fixture.h"
#include "probe.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"

namespace {

int intlitCommand(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: korvo-probe intlit TEXT...\n");
        return 2;
    }
    std::map<std::string, qestl::SmartPtr> names;
    probe::makeBuiltinFixture(names);
    int status = 1;
    {
        CompileContext context;
        status = 0;
        for (int i = 0; i < argc; ++i) {
            const _KNode<qeAbstractNode> node = makeAstNode(NodeKind::IntegerLiteral, argv[i]);
            dispatchStatement(context, node);
            if (context.candidates.size() != 1) {
                status = 1;
                continue;
            }
            const model::IRResult& result = context.candidates[0];
            const model::IRObject* type = model::asObject(result.objectPtr()->type);
            std::printf("kind=%u type=%u value=%" PRId64 " object=%s\n", result.operand.kind, result.operand.dataType,
                        result.operand.value, type != nullptr ? type->getName().c_str() : "-");
            context.clearResults();
        }
    }
    // Classes are typed by Class, itself among them: detach breaks the cycle.
    for (auto& [name, held] : names) held.as<model::cbSmartCore>()->detach();
    model::builtinTypes().clear();
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

KORVO_PROBE("intlit", "TEXT...", intlitCommand);
KORVO_PROBE("u8u16", "HEX", u8u16Command);
KORVO_PROBE("versions", "(CONSTRAINT ACTUAL)...", versionsCommand);
