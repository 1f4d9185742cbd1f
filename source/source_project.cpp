#include "source/source_project.h"

namespace {

// Ids of generated texts start above every file index.
uint32_t gNextTextId = 0x100000;

using PathSet = qestl::RbMap<qestl::qestringW, qestl::NoValue, qestl::LengthThenBytesLess>;

PathSet& includeGuard() {
    static PathSet* paths = new PathSet();  // never torn down
    return *paths;
}

// Keys below this stand for a page's own text; above it, for its copy.
constexpr int32_t kCopyKeyBase = 10000002;

}  // namespace

void MappedText::assign(const char* bytes, size_t length) {
    id = gNextTextId++;
    text.assign(bytes, length);
    segments.clear();
    segments.pushBack(LineMapSegment{0, static_cast<uint32_t>(length), id});
}

void MappedText::clear() {
    text.release();
    segments.clear();
}

uint32_t SourceProject::addSourceFile(const qestl::qestringW& path, const char* text) {
    if (const PathMap::Node* known = pathMap_.find(path)) return known->value;
    uint32_t index = fileCount();
    paths_.pushBack(path);
    texts_.pushBack(text);
    units_.pushBack(_KNode<qeAbstractNode>());
    insertPath(path, index, true);
    return index;
}

bool SourceProject::findPath(const qestl::qestringW& path) const { return pathMap_.find(path) != nullptr; }

PathMap::Node* SourceProject::insertPath(const qestl::qestringW& path, uint32_t index, bool assign) {
    PathMap::Node* node = pathMap_.findOrInsert(path);
    if (node != nullptr && assign) node->value = index;
    return node;
}

qestl::qestringW SourceProject::filePath(uint32_t index) const {
    return index < fileCount() ? paths_[index] : qestl::qestringW();
}

void SourceProject::registerMappedText(uint32_t oldId, uint32_t newId) {
    qestl::RbMap<int32_t, MappedText> fresh;
    for (auto* node = mapped_.first(); node != nullptr; node = mapped_.next(node)) {
        MappedText& text = node->value;
        if (text.id == oldId) text.id = newId;
        for (LineMapSegment& segment : text.segments)
            if (segment.textId == oldId) segment.textId = newId;
        int32_t key = node->key < kCopyKeyBase ? static_cast<int32_t>(text.id)
                                               : static_cast<int32_t>(text.id + kCopyKeyBase - 1);
        if (auto* placed = fresh.findOrInsert(key)) placed->value = text;
    }
    mapped_.clear();
    for (auto* node = fresh.first(); node != nullptr; node = fresh.next(node))
        if (auto* placed = mapped_.findOrInsert(node->key)) placed->value = node->value;

    if (auto* entry = textIds.find(static_cast<int32_t>(oldId))) {
        int32_t value = entry->value;
        textIds.eraseNode(entry);
        if (auto* moved = textIds.findOrInsert(static_cast<int32_t>(newId))) moved->value = value;
    }
}

void SourceProject::storeMappedText(int32_t key, const MappedText& text) {
    if (auto* node = mapped_.findOrInsert(key)) node->value = text;
}

const MappedText* SourceProject::mappedText(int32_t key) const {
    const auto* node = mapped_.find(key);
    return node == nullptr ? nullptr : &node->value;
}

void IncludeGuardSet::insert(const qestl::qestringW& path) { includeGuard().findOrInsert(path); }

void IncludeGuardSet::erase(const qestl::qestringW& path) {
    PathSet& paths = includeGuard();
    auto* node = paths.find(path);
    if (node == nullptr) return;
    if (paths.size() == 1) paths.clear();
    else paths.eraseNode(node);
}

bool IncludeGuardSet::contains(const qestl::qestringW& path) { return includeGuard().find(path) != nullptr; }

uint64_t IncludeGuardSet::count() { return includeGuard().size(); }
