#include "model/similar_names.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

namespace model {

SimilarNames::SimilarNames(std::string_view wanted) {
    wanted = wanted.substr(0, kLimit);
    length_ = static_cast<int>(wanted.size());
    std::fill(std::begin(count_), std::end(count_), uint16_t{0});
    for (size_t at = 0; at < wanted.size(); ++at) {
        const uint8_t folded = fold(wanted[at]);
        folded_[at] = folded;
        ++count_[folded];
        present_ |= uint64_t{1} << (folded & 63);
    }
    // Each character's run of places begins where the one seen before it
    // ends; the runs' order is of no account.
    uint16_t placed[256] = {};
    uint16_t next = 0;
    for (size_t at = 0; at < wanted.size(); ++at) {
        const uint8_t folded = fold(wanted[at]);
        if (placed[folded] == 0) {
            start_[folded] = next;
            next = static_cast<uint16_t>(next + count_[folded]);
        }
        positions_[start_[folded] + placed[folded]++] = static_cast<uint16_t>(at);
    }
    // What may follow each character in order: every character after its
    // first place.
    std::fill(std::begin(follows_), std::end(follows_), uint64_t{0});
    uint64_t after = 0;
    for (size_t at = wanted.size(); at-- > 0;) {
        const uint8_t folded = folded_[at];
        follows_[folded & 63] |= after;
        after |= uint64_t{1} << (folded & 63);
    }
}

bool SimilarNames::similarTo(std::string_view candidate) const { return test<false>(candidate); }

bool SimilarNames::similarToFolded(std::string_view candidate) const { return test<true>(candidate); }

template <bool kFolded>
bool SimilarNames::test(std::string_view candidate) const {
    // A folded name is folded again for nothing.
    const auto fold = [](char c) { return kFolded ? static_cast<uint8_t>(c) : SimilarNames::fold(c); };
    candidate = candidate.substr(0, kLimit);
    const int candidateLength = static_cast<int>(candidate.size());
    // Neither test can pass: order never exceeds matches, nor matches
    // the wanted length.
    if (length_ <= candidateLength / 3) return false;
    // Matches are at most the characters the name may hold, and order at
    // most one less: most candidates fail both tests on that bound alone.
    // Order counts one only for a character taken right after one taken
    // before it in the name: at most the neighbours that can so follow.
    int bound = 0, inOrder = 0;
    uint64_t mayFollow = 0;
    for (char c : candidate) {
        const uint64_t bit = uint64_t{1} << (fold(c) & 63);
        bound += (present_ & bit) != 0;
        inOrder += (mayFollow & bit) != 0;
        mayFollow = follows_[fold(c) & 63];
    }
    if (!passes(bound, std::min(bound - 1, inOrder), candidateLength)) return false;
    uint16_t taken[256];
    for (char c : candidate) taken[fold(c)] = 0;
    int matches = 0, order = 0;
    bool previousTaken = false;
    uint16_t previousAt = 0;
    for (size_t i = 0; i < candidate.size(); ++i) {
        const uint8_t folded = fold(candidate[i]);
        const uint16_t k = taken[folded]++;
        if (k >= count_[folded]) {
            previousTaken = false;
            continue;
        }
        // Its taker's place in the wanted name is when it was taken:
        // the one before counts if it was taken earlier.
        const uint16_t at = positions_[start_[folded] + k];
        if (i > 0) order += previousTaken && previousAt < at ? 1 : -1;
        ++matches;
        previousTaken = true;
        previousAt = at;
    }
    return passes(matches, order, candidateLength);
}

bool SimilarNames::passes(int matches, int order, int candidateLength) const {
    if (matches > length_ * 2 / 3 && matches > candidateLength * 2 / 3) return true;
    return order >= 3 && order > candidateLength / 3;
}

int SimilarNames::mostMatches(int candidateLength, uint64_t mask) const {
    // A character of a kind the name lacks is never taken.
    // Counted in place: without a processor's own count, the call to the
    // library's took a twentieth of a search.
    uint64_t lacked = mask & ~present_;
    lacked -= (lacked >> 1) & 0x5555555555555555ull;
    lacked = (lacked & 0x3333333333333333ull) + ((lacked >> 2) & 0x3333333333333333ull);
    lacked = (lacked + (lacked >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return std::min(length_, candidateLength - static_cast<int>((lacked * 0x0101010101010101ull) >> 56));
}

bool SimilarNames::mayPass(int candidateLength, uint64_t mask) const {
    if (length_ <= candidateLength / 3) return false;
    // Order is at most one less than the matches.
    const int matches = mostMatches(candidateLength, mask);
    return passes(matches, matches - 1, candidateLength);
}

bool SimilarNames::mayPassByMatches(int candidateLength, uint64_t mask) const {
    const int matches = mostMatches(candidateLength, mask);
    return matches > length_ * 2 / 3 && matches > candidateLength * 2 / 3;
}

namespace {

// Below this many names a table is walked: asking for a wanted name's runs
// costs more than testing each name's length and characters.
constexpr size_t kWalkBelow = 2048;

bool holds(const uint64_t* bits, uint32_t at) { return (bits[at >> 6] >> (at & 63) & 1) != 0; }
void set(uint64_t* bits, uint32_t at) { bits[at >> 6] |= uint64_t{1} << (at & 63); }

}  // namespace

void NearMissIndex::add(std::string_view name) {
    const auto member = static_cast<uint32_t>(covered_++);
    if (name.empty() || name[0] == '$') return;
    name = name.substr(0, SimilarNames::kLimit);
    const auto record = static_cast<uint32_t>(records_.size());
    const size_t length = name.size();
    const size_t at = text_.size();
    uint64_t mask = 0;
    uint64_t seen[4] = {};
    for (char c : name) {
        const uint8_t folded = SimilarNames::fold(c);
        text_.push_back(static_cast<char>(folded));
        mask |= uint64_t{1} << (folded & 63);
        if (!holds(seen, folded)) post(charKey(folded), record);
        set(seen, folded);
    }
    records_.push_back(Record{member, static_cast<uint32_t>(at), static_cast<uint32_t>(length), mask});
    marks_.push_back(0);
    const auto* folded = reinterpret_cast<const uint8_t*>(text_.data() + at);
    auto run = [&](size_t from, int n) {
        uint32_t made = 0;
        for (int k = 0; k < n; ++k) made |= uint32_t{folded[from + k]} << (8 * k);
        return made;
    };
    auto noteStart = [&](size_t from) {
        if (runPairs_.empty()) runPairs_.assign(65536 / 64, 0);
        if (runsPosted_.empty()) runsPosted_.assign((size_t{1} << kRunBitsLog) / 64, 0);
        set(runStarts_, folded[from]);
        set(runPairs_.data(), run(from, 2));
    };
    auto postRun = [&](uint64_t key) {
        post(key, record);
        set(runsPosted_.data(), static_cast<uint32_t>(runBit(key)));
    };
    for (size_t from = 0; from + 4 <= length; ++from) {
        noteStart(from);
        postRun(runKey(run(from, 4), 4));
        const uint32_t three = run(from, 3);
        set(runsPosted_.data(), static_cast<uint32_t>(runBit(fourStartKey(three))));
        fourStarts_.insert(three);
    }
    for (size_t from = 0; from + 6 <= length; ++from) {
        noteStart(from);
        postRun(runKey(run(from, 3), 3));
    }
}

void NearMissIndex::post(uint64_t key, uint32_t record) {
    std::vector<uint32_t>& list = postings_[key];
    if (list.empty() || list.back() != record) list.push_back(record);
}

bool NearMissIndex::findRuns(std::string_view wanted, size_t count, size_t budget) {
    if (runPairs_.empty()) return true;
    const auto* text = reinterpret_cast<const uint8_t*>(wanted.data());
    const size_t length = wanted.size();
    size_t asked = 0;
    // The first place of each kind of character from each place on, in
    // order: the list from `from` is the one from the next place, with
    // `from` first and the place of its kind after it left out. A name's
    // places are listed once, rather than again for each run that asks.
    firsts_.resize((length + 1) * (length + 1));
    listed_.assign(length + 1, 0);
    for (size_t from = length; from-- > 0;) {
        uint8_t* list = &firsts_[from * (length + 1)];
        const uint8_t* next = &firsts_[(from + 1) * (length + 1)];
        size_t n = 0;
        list[n++] = static_cast<uint8_t>(from);
        for (size_t k = 0; k < listed_[from + 1]; ++k)
            if (text[next[k]] != text[from]) list[n++] = next[k];
        listed_[from] = static_cast<uint16_t>(n);
    }
    // Each kind of character from `from` on, at its first place there: every
    // run the name holds in order is met once.
    auto each = [&](size_t from, auto&& visit) {
        asked += (length - from) / 16 + 1;
        const uint8_t* list = &firsts_[from * (length + 1)];
        for (size_t k = 0; k < listed_[from] && asked <= budget; ++k)
            if (!visit(text[list[k]], size_t{list[k]})) return false;
        return asked <= budget;
    };
    auto take = [&](uint64_t key) {
        if (!mayBePosted(key)) return ++asked <= budget;
        if (const std::vector<uint32_t>* listed = postings(key)) {
            for (uint32_t record : *listed) {
                if (records_[record].member >= count) break;
                mark(record, kByRuns);
                ++asked;
            }
        }
        return ++asked <= budget;
    };
    return each(0, [&](uint8_t first, size_t i) {
        if (!holds(runStarts_, first)) return true;
        return each(i + 1, [&](uint8_t second, size_t j) {
            const uint32_t pair = first | uint32_t{second} << 8;
            if (!holds(runPairs_.data(), pair)) return true;
            return each(j + 1, [&](uint8_t third, size_t k) {
                const uint32_t three = pair | uint32_t{third} << 16;
                if (!take(runKey(three, 3))) return false;
                if (!mayBePosted(fourStartKey(three)) || fourStarts_.count(three) == 0) return true;
                return each(k + 1,
                            [&](uint8_t fourth, size_t) { return take(runKey(three | uint32_t{fourth} << 24, 4)); });
            });
        });
    });
}

bool NearMissIndex::passes(const SimilarNames& wanted, const Record& record, uint8_t how) const {
    const auto length = static_cast<int>(record.length);
    const bool may = (how & kByRuns) != 0 ? wanted.mayPass(length, record.mask)
                                          : wanted.mayPassByMatches(length, record.mask);
    return may && wanted.similarToFolded(nameOf(record));
}

void NearMissIndex::walk(const SimilarNames& wanted, size_t count, std::vector<uint32_t>& out) const {
    for (const Record& record : records_) {
        if (record.member >= count) break;
        if (passes(wanted, record, kByRuns)) out.push_back(record.member);
    }
}

void NearMissIndex::similarAmong(const SimilarNames& wanted, size_t count, std::vector<uint32_t>& out) {
    if (records_.size() < kWalkBelow) return walk(wanted, count, out);
    const std::string_view folded = wanted.folded();
    const size_t budget = records_.size() / 4;
    // The kinds of character whose lists are shortest, until they make up a
    // third of the name: a record with none of them takes too few.
    std::vector<std::pair<size_t, uint8_t>> kinds;
    uint64_t seen[4] = {};
    for (char c : folded) {
        const auto kind = static_cast<uint8_t>(c);
        if (holds(seen, kind)) continue;
        set(seen, kind);
        const std::vector<uint32_t>* listed = postings(charKey(kind));
        kinds.emplace_back(listed != nullptr ? listed->size() : 0, kind);
    }
    std::sort(kinds.begin(), kinds.end());
    const size_t third = folded.size() - folded.size() * 2 / 3;
    size_t taken = 0;
    for (size_t k = 0; k < kinds.size() && taken < third && touched_.size() <= budget; ++k) {
        if (const std::vector<uint32_t>* listed = postings(charKey(kinds[k].second)))
            for (uint32_t record : *listed) {
                if (records_[record].member >= count) break;
                mark(record, kByMatches);
            }
        taken += static_cast<size_t>(wanted.occurrences(kinds[k].second));
    }
    const bool found = touched_.size() <= budget &&
                       (folded.size() < 4 || findRuns(folded, count, budget - touched_.size()));
    if (found) {
        const size_t first = out.size();
        for (uint32_t record : touched_)
            if (passes(wanted, records_[record], marks_[record])) out.push_back(records_[record].member);
        std::sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end());
    }
    for (uint32_t record : touched_) marks_[record] = 0;
    touched_.clear();
    if (!found) walk(wanted, count, out);
}

}  // namespace model
