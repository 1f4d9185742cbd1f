// Static libraries written from hand-made trees and read back, and what the
// reader does with blocks that are not sound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/whole_file.h"
#include "image/declaration_ast.h"
#include "image/static_library.h"

namespace {

using Node = _KNode<qeAbstractNode>;

Node make(uint32_t kind, const char* text, uint32_t file = 0, uint32_t line = 0) {
    qeAbstractNode prototype;
    prototype.kind = kind;
    prototype.setText(text);
    prototype.fileIndex = file;
    prototype.startLine = line;
    prototype.startColumn = line + 1;
    prototype.endLine = line + 2;
    prototype.endColumn = line + 3;
    return Node(newAstNode(prototype));
}

// Kind, text, file, span and flags of every node, with the slot structure.
void dump(const Node& node, std::string& out) {
    if (!node) {
        out += "~";
        return;
    }
    char head[160];
    std::snprintf(head, sizeof head, "(%u '%s' f%u %u:%u-%u:%u x%x", node->kind, node->text.c_str(), node->fileIndex,
                  node->startLine, node->startColumn, node->endLine, node->endColumn, node->flags);
    out += head;
    if (node->flags & NodeFlag::Annotated) {
        out += " @";
        dump(node->annotations(), out);
    }
    out += " [";
    for (const Node& operand : node->operands) dump(operand, out);
    out += "] {";
    for (const Node& child : node->children) dump(child, out);
    out += "})";
}

std::string dump(const Node& node) {
    std::string out;
    dump(node, out);
    return out;
}

// A source table that hands out indices from a base, so a test sees the
// reader map every string-list position.
struct PathTable : SourcePathTable {
    uint32_t registerPath(const qestl::qestringW& path) override {
        paths.push_back(qestl::narrow(path).c_str());
        return base + static_cast<uint32_t>(paths.size() - 1);
    }
    uint32_t base = 0;
    std::vector<std::string> paths;
};

// unit { class C @[ann] [name, ~, list[x]] { method } , block }
Node sampleTree() {
    Node unit = make(NodeKind::SourceUnit, "a.k", 0, 0);
    Node type = make(NodeKind::Class, "C", 1, 3);
    type->flags = NodeFlag::Annotated | 0x1;
    type->setAnnotations(make(NodeKind::AnnotationList, "", 1, 2));
    type->annotations()->operands.pushBack(make(NodeKind::Annotation, "Deprecated", 1, 2));
    type->operands.pushBack(make(NodeKind::Name, "C", 1, 3));
    type->operands.pushBack(Node());
    Node list = make(NodeKind::List, "", 1, 4);
    list->operands.pushBack(make(NodeKind::StringLiteral, "\"x\\0y\"", 1, 4));
    type->operands.pushBack(list);
    type->children.pushBack(make(NodeKind::Method, "run", 1, 5));
    unit->children.pushBack(type);
    unit->children.pushBack(make(NodeKind::Block, "", 0, 9));
    return unit;
}

qestl::WStringVector twoPaths() {
    qestl::WStringVector paths;
    paths.pushBack(qestl::widen("dir/a.k"));
    paths.pushBack(qestl::widen("dir/\xe4\xb8\xad.k"));
    return paths;
}

std::vector<uint8_t> libraryBytes(const Node& root, const qestl::WStringVector& paths) {
    qestl::qeByteStream out;
    EXPECT_TRUE(writeStaticLibrary(out, paths, root));
    return std::vector<uint8_t>(out.data(), out.data() + out.size());
}

struct LoadResult {
    int status;
    std::string output;
    Node root;
};

LoadResult load(const std::vector<uint8_t>& bytes, PathTable& table, Node root = Node(), uint32_t number = 0) {
    qestl::qeByteStream stream(bytes.data(), bytes.size());
    testing::internal::CaptureStdout();
    int status = loadStaticLibrary(root, number, table, stream, qestl::widen("lib.lik"));
    std::fflush(stdout);
    return {status, testing::internal::GetCapturedStdout(), root};
}

uint32_t u32At(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

void putU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}

// Where record i starts in the file.
size_t recordAt(const std::vector<uint8_t>& bytes, uint32_t i) {
    uint32_t count = u32At(bytes, 7);
    return 11 + 4 * count + 4 + u32At(bytes, 11 + 4 * i);
}

TEST(StaticLibrary, TreeSurvivesTheRoundTripUnderAUnitNode) {
    Node tree = sampleTree();
    PathTable table;
    table.base = 5;
    LoadResult loaded = load(libraryBytes(tree, twoPaths()), table, Node(), 3);
    ASSERT_EQ(loaded.status, 1) << loaded.output;
    EXPECT_EQ(loaded.output, "");
    ASSERT_TRUE(loaded.root);
    EXPECT_EQ(loaded.root->kind, uint32_t(NodeKind::DriverUnit));
    EXPECT_EQ(loaded.root->text, std::string_view("lib.lik"));
    ASSERT_EQ(loaded.root->children.size(), 1u);
    EXPECT_EQ(table.paths, (std::vector<std::string>{"dir/a.k", "dir/\xe4\xb8\xad.k"}));

    // File indices now name this compilation's table: 0 -> 5, 1 -> 6.
    std::string expected = dump(tree);
    for (size_t at = 0; (at = expected.find(" f", at)) != std::string::npos; ++at) {
        expected[at + 2] = expected[at + 2] == '0' ? '5' : '6';
    }
    EXPECT_EQ(dump(loaded.root->children[0]), expected);
}

// Every read node belongs to the library's unit and level; it keeps the
// record indices of its operands and children.
TEST(StaticLibrary, ReadNodesCarryTheirUnitLevelAndRecordIndices) {
    PathTable table;
    LoadResult loaded = load(libraryBytes(sampleTree(), twoPaths()), table, Node(), 3);
    ASSERT_EQ(loaded.status, 1) << loaded.output;
    EXPECT_NE(loaded.root->includedUnit, 0);
    EXPECT_EQ(loaded.root->unitLevel, 3);

    std::vector<const qeAbstractNode*> pending{loaded.root->children[0].get()};
    size_t seen = 0;
    while (!pending.empty()) {
        const qeAbstractNode* node = pending.back();
        pending.pop_back();
        ++seen;
        EXPECT_NE(node->includedUnit, 0) << node->text.c_str();
        EXPECT_EQ(node->unitLevel, 3) << node->text.c_str();
        if (node->annotations()) pending.push_back(node->annotations().get());
        for (const Node& operand : node->operands) {
            if (operand) pending.push_back(operand.get());
        }
        for (const Node& child : node->children) pending.push_back(child.get());
    }
    EXPECT_EQ(seen, 9u);  // ten records, one of them the empty slot

    const Node& unit = loaded.root->children[0];
    const Node& type = unit->children[0];
    auto list = [](const qestl::U32Vector& indices) { return std::vector<uint32_t>(indices.begin(), indices.end()); };
    EXPECT_EQ(list(unit->extras().operandIndices), std::vector<uint32_t>{});
    EXPECT_EQ(list(unit->extras().childIndices), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(list(type->extras().operandIndices), (std::vector<uint32_t>{4, 5, 6}));
    EXPECT_EQ(list(type->extras().childIndices), std::vector<uint32_t>{7});
}

TEST(StaticLibrary, NodesAreNumberedBreadthFirstWithEmptySlotsKept) {
    std::vector<uint8_t> bytes = libraryBytes(sampleTree(), twoPaths());
    ASSERT_EQ(std::memcmp(bytes.data(), "KL!\x01\x00\x00\x00", 7), 0);
    // unit0 -> C1 block2; C1 -> list-of-annotations3, name4, ~5, list6, method7;
    // annotations3 -> Deprecated8; list6 -> "x"9.
    ASSERT_EQ(u32At(bytes, 7), 10u);
    const uint32_t listLength = 4 + (4 + 7) + (4 + 9);
    EXPECT_EQ(u32At(bytes, 11), listLength);
    const std::vector<std::vector<uint32_t>> expected = {{1, 2}, {3, 4, 5, 6, 7}, {}, {8}, {}, {}, {9}, {}, {}, {}};
    for (uint32_t i = 0; i < 10; ++i) {
        size_t at = recordAt(bytes, i);
        uint32_t kind = u32At(bytes, at);
        if (kind == kEmptyNodeRecord) {
            EXPECT_EQ(i, 5u);
            continue;
        }
        at += 8 + u32At(bytes, at + 4) + 24;
        EXPECT_EQ(u32At(bytes, at), i) << "own index";
        uint32_t count = u32At(bytes, at + 12);
        std::vector<uint32_t> indices;
        for (uint32_t k = 0; k < count; ++k) indices.push_back(u32At(bytes, at + 16 + 4 * k));
        EXPECT_EQ(indices, expected[i]) << "record " << i;
    }
}

TEST(StaticLibrary, LoadedLibrariesFollowTheUnitsAlreadyUnderTheRoot) {
    PathTable table;
    Node root = make(NodeKind::SourceUnit, "main.k");
    root->children.pushBack(make(NodeKind::Class, "Main"));
    LoadResult first = load(libraryBytes(make(NodeKind::Class, "One"), twoPaths()), table, root, 0);
    LoadResult second = load(libraryBytes(make(NodeKind::Class, "Two"), twoPaths()), table, first.root, 1);
    ASSERT_EQ(second.status, 1);
    ASSERT_EQ(second.root.get(), root.get());
    ASSERT_EQ(root->children.size(), 3u);
    EXPECT_EQ(root->children[1]->kind, uint32_t(NodeKind::DriverUnit));
    EXPECT_EQ(root->children[1]->children[0]->text, std::string_view("One"));
    EXPECT_EQ(root->children[2]->children[0]->text, std::string_view("Two"));
}

TEST(StaticLibrary, WrongMagicAndVersionHaveTheirOwnMessages) {
    PathTable table;
    std::vector<uint8_t> bytes = libraryBytes(sampleTree(), twoPaths());
    std::vector<uint8_t> magic = bytes;
    magic[2] = '?';
    EXPECT_EQ(load(magic, table).output, "损坏的静态库文件: lib.lik\n");
    std::vector<uint8_t> version = bytes;
    version[3] = 2;
    EXPECT_EQ(load(version, table).output, "静态库是由不兼容版本的编译器创建的,请更新库: lib.lik\n");
    EXPECT_EQ(load(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5), table).output,
              "静态库是由不兼容版本的编译器创建的,请更新库: lib.lik\n");
    EXPECT_TRUE(table.paths.empty());
}

// Each edit leaves a block that is no tree or points outside itself.
TEST(StaticLibrary, UnsoundBlocksAreCorruptAndAddNothing) {
    const std::vector<uint8_t> bytes = libraryBytes(sampleTree(), twoPaths());
    auto indicesOf = [&](uint32_t i) {
        size_t at = recordAt(bytes, i);
        return at + 8 + u32At(bytes, at + 4) + 24 + 16;
    };
    auto ownIndexOf = [&](uint32_t i) { return indicesOf(i) - 16; };
    struct Edit {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const Edit edits[] = {
        {"own index differs", ownIndexOf(7), 6},
        {"child points back at its parent", indicesOf(1) + 4, 1},
        {"child points at the root", indicesOf(1), 0},
        {"node listed twice", indicesOf(1) + 16, 8},
        {"index past the table", indicesOf(0), 10},
        {"file index past the string list", ownIndexOf(2) - 20, 2},
        {"index count disagrees", indicesOf(1) - 4, 4},
        {"kind past one byte", recordAt(bytes, 1), 0x100 + NodeKind::Class},
        {"text longer than the block", recordAt(bytes, 1) + 4, 0x7fffffff},
        {"first record not behind the string list", 11, 27},
        {"offset past the block", 11 + 4 * 9, 0x10000},
        {"string count too large", 11 + 4 * 10 + 4, 0x40000000},
        {"node count without table", 7, 0x3fffffff},
        {"payload length past the file", 11 + 4 * 10, 0xfffffff0},
        {"no nodes", 7, 0},
    };
    for (const Edit& edit : edits) {
        std::vector<uint8_t> broken = bytes;
        putU32(broken, edit.at, edit.value);
        PathTable table;
        LoadResult loaded = load(broken, table);
        EXPECT_EQ(loaded.status, 0) << edit.what;
        EXPECT_EQ(loaded.output, "损坏的静态库文件: lib.lik\n") << edit.what;
        EXPECT_FALSE(loaded.root) << edit.what;
        EXPECT_TRUE(table.paths.empty()) << edit.what;
    }
}

// Under the sanitizers: no prefix and no flipped bit may crash or leak.
TEST(StaticLibrary, TruncatedAndBitFlippedFilesNeverCrash) {
    const std::vector<uint8_t> bytes = libraryBytes(sampleTree(), twoPaths());
    for (size_t length = 0; length < bytes.size(); ++length) {
        PathTable table;
        LoadResult loaded = load(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length), table);
        EXPECT_EQ(loaded.status, 0) << "prefix of " << length;
    }
    for (size_t bit = 0; bit < bytes.size() * 8; ++bit) {
        std::vector<uint8_t> flipped = bytes;
        flipped[bit / 8] ^= uint8_t(1u << (bit % 8));
        PathTable table;
        LoadResult loaded = load(flipped, table);
        if (loaded.status == 1) {
            EXPECT_TRUE(loaded.root);
        }
    }
}

TEST(StaticLibrary, SameTreeSameBytes) {
    EXPECT_EQ(libraryBytes(sampleTree(), twoPaths()), libraryBytes(sampleTree(), twoPaths()));
}

// Large enough that a file output has its records composed by several
// threads: the file holds the bytes a memory stream gets in one pass.
TEST(StaticLibrary, ALargeTreeWrittenToAFileMatchesOneWrittenToMemory) {
    Node root = make(NodeKind::SourceUnit, "unit");
    for (uint32_t c = 0; c < 700; ++c) {
        Node member = make(NodeKind::Class, c % 3 == 0 ? "a class name longer than the node" : "C", 0, c);
        for (uint32_t k = 0; k < 200; ++k) {
            if (k % 50 == 7) {
                member->operands.pushBack(Node());
            } else {
                member->operands.pushBack(make(NodeKind::Name, k % 2 ? "x" : "y", 1, k));
            }
        }
        root->children.pushBack(member);
    }
    qestl::qeByteStream memory;
    ASSERT_TRUE(writeStaticLibrary(memory, twoPaths(), root));

    const std::string path = ::testing::TempDir() + "korvo-large-" + std::to_string(::getpid()) + ".lik";
    WholeFileWriter file(qestl::widen(path.c_str()));
    ASSERT_TRUE(writeStaticLibrary(file, twoPaths(), root));
    ASSERT_TRUE(file.commit());
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    ASSERT_EQ(written.size(), memory.size());
    EXPECT_TRUE(std::memcmp(written.data(), memory.data(), written.size()) == 0);
}

}  // namespace
