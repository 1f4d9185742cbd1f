#include "image/static_library.h"

#include <cstdio>

namespace {

constexpr char kMagic[3] = {'K', 'L', '!'};

void reportLibrary(const char* format, const qestl::qestringW& path) {
    std::printf(format, qestl::narrow(path).c_str());
}

}  // namespace

bool writeStaticLibrary(qestl::qeistream& out, const qestl::WStringVector& sourcePaths,
                        const _KNode<qeAbstractNode>& root) {
    DeclarationAstWriter writer;
    if (!writeStringList(writer.stream, sourcePaths) || !writeDeclarationAst(writer, root)) return false;
    const uint8_t version[4] = {kStaticLibraryVersion, 0, 0, 0};
    return out.write(kMagic, 3) == 3 && out.write(version, 4) == 4 && writeDeclarationBlock(out, writer);
}

int loadStaticLibrary(_KNode<qeAbstractNode>& projectRoot, uint32_t libraryNumber, SourcePathTable& sources,
                      qestl::qeistream& stream, const qestl::qestringW& path) {
    char magic[3] = {};
    if (stream.read(magic, 3) != 3 || magic[0] != kMagic[0] || magic[1] != kMagic[1] || magic[2] != kMagic[2]) {
        reportLibrary("损坏的静态库文件: %s\n", path);
        return 0;
    }
    uint8_t version[4] = {};
    if (stream.read(version, 4) != 4 || version[0] != kStaticLibraryVersion || version[1] != 0 || version[2] != 0 ||
        version[3] != 0) {
        reportLibrary("静态库是由不兼容版本的编译器创建的,请更新库: %s\n", path);
        return 0;
    }
    DeclarationAstReader reader;
    reader.unitLevel = static_cast<uint16_t>(libraryNumber);
    _KNode<qeAbstractNode> tree;
    if (!readDeclarationAst(reader, sources, tree, stream)) {
        reportLibrary("损坏的静态库文件: %s\n", path);
        return 0;
    }
    _KNode<qeAbstractNode> unit(emplaceAstNode());
    unit->kind = NodeKind::DriverUnit;
    unit->setText(qestl::narrow(path).view());
    markLibraryNode(*unit, reader.unitLevel);
    unit->children.pushBack(tree);
    if (projectRoot) {
        projectRoot->children.pushBack(unit);
    } else {
        projectRoot = unit;
    }
    return 1;
}
