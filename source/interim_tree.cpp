// Interim definitions of the node and the project table (see their headers).
#include "source/source_project.h"
namespace {
uint32_t gTextId = 0x100000;
}  // namespace
void MappedText::assign(const char* t, size_t n) {
    id = gTextId++;
    text.assign(t, n);
    segments.clear();
    segments.pushBack(LineMapSegment{0, static_cast<uint32_t>(n), id});
}
uint32_t SourceProject::addSourceFile(const qestl::qestringW& path, const char* text) {
    std::u16string key(path.c_str() ? path.c_str() : u"", path.length());
    auto it = pathMap_.find(key);
    if (it != pathMap_.end()) return it->second;
    uint32_t index = fileCount();
    paths_.pushBack(path);
    texts_.pushBack(text);
    units_.pushBack(_KNode<qeAbstractNode>());
    pathMap_[key] = index;
    return index;
}
bool SourceProject::findPath(const qestl::qestringW& path) const {
    return pathMap_.count(std::u16string(path.c_str() ? path.c_str() : u"", path.length())) != 0;
}
qestl::qestringW SourceProject::filePath(uint32_t index) const {
    return index < fileCount() ? paths_[index] : qestl::qestringW();
}
void SourceProject::registerMappedText(uint32_t oldId, uint32_t newId) {
    std::map<int32_t, MappedText> fresh;
    for (auto& [key, m] : mapped_) {
        if (m.id == oldId) m.id = newId;
        for (LineMapSegment& s : m.segments)
            if (s.textId == oldId) s.textId = newId;
        int32_t k = key < 10000002 ? int32_t(m.id) : int32_t(m.id + 10000001);
        fresh[k] = m;
    }
    mapped_.swap(fresh);
}
const MappedText* SourceProject::mappedText(int32_t key) const {
    auto it = mapped_.find(key);
    return it == mapped_.end() ? nullptr : &it->second;
}
void SourceProject::storeMappedText(int32_t key, const MappedText& text) { mapped_[key] = text; }
