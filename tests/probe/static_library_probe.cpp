// korvo-probe lik-ast FILE.lik: loads the static library as a compilation
// would (under a unit node of kind 88) and prints the tree, one node a line:
//   indentation, slot ('@' attached, 'o' operand, 'c' child), kind, text,
//   file path, 1-based start and end, flags; "~" for an empty slot.
#include <cstdio>
#include <string>

#include "foundation/file_stream.h"
#include "image/static_library.h"
#include "probe.h"

namespace {

struct ProbePaths final : SourcePathTable {
    uint32_t registerPath(const qestl::qestringW& path) override {
        paths.pushBack(path);
        return static_cast<uint32_t>(paths.size() - 1);
    }
    qestl::WStringVector paths;
};

void print(const _KNode<qeAbstractNode>& node, const ProbePaths& table, int depth, char slot) {
    std::printf("%*s%c ", depth * 2, "", slot);
    if (!node) {
        std::printf("~\n");
        return;
    }
    std::string file = node->fileIndex < table.paths.size() ? qestl::narrow(table.paths[node->fileIndex]).c_str() : "";
    std::printf("%u '%s' %s %u:%u-%u:%u 0x%x\n", node->kind, node->text.c_str(), file.c_str(), node->startLine + 1,
                node->startColumn + 1, node->endLine + 1, node->endColumn + 1, node->flags);
    if (node->flags & kNodeHasAttachedNode) print(node->annotations, table, depth + 1, '@');
    for (const auto& operand : node->operands) print(operand, table, depth + 1, 'o');
    for (const auto& child : node->children) print(child, table, depth + 1, 'c');
}

int likAst(int argc, char** argv) {
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
    print(root, table, 0, 'c');
    return 0;
}

KORVO_PROBE("lik-ast", "lik-ast FILE.lik", likAst);

}  // namespace
