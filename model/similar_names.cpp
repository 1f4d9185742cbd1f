#include "model/similar_names.h"

#include <algorithm>
#include <iterator>

namespace model {

SimilarNames::SimilarNames(std::string_view wanted) {
    wanted = wanted.substr(0, kLimit);
    length_ = static_cast<int>(wanted.size());
    std::fill(std::begin(count_), std::end(count_), uint16_t{0});
    for (char c : wanted) {
        ++count_[fold(c)];
        present_ |= uint64_t{1} << (fold(c) & 63);
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
}

bool SimilarNames::similarTo(std::string_view candidate) const {
    candidate = candidate.substr(0, kLimit);
    const int candidateLength = static_cast<int>(candidate.size());
    // Neither test can pass: order never exceeds matches, nor matches
    // the wanted length.
    if (length_ <= candidateLength / 3) return false;
    // Matches are at most the characters the name may hold, and order at
    // most one less: most candidates fail both tests on that bound alone.
    int bound = 0;
    for (char c : candidate) bound += static_cast<int>((present_ >> (fold(c) & 63)) & 1);
    if (!passes(bound, bound - 1, candidateLength)) return false;
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

}  // namespace model
