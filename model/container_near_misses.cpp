// The near misses a container offers for a name that failed a lookup in it.
#include <algorithm>
#include <vector>

#include "model/container.h"
#include "model/similar_names.h"

namespace model {

void Container::listSimilarNames(std::string_view name, uint32_t number, size_t memberCount, IRValueList& out) {
    const size_t noted = failed_.countAtFirstFailure(number, memberCount);
    const std::vector<qestl::SmartPtr>* similar = failed_.similarList(name);
    // Only a list with names is kept: an empty one is made again, and comes
    // out empty again.
    std::vector<qestl::SmartPtr> made;
    if (similar == nullptr) {
        similarNamesAmong(name, std::min(noted, static_cast<size_t>(members_.size())), &made);
        similar = &made;
    }
    for (const qestl::SmartPtr& member : *similar) out.pushBack(IRResult(member));
    if (!made.empty()) failed_.keepSimilarList(name, std::move(made));
}

bool Container::similarNamesAmong(std::string_view name, size_t count, std::vector<qestl::SmartPtr>* out) {
    const SimilarNames wanted(name);
    bool found = false;
    auto offer = [&](size_t i) {
        std::string_view candidate = memberName(members_[i]);
        if ((!candidate.empty() && candidate[0] == '$') || !wanted.similarTo(candidate)) return true;
        found = true;
        if (out == nullptr) return false;
        out->push_back(members_[i]);
        return true;
    };
    NearMissIndex* index = failed_.nearMissIndex(count, members_.size());
    if (index == nullptr) {
        for (size_t i = 0; i < count && offer(i); ++i) {}
        return found;
    }
    while (index->covered() < members_.size()) index->add(memberName(members_[index->covered()]));
    std::vector<uint32_t> picked;
    index->similarAmong(wanted, count, picked);
    for (size_t k = 0; k < picked.size() && offer(picked[k]); ++k) {}
    return found;
}

size_t Container::noteFirstFailure(const qestl::HashedText& name) {
    size_t count = members_.size();
    if (picksNearMisses_ != 0 && count != 0 && !similarNamesAmong(name.text, count, nullptr)) count = 0;
    return failed_.noteFirstFailure(name.number, count);
}

void ModelContext::addNearMissesOf(Container& container, std::string_view name, uint32_t number, size_t memberCount) {
    IRValueList similar;
    container.listSimilarNames(name, number, memberCount, similar);
    for (const IRResult& result : similar) addNearMiss(result);
}

}  // namespace model
