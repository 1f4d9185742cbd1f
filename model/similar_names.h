// The test that picks the near misses a message offers after a name that
// could not be found (Container::listSimilarNames).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace model {

// Whether a member's name is close enough to the wanted one to suggest:
// each wanted character, in order, takes the first untaken candidate
// character equal to it ignoring case, and the names are close when most
// characters were taken or many were taken right after the one before.
// Since a character only ever takes its own kind, the k-th occurrence of a
// character in the candidate is taken by its k-th occurrence in the wanted
// name, if there is one, and one walk over the candidate finds which
// position took each and when: a catalogue of thousands of names asked
// about a long unknown name costs the candidates' lengths, not their
// products with the wanted length.
class SimilarNames {
public:
    explicit SimilarNames(std::string_view wanted);

    bool similarTo(std::string_view candidate) const;

private:
    static constexpr size_t kLimit = 256;
    // Close enough, by the characters taken and the ones taken in order.
    bool passes(int matches, int order, int candidateLength) const;
    // The process keeps the C locale, whose tolower folds ASCII letters only.
    static uint8_t fold(char c) {
        const auto byte = static_cast<uint8_t>(c);
        return byte >= 'A' && byte <= 'Z' ? static_cast<uint8_t>(byte + ('a' - 'A')) : byte;
    }

    // The wanted name's positions of each character c, in order: count_[c]
    // of them from start_[c]. start_ is set for the name's own characters
    // only, and read only where count_ is not zero: a short name costs its
    // length, not a walk over every character there is.
    uint16_t count_[256];
    uint16_t start_[256];
    uint16_t positions_[kLimit];
    // The name's characters, folded onto 64 bits: a candidate's characters
    // found there bound how many it can share with the name.
    uint64_t present_ = 0;
    int length_ = 0;
};

}  // namespace model
