// Interim file table of a compilation: what the source processor needs until
// the project table with its full layout lands. Same names as the final one.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "foundation/qestring.h"
#include "foundation/vector.h"
#include "source/node.h"

struct LineMapSegment {
    uint32_t start;
    uint32_t end;
    uint32_t textId;
};

class MappedText {
public:
    void assign(const char* text, size_t length);
    qestl::qevector<LineMapSegment> segments;
    qestl::qestringA text;
    uint32_t id = 0;
};

class SourceProject {
public:
    uint32_t addSourceFile(const qestl::qestringW& path, const char* text);
    bool findPath(const qestl::qestringW& path) const;
    qestl::qestringW filePath(uint32_t index) const;
    uint32_t fileCount() const { return static_cast<uint32_t>(paths_.size()); }
    void registerMappedText(uint32_t oldId, uint32_t newId);
    void storeMappedText(int32_t key, const MappedText& text);
    const MappedText* mappedText(int32_t key) const;

    _KNode<qeAbstractNode> root;

private:
    std::map<std::u16string, uint32_t> pathMap_;
    qestl::qevector<const char*> texts_;
    AstNodeVector units_;
    std::map<int32_t, MappedText> mapped_;
    qestl::WStringVector paths_;
};
