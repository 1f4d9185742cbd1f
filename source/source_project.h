// The table of source files of a compilation, the generated texts of server
// pages with their line maps, and the guard against include cycles.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/maps.h"
#include "foundation/qestring.h"
#include "foundation/rbtree.h"
#include "foundation/vector.h"
#include "source/node.h"

// A byte range of a generated text and the text it was copied from.
struct LineMapSegment {
    uint32_t start;
    uint32_t end;
    uint32_t textId;
};

// A generated text with its origin.
class MappedText {
public:
    // A copy of the bytes under a fresh id, mapped whole to itself.
    void assign(const char* text, size_t length);
    void clear();

    qestl::qevector<LineMapSegment> segments;
    qestl::qestringA text;
    uint32_t id = 0;
};

// Paths ordered by length, then by the bytes of their UTF-16 units; exact.
using PathMap = qestl::RbMap<qestl::qestringW, uint32_t, qestl::LengthThenBytesLess>;

class SourceProject {
public:
    SourceProject() = default;
    SourceProject(const SourceProject&) = delete;
    SourceProject& operator=(const SourceProject&) = delete;

    // The file's index: an already registered path keeps its index and
    // changes nothing; a new one gets the next index.
    uint32_t addSourceFile(const qestl::qestringW& path, const char* text);
    bool findPath(const qestl::qestringW& path) const;
    // The path's node, made when missing; with `assign` its value is set.
    PathMap::Node* insertPath(const qestl::qestringW& path, uint32_t index, bool assign);
    // A copy of the file's path; empty past the last file.
    qestl::qestringW filePath(uint32_t index) const;
    const char* fileText(uint32_t index) const { return index < fileCount() ? texts_[index] : nullptr; }
    uint32_t fileCount() const { return static_cast<uint32_t>(paths_.size()); }
    // The unit node of a file, set after its parse; null past the last file.
    _KNode<qeAbstractNode>* unitHandle(uint32_t index) { return index < fileCount() ? &units_[index] : nullptr; }

    // Renumbers a text id in every stored text and segment, rebuilds the
    // mapped-texts table under the new ids and moves the text-id entry.
    void registerMappedText(uint32_t oldId, uint32_t newId);
    void storeMappedText(int32_t key, const MappedText& text);
    const MappedText* mappedText(int32_t key) const;
    size_t mappedTextCount() const { return mapped_.size(); }

    // Text id to a value of the server-page position mapping.
    qestl::RbMap<int32_t, int32_t> textIds;
    _KNode<qeAbstractNode> root;

private:
    PathMap pathMap_;
    qestl::qevector<const char*> texts_;
    AstNodeVector units_;
    qestl::RbMap<int32_t, MappedText> mapped_;
    qestl::WStringVector paths_;
};

// The paths being parsed right now, one process-wide set: a path met again
// while it is still here is an include cycle.
class IncludeGuardSet {
public:
    static void insert(const qestl::qestringW& path);
    static void erase(const qestl::qestringW& path);
    static bool contains(const qestl::qestringW& path);
    static uint64_t count();
};
