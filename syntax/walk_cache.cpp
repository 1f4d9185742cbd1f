#include "syntax/walk_cache.h"

#include "foundation/open_slots.h"

#include "syntax/grammar.h"

void WalkCache::bind(const Grammar& grammar, const RuleSet& rules, const RuleSet& late) {
    if (grammar.generation() == generation_ && rules == rules_ && late == late_) return;
    clear();
    generation_ = grammar.generation();
    rules_ = rules;
    late_ = late;
    for (uint32_t id = 0; id < 256; ++id) {
        reach_[id] = RuleSet();
        written_[id] = 0;
        unwritten_[id] = late.test(id) ? 0 : kUnwrittenFirst;
        for (LengthClass& counts : lengths_[id]) counts = LengthClass();
        probed_[id] = 0;
        for (size_t c = 0; c < kLengthClasses; ++c) replays_[id * kLengthClasses + c] = 0;
        if (!rules.test(id)) continue;
        // Rule ids only: token kinds are no attempts.
        RuleSet reach = grammar.leadingIds(id);
        static_assert(Grammar::kFirstRuleId > 64 && Grammar::kFirstRuleId <= 128, "token kinds end in the second word");
        reach.setWord(0, 0);
        reach.setWord(1, reach.word(1) & ~((uint64_t{1} << (Grammar::kFirstRuleId - 64)) - 1));
        reach.set(id);
        reach_[id] = reach;
    }
}

uint32_t WalkCache::newRoot(uint32_t rule) {
    uint32_t& root = roots_[rule & 0xFF];
    root = static_cast<uint32_t>(nodes_.size());
    nodes_.push_back(-1);
    return root;
}

namespace {

size_t startHome(const RuleSet& matches) {
    uint64_t hash = 0;
    for (int i = 0; i < 4; ++i) hash = (hash ^ matches.word(i)) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(hash >> 40);
}

}  // namespace

uint32_t WalkCache::numberStart(const RuleSet& matches) {
    // Grown as sets come, as the marked states' index is: a small program
    // meets a few dozen, and the index for all of them at once cleared 32 KiB.
    if (startSets_.size() < kStartSetLimit && (startSets_.size() + 1) * 2 > startSlots_.size())
        qestl::placeSlotsAgain(
            startSlots_, startSlots_.empty() ? 64 : startSlots_.size() * 2, [](uint32_t entry) { return entry == 0; },
            [this](uint32_t entry) { return startHome(startSets_[entry - 1]); });
    // The slot of these matches, or the free one where they go.
    const size_t slot = qestl::firstFreePlace(
        startSlots_, startSlots_.size() - 1, startHome(matches),
        [&](uint32_t entry) { return entry == 0 || startSets_[entry - 1] == matches; });
    if (startSlots_[slot] != 0) return 256 + startSlots_[slot] - 1;
    if (startSets_.size() >= kStartSetLimit) return kNoStart;
    startSets_.push_back(matches);
    startSlots_[slot] = static_cast<uint32_t>(startSets_.size());
    return static_cast<uint32_t>(256 + startSets_.size() - 1);
}

uint64_t WalkCache::MarkedState::hash() const {
    uint64_t hash = hinted ? 1 : 0;
    for (const RuleSet* set : {&matches, &active, &visited})
        for (int i = 0; i < 4; ++i) hash = (hash ^ set->word(i)) * 0x9E3779B97F4A7C15ull;
    return hash;
}

uint32_t WalkCache::markedKind(const TokenRecord& record) {
    if (record.span != 1) return kNoStart;
    const MarkedState state{record.matches, record.active, record.visited, record.hint >= 0};
    // Grown as states come: most programs meet a few dozen.
    if (markedStates_.size() < kMarkedLimit && (markedStates_.size() + 1) * 2 > markedSlots_.size())
        qestl::placeSlotsAgain(
            markedSlots_, markedSlots_.empty() ? 64 : markedSlots_.size() * 2,
            [](uint32_t entry) { return entry == 0; },
            [this](uint32_t entry) { return static_cast<size_t>(markedStates_[entry - 1].hash() >> 40); });
    const size_t slot = qestl::firstFreePlace(
        markedSlots_, markedSlots_.size() - 1, static_cast<size_t>(state.hash() >> 40),
        [&](uint32_t entry) { return entry == 0 || markedStates_[entry - 1] == state; });
    if (markedSlots_[slot] != 0) return kFirstMarked + markedSlots_[slot] - 1;
    if (markedStates_.size() >= kMarkedLimit) return kNoStart;
    markedStates_.push_back(state);
    markedSlots_[slot] = static_cast<uint32_t>(markedStates_.size());
    return kFirstMarked + static_cast<uint32_t>(markedStates_.size() - 1);
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
            addEdge(edgeKey(node, kind), child);
        }
        node = child;
    }
    if (nodes_[node] >= 0) return true;  // a walk over these kinds is kept already
    Walk walk{covered,
              static_cast<uint16_t>(changed),
              static_cast<uint16_t>((rule & 0xFF) * kLengthClasses + lengthClass(kinds.size())),
              static_cast<uint32_t>(reductions_.size()),
              static_cast<uint32_t>(reductionCount),
              static_cast<uint32_t>(marks_.size()),
              static_cast<uint32_t>(markCount),
              0,
              kNoRuns};
    reductions_.insert(reductions_.end(), reductions, reductions + reductionCount);
    marks_.insert(marks_.end(), marks, marks + markCount);
    nodes_[node] = static_cast<int32_t>(walks_.size());
    walks_.push_back(walk);
    return true;
}

void WalkCache::makeRuns(Walk& walk, const RuleSet& untold) {
    const size_t firstRun = runs_.size();
    const Reduction* reductions = reductions_.data() + walk.firstReduction;
    for (uint32_t i = 0; i < walk.reductionCount; ++i) {
        const Reduction& reduction = reductions[i];
        const bool quiet = reduction.count == 1 && untold.test(reduction.rule);
        Run* last = runs_.size() > firstRun ? &runs_.back() : nullptr;
        if (quiet && last && last->quiet && reduction.offset == last->offset) {
            ++last->reductionCount;
            last->rules.set(reduction.rule);
            continue;
        }
        Run run{reduction.offset, i, 1, quiet, RuleSet()};
        if (quiet) run.rules.set(reduction.rule);
        runs_.push_back(run);
    }
    walk.firstRun = static_cast<uint32_t>(firstRun);
    walk.runCount = static_cast<uint32_t>(runs_.size() - firstRun);
}

void WalkCache::addEdge(uint64_t key, uint32_t node) {
    if ((edgeCount_ + 1) * 2 > edgeKeys_.size()) {
        std::vector<uint64_t> keys(edgeKeys_.size() * 2, 0);
        std::vector<uint32_t> nodes(edgeKeys_.size() * 2, 0);
        keys.swap(edgeKeys_);
        nodes.swap(edgeNodes_);
        mask_ = edgeKeys_.size() - 1;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == 0) continue;
            size_t slot = slotOf(keys[i]);
            while (edgeKeys_[slot] != 0) slot = (slot + 1) & mask_;
            edgeKeys_[slot] = keys[i];
            edgeNodes_[slot] = nodes[i];
        }
    }
    size_t slot = slotOf(key);
    while (edgeKeys_[slot] != 0) slot = (slot + 1) & mask_;
    edgeKeys_[slot] = key;
    edgeNodes_[slot] = node;
    ++edgeCount_;
}

void WalkCache::clear() {
    nodes_.assign(1, -1);
    edgeKeys_.assign(1024, 0);
    edgeNodes_.assign(1024, 0);
    mask_ = 1023;
    edgeCount_ = 0;
    for (uint32_t& root : roots_) root = kNoNode;
    walks_.clear();
    reductions_.clear();
    marks_.clear();
    runs_.clear();
    startSets_.clear();
    startSlots_.clear();
    lastStartKind_ = kNoStart;
    markedStates_.clear();
    markedSlots_.clear();
}
