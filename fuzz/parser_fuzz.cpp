// Any byte sequence given to the scanner, the grammar and the source processor
// must be recognised or refused cleanly: no read outside the text, no leak of
// window records, and a syntax tree (parsed once, cloned, released) that gives
// back every node it took, and a declaration phase over that tree (with the
// built-in classes declared) that ends without crash, hang or leak. Nothing
// touches the disk.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "codegen/compile_context.h"
#include "declare/declaration_entries.h"
#include "driver/builtin_lending.h"
#include "foundation/path.h"
#include "fuzz/max_len.h"
#include "platform/stack_thread.h"
#include "source/ast_nodes.h"
#include "source/source_processor.h"
#include "source/source_project.h"
#include "syntax/scanner.h"

namespace {

void scanWhole(const char* text, int32_t length) {
    for (int32_t offset = 0; offset < length;) {
        TokenCode kind = 0;
        int32_t step = scanner::scanTokenAt(text, length, offset, &kind);
        if (step < 0 || offset + step > length) break;
        if (step == 0) std::abort();  // only the end of the text has no length
        offset += step;
    }
}

// The declaration phase as a compilation runs it, then every object and
// process-wide reference of the compilation let go.
void declareTree(const _KNode<qeAbstractNode>& unit) {
    lendBuiltinsBetweenCompilations();
    BuiltinsLease builtins;
    CompileContext context;
    builtins.enter(context);
    auto declare = [&context, &unit] {
        indexUsingDeclarations(context, unit);
        context.declareUntilStable(nullptr, unit, _KNode<qeAbstractNode>());
    };
    platform::runOnLargeStack(platform::kCompileStackBytes, declare);
    context.reset();
}

// Parses the input as a project of one source held in memory, clones the
// tree and lets both go: afterwards no node may be left alive and no include
// may be open.
void parseAndRelease(const uint8_t* data, size_t size) {
    const size_t before = LiveNodeRegistry::count();
    {
        SourceProject project;
        qeSourceProcessor processor;
        _KNode<qeAbstractNode> unit;
        processor.parseSourceText(project, qestl::qestringW(u"fuzz.k"), reinterpret_cast<const char*>(data), size,
                                  unit);
        _KNode<qeAbstractNode> copy;
        if (unit) cloneAstSubtree(unit.get(), copy);
        if (unit) declareTree(unit);
        if (project.includeGuard.size() != 0) std::abort();
    }
    if (LiveNodeRegistry::count() != before) std::abort();
}

}  // namespace

// Deeply nested inputs cost a hundred times what flat ones of their length
// cost: mutations are shared out by speed as well as by rare coverage.
KORVO_FUZZ_FLAGS("-max_len=2048", "-entropic_scale_per_exec_time=1")

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An include that is not found lists the search paths on stdout.
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    scanWhole(reinterpret_cast<const char*>(data), static_cast<int32_t>(size));
    parseAndRelease(data, size);
    return 0;
}
