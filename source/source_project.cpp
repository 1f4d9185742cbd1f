#include "source/source_project.h"

#include <cstring>

namespace {

// The file a path names now; false when nothing is there.
bool fileNamed(const qestl::qestringW& path, platform::FileIdentity& file) {
    const qestl::qestringA bytes = qestl::narrow(path);
    return bytes.c_str() != nullptr && platform::fileIdentity(bytes.c_str(), &file);
}

// Ids of generated texts; the first is 0x100000, far above any file index.
uint32_t gNextTextId = 0x100000;

// Stored texts are keyed by id; the keys above this range stand for a text's
// id plus kShiftedKeys.
constexpr int32_t kPlainKeyLimit = 10000002;
constexpr int32_t kShiftedKeys = 10000001;

}  // namespace

bool NotedFiles::note(const qestl::qestringW& path, platform::FileIdentity& file) {
    if (!fileNamed(path, file)) return false;
    files_.emplace(file, path);
    return true;
}

void NotedFiles::forget(const platform::FileIdentity& file, const qestl::qestringW& path) {
    const auto [first, last] = files_.equal_range(file);
    for (auto entry = first; entry != last; ++entry) {
        if (entry->second == path) {
            files_.erase(entry);
            return;
        }
    }
}

bool NotedFiles::namedBy(const qestl::qestringW& path) const {
    platform::FileIdentity file;
    if (files_.empty() || !fileNamed(path, file)) return false;
    const auto [first, last] = files_.equal_range(file);
    for (auto entry = first; entry != last; ++entry) {
        platform::FileIdentity now;
        if (fileNamed(entry->second, now) && now == file) return true;
    }
    return false;
}

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
    const uint32_t index = fileCount();
    paths_.pushBack(path);
    texts_.pushBack(text);
    textLengths_.pushBack(text != nullptr ? std::strlen(text) : 0);
    units_.pushBack(_KNode<qeAbstractNode>());
    insertPath(path, index, true);
    platform::FileIdentity file;
    files_.note(path, file);
    return index;
}

bool SourceProject::findPath(const qestl::qestringW& path) const {
    return pathMap_.find(path) != nullptr || files_.namedBy(path);
}

PathMap::Node* SourceProject::insertPath(const qestl::qestringW& path, uint32_t index, bool assign) {
    PathMap::Node* node = pathMap_.findOrInsert(path);
    if (node != nullptr && assign) {
        node->key = path;
        node->value = index;
    }
    return node;
}

qestl::qestringW SourceProject::filePath(uint32_t index) const {
    return index < fileCount() ? paths_[index] : qestl::qestringW();
}

void SourceProject::registerMappedText(uint32_t oldId, uint32_t newId) {
    MappedTextMap fresh;
    mapped_.forEach([&](MappedTextMap::Node& entry) {
        MappedText& stored = entry.value;
        if (stored.id == oldId) stored.id = newId;
        for (LineMapSegment& segment : stored.segments) {
            if (segment.textId == oldId) segment.textId = newId;
        }
        const int32_t id = static_cast<int32_t>(stored.id);
        const int32_t key = entry.key < kPlainKeyLimit ? id : id + kShiftedKeys;
        if (MappedTextMap::Node* moved = fresh.findOrInsert(key)) moved->value = stored;
    });
    mapped_.clear();
    mapped_.copyFrom(fresh);

    if (auto* entry = textIds.find(static_cast<int32_t>(oldId))) {
        const int32_t value = entry->value;
        textIds.eraseNode(entry);
        if (auto* moved = textIds.findOrInsert(static_cast<int32_t>(newId))) moved->value = value;
    }
}

void SourceProject::storeMappedText(int32_t key, const MappedText& text) {
    if (MappedTextMap::Node* node = mapped_.findOrInsert(key)) node->value = text;
}

const MappedText* SourceProject::mappedText(int32_t key) const {
    const MappedTextMap::Node* node = mapped_.find(key);
    return node == nullptr ? nullptr : &node->value;
}

void IncludeGuardSet::insert(const qestl::qestringW& path) {
    if (paths_.find(path) != nullptr) return;
    auto* node = paths_.findOrInsert(path);
    if (node == nullptr) return;
    node->key = path;
    node->value.exists = files_.note(path, node->value.file);
}

bool IncludeGuardSet::erase(const qestl::qestringW& path) {
    auto* node = paths_.find(path);
    if (node == nullptr) return false;
    if (node->value.exists) files_.forget(node->value.file, path);
    if (paths_.size() == 1) {
        paths_.clear();  // the only entry: the set starts again from nothing
    } else {
        paths_.eraseNode(node);
    }
    return true;
}

bool IncludeGuardSet::contains(const qestl::qestringW& path) const {
    return paths_.find(path) != nullptr || files_.namedBy(path);
}
