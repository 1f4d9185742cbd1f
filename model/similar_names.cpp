#include "model/similar_names.h"

namespace model {

SimilarNames::SimilarNames(std::string_view wanted) {
    wanted = wanted.substr(0, kLimit);
    length_ = static_cast<int>(wanted.size());
    uint16_t counts[256] = {};
    for (char c : wanted) ++counts[fold(c)];
    uint16_t next = 0;
    for (size_t c = 0; c < 256; ++c) {
        first_[c] = next;
        next = static_cast<uint16_t>(next + counts[c]);
    }
    first_[256] = next;
    uint16_t filled[256] = {};
    for (size_t at = 0; at < wanted.size(); ++at) {
        const uint8_t folded = fold(wanted[at]);
        positions_[first_[folded] + filled[folded]++] = static_cast<uint16_t>(at);
    }
}

bool SimilarNames::similarTo(std::string_view candidate) const {
    candidate = candidate.substr(0, kLimit);
    const int candidateLength = static_cast<int>(candidate.size());
    // Neither test can pass: order never exceeds matches, nor matches
    // the wanted length.
    if (length_ <= candidateLength / 3) return false;
    uint16_t taken[256];
    for (char c : candidate) taken[fold(c)] = 0;
    int matches = 0, order = 0;
    bool previousTaken = false;
    uint16_t previousAt = 0;
    for (size_t i = 0; i < candidate.size(); ++i) {
        const uint8_t folded = fold(candidate[i]);
        const uint16_t k = taken[folded]++;
        if (k >= first_[folded + 1] - first_[folded]) {
            previousTaken = false;
            continue;
        }
        // Its taker's place in the wanted name is when it was taken:
        // the one before counts if it was taken earlier.
        const uint16_t at = positions_[first_[folded] + k];
        if (i > 0) order += previousTaken && previousAt < at ? 1 : -1;
        ++matches;
        previousTaken = true;
        previousAt = at;
    }
    if (matches > length_ * 2 / 3 && matches > candidateLength * 2 / 3) return true;
    return order >= 3 && order > candidateLength / 3;
}

}  // namespace model
