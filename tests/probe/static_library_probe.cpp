// korvo-probe lik-ast [--source N] FILE.lik: loads the static library as a
// compilation would (under a unit node of kind 88) and prints the tree in the
// form of `korvo-probe ast`; with --source, only the compilation unit parsed
// from the library's N-th source, comparable with `ast` of that source.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ast_print.h"
#include "foundation/file_stream.h"
#include "image/static_library.h"
#include "probe.h"

namespace {

struct ProbePaths final : SourcePathTable {
    uint32_t registerPath(const qestl::qestringW&) override { return count++; }
    uint32_t count = 0;
};

// The project root is the first source's unit; later units are its
// children, after its own compilation unit.
const qeAbstractNode* compilationUnit(const qeAbstractNode* sourceRoot, size_t source) {
    if (sourceRoot == nullptr || sourceRoot->children.empty()) return nullptr;
    if (source == 0) return sourceRoot->children[0].get();
    if (source >= sourceRoot->children.size()) return nullptr;
    const qeAbstractNode* unit = sourceRoot->children[source].get();
    return unit != nullptr && !unit->children.empty() ? unit->children[0].get() : nullptr;
}

int likAst(int argc, char** argv) {
    long source = -1;
    if (argc == 3 && std::strcmp(argv[0], "--source") == 0) {
        source = std::strtol(argv[1], nullptr, 10);
        argv += 2;
        argc -= 2;
    }
    if (argc != 1) return 2;
    qestl::qestringW path = qestl::widen(argv[0]);
    ReadOnlyFileStream file(path);
    if (!file.open()) {
        std::printf("can't open %s\n", argv[0]);
        return 1;
    }
    ProbePaths table;
    _KNode<qeAbstractNode> root;
    if (loadStaticLibrary(root, 0, table, file, path) != 1) return 1;
    const qeAbstractNode* shown = root.get();
    if (source >= 0) {
        shown = compilationUnit(root->children.empty() ? nullptr : root->children[0].get(), size_t(source));
        if (shown == nullptr) return 1;
    }
    ast_print::writeText(shown, stdout);
    std::printf("\n");
    return 0;
}

KORVO_PROBE("lik-ast", "[--source N] FILE.lik", likAst);

}  // namespace
