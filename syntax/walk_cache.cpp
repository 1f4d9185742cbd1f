#include "syntax/walk_cache.h"

uint32_t WalkCache::root(uint32_t rule) {
    uint32_t& root = roots_[rule & 0xFF];
    if (root == kNoNode) {
        root = static_cast<uint32_t>(nodes_.size());
        nodes_.push_back(-1);
    }
    return root;
}

bool WalkCache::insert(uint32_t rule, const std::vector<uint32_t>& kinds, int32_t covered, uint32_t changed,
                       const Reduction* reductions, size_t reductionCount, const Mark* marks, size_t markCount) {
    if (reductions_.size() + reductionCount > kReductionLimit || marks_.size() + markCount > kReductionLimit ||
        nodes_.size() + kinds.size() > kReductionLimit)
        return false;
    uint32_t node = root(rule);
    for (uint32_t kind : kinds) {
        uint32_t child = next(node, kind);
        if (child == kNoNode) {
            child = static_cast<uint32_t>(nodes_.size());
            nodes_.push_back(-1);
            edges_.emplace(edgeKey(node, kind), child);
        }
        node = child;
    }
    if (nodes_[node] >= 0) return true;  // a walk over these kinds is kept already
    Walk walk{covered,
              changed,
              static_cast<uint32_t>(reductions_.size()),
              static_cast<uint32_t>(reductionCount),
              static_cast<uint32_t>(marks_.size()),
              static_cast<uint32_t>(markCount)};
    reductions_.insert(reductions_.end(), reductions, reductions + reductionCount);
    marks_.insert(marks_.end(), marks, marks + markCount);
    nodes_[node] = static_cast<int32_t>(walks_.size());
    walks_.push_back(walk);
    return true;
}

void WalkCache::clear() {
    nodes_.assign(1, -1);
    edges_.clear();
    for (uint32_t& root : roots_) root = kNoNode;
    walks_.clear();
    reductions_.clear();
    marks_.clear();
}
