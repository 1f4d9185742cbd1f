// The source files of one compilation, the texts generated from server
// pages, and the guard against include cycles.
//
// Files are numbered from 0 in the order they are registered; every syntax
// node carries its file's number and every diagnostic names the file through
// this table. Paths are told apart exactly: two paths that differ in letter
// case are two files. Whether the project already holds a file, or an
// include is under way, asks the file itself: two spellings of one path
// ("../lib/a.k" from one folder, "a.k" from another) are one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "foundation/maps.h"
#include "foundation/qestring.h"
#include "foundation/rbtree.h"
#include "foundation/vector.h"
#include "platform/file.h"
#include "source/source_text.h"
#include "source/node.h"
#include "syntax/walk_cache.h"

// Bytes [start, end) of a generated text were copied from text `textId` (once
// the page is registered: the page's file index).
struct LineMapSegment {
    uint32_t start;
    uint32_t end;
    uint32_t textId;
};

// A generated text with the origin of each of its ranges.
class MappedText {
public:
    MappedText() = default;
    // The same segments, text and id.
    MappedText(const MappedText& other) = default;
    MappedText& operator=(const MappedText& other) = default;

    // A copy of the bytes under a new id, as one segment of that id.
    void assign(const char* text, size_t length);
    // Frees the text and the segments.
    void clear();

    qestl::qevector<LineMapSegment> segments;
    qestl::qestringA text;
    uint32_t id = 0;
};

// Paths ordered by length, then by the bytes of their UTF-16 units.
using PathMap = qestl::RbMap<qestl::qestringW, uint32_t, qestl::LengthThenBytesLess>;

// The files that paths named when they were noted. Another path names one of
// them when it names the same file (device and number) and a path that file
// was noted under still names it: the number of a file deleted meanwhile
// goes at once to the next file made, which is a new file, not the one
// noted.
class NotedFiles {
public:
    // Notes the file the path names now, given back in `file`; false when
    // nothing is there.
    bool note(const qestl::qestringW& path, platform::FileIdentity& file);
    // Forgets what note(path) gave `file`.
    void forget(const platform::FileIdentity& file, const qestl::qestringW& path);
    // True when the path names one of the files noted, as said above.
    bool namedBy(const qestl::qestringW& path) const;

private:
    std::multimap<platform::FileIdentity, qestl::qestringW> files_;
};

// The paths whose include is being parsed at the moment, across every
// processor of a project: an include of one of them is a cycle.
class IncludeGuardSet {
public:
    // Adds the path; one already present stays, once.
    void insert(const qestl::qestringW& path);
    // Removes the path; false when it was not there.
    bool erase(const qestl::qestringW& path);
    // True when the path, or the file it names under any spelling, is there.
    bool contains(const qestl::qestringW& path) const;
    size_t size() const { return static_cast<size_t>(paths_.size()); }

private:
    // Each path with the file it named when inserted (none: nothing there).
    struct NamedFile {
        bool exists = false;
        platform::FileIdentity file{};
    };
    qestl::RbMap<qestl::qestringW, NamedFile, qestl::LengthThenBytesLess> paths_;
    NotedFiles files_;
};

class SourceProject {
public:
    SourceProject() = default;
    SourceProject(const SourceProject&) = delete;
    SourceProject& operator=(const SourceProject&) = delete;

    // The file index of the path: the one it already has, else the next one,
    // with the text and an empty unit handle kept under it.
    uint32_t addSourceFile(const qestl::qestringW& path, const char* text);
    // True when the path, or the file it names under any spelling, is held.
    bool findPath(const qestl::qestringW& path) const;
    // The path's node of the path map, made (value 0) when missing; with
    // `assign` its value becomes `index`.
    PathMap::Node* insertPath(const qestl::qestringW& path, uint32_t index, bool assign);
    // A copy of the file's path; empty past the last file.
    qestl::qestringW filePath(uint32_t index) const;
    uint32_t fileCount() const { return static_cast<uint32_t>(paths_.size()); }

    // The text registered with the file; null past the last file.
    const char* fileText(uint32_t index) const { return index < fileCount() ? texts_[index] : nullptr; }
    // The same text up to its first zero byte, measured once when registered
    // (every diagnostic reads it); empty past the last file or without text.
    std::string_view fileTextView(uint32_t index) const {
        return index < fileCount() && texts_[index] != nullptr ? std::string_view(texts_[index], textLengths_[index])
                                                               : std::string_view();
    }
    // The unit handle of a file, empty until its parse sets it; null past the
    // last file.
    _KNode<qeAbstractNode>* unitHandle(uint32_t index) { return index < fileCount() ? &units_[index] : nullptr; }

    // Renumbers text `oldId` to `newId` in every stored text and segment and
    // keys the stored texts by their ids again; a text-id entry of the old id
    // moves to the new one.
    void registerMappedText(uint32_t oldId, uint32_t newId);
    // Keeps a copy of the text under the key (replacing one stored there).
    void storeMappedText(int32_t key, const MappedText& text);
    const MappedText* mappedText(int32_t key) const;
    size_t mappedTextCount() const { return static_cast<size_t>(mapped_.size()); }

private:
    using MappedTextMap = qestl::RbMap<int32_t, MappedText>;

    // Torn down in the reverse of this order: the text-id map and the root
    // first, the path map and the texts last.
public:
    // The texts of the files and generated texts, owned here.
    SourceTextStore texts;

private:
    PathMap pathMap_;
    NotedFiles files_;
    qestl::qevector<const char*> texts_;
    qestl::qevector<size_t> textLengths_;
    AstNodeVector units_;
    MappedTextMap mapped_;
    qestl::WStringVector paths_;

public:
    // The first unit; the later units are its children.
    _KNode<qeAbstractNode> root;
    // Text ids of the server-page position mapping, and what they stand for.
    qestl::RbMap<int32_t, int32_t> textIds;
    IncludeGuardSet includeGuard;

    // The walks the parse of each file replays, those of the files parsed
    // before it included; made at the first parse.
    WalkCache& walks() {
        if (!walks_) walks_ = std::make_unique<WalkCache>();
        return *walks_;
    }
    // The project is parsed: what the cache kept (some tens of MB for a
    // large program) goes back before the compile, the peak of a
    // compilation, begins.
    void releaseWalks() { walks_.reset(); }
    // The number of the next server page's class, from 1.
    uint64_t nextPageNumber() { return ++pages_; }

private:
    std::unique_ptr<WalkCache> walks_;
    uint64_t pages_ = 0;
};

