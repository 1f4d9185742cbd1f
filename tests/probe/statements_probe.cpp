// Probe subcommands over the statement compiler:
//   intlit TEXT...           each integer literal compiled: its operand kind,
//                            data type and value, and its object's type
//   versions (CONSTRAINT ACTUAL)...   the version test of the annotations
#include <cinttypes>
#include <cstdio>
#include <map>
#include <string>

#include "codegen/compile_context.h"
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

}  // namespace

KORVO_PROBE("intlit", "TEXT...", intlitCommand);
KORVO_PROBE("versions", "(CONSTRAINT ACTUAL)...", versionsCommand);
