// The test that picks the near misses a message offers after a name that
// could not be found (Container::listSimilarNames).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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
    // The same for a candidate whose characters are folded already.
    bool similarToFolded(std::string_view candidate) const;
    // Whether a candidate of that length (at most kLimit), whose characters
    // fold onto the bits of `mask` (folded() & 63), can pass at all: the
    // test that NearMissIndex asks before walking a candidate.
    bool mayPass(int candidateLength, uint64_t mask) const;
    // Whether it can pass by the characters taken alone.
    bool mayPassByMatches(int candidateLength, uint64_t mask) const;

    // The name's first kLimit characters, folded.
    std::string_view folded() const { return {reinterpret_cast<const char*>(folded_), size_t(length_)}; }
    int occurrences(uint8_t folded) const { return count_[folded]; }
    static constexpr size_t kLimit = 256;
    // The process keeps the C locale, whose tolower folds ASCII letters only.
    static uint8_t fold(char c) {
        const auto byte = static_cast<uint8_t>(c);
        return byte >= 'A' && byte <= 'Z' ? static_cast<uint8_t>(byte + ('a' - 'A')) : byte;
    }

private:
    template <bool kFolded>
    bool test(std::string_view candidate) const;
    // Close enough, by the characters taken and the ones taken in order.
    bool passes(int matches, int order, int candidateLength) const;
    int mostMatches(int candidateLength, uint64_t mask) const;

    // The wanted name's positions of each character c, in order: count_[c]
    // of them from start_[c]. start_ is set for the name's own characters
    // only, and read only where count_ is not zero: a short name costs its
    // length, not a walk over every character there is.
    uint16_t count_[256];
    uint16_t start_[256];
    uint16_t positions_[kLimit];
    uint8_t folded_[kLimit];
    // The name's characters, folded onto 64 bits: a candidate's characters
    // found there bound how many it can share with the name.
    uint64_t present_ = 0;
    // For each character (folded & 63), the characters found after its
    // first place in the name, folded onto 64 bits.
    uint64_t follows_[64];
    int length_ = 0;
};

// The names of a container's members, in member order, indexed so that the
// near misses of a name are found without testing every member: a program
// of a hundred thousand classes, each with an unknown base, tested every
// class for each (bench/hostile_shapes.py unknown_bases). Whatever the test
// passes is among the candidates, since a name can pass only
// - by characters taken (more than two thirds of the wanted name's), when
//   it holds one of any set of the wanted name's characters that makes up
//   a third of it: the set with the shortest lists is asked;
// - by characters taken in order (three more in order than not, which
//   takes two runs of three characters, or one of four, each taken in
//   order), when a run of four of its characters, or a run of three that
//   leaves room for another after it, is found in the wanted name in that
//   order: each such run of the wanted name that the index holds is asked.
// A short table, or a wanted name whose runs outnumber it, is walked. The
// names are tested as they were added: a member keeps the name it was
// listed under.
class NearMissIndex {
public:
    // The next member's name; one that begins with '$' is never offered.
    void add(std::string_view name);
    // The members added.
    size_t covered() const { return covered_; }
    // The members below `count` whose names pass wanted.similarTo, ascending.
    void similarAmong(const SimilarNames& wanted, size_t count, std::vector<uint32_t>& out);

private:
    struct Record {
        uint32_t member;
        uint32_t at;  // of the folded name in text_
        uint32_t length;
        uint64_t mask;
    };
    std::string_view nameOf(const Record& record) const {
        return std::string_view(text_).substr(record.at, record.length);
    }
    // A record's key: a character, or a run of three or four characters.
    static uint64_t charKey(uint8_t c) { return uint64_t{1} << 32 | c; }
    static uint64_t runKey(uint32_t run, int length) { return uint64_t(length) << 32 | run; }
    // The key under which the first three characters of a run of four are
    // noted in mayBePosted's bits.
    static uint64_t fourStartKey(uint32_t three) { return runKey(three, 5); }
    void post(uint64_t key, uint32_t record);
    const std::vector<uint32_t>* postings(uint64_t key) const {
        const auto found = postings_.find(key);
        return found != postings_.end() ? &found->second : nullptr;
    }
    // Whether a run's key may be posted: a bit for each key posted, by a
    // hash of it. Most runs of a wanted name are posted for no record, and
    // a program of a million near-miss searches asked the postings for each
    // (bench/hostile_shapes.py unknown_bases).
    static constexpr int kRunBitsLog = 18;
    static size_t runBit(uint64_t key) { return size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - kRunBitsLog)); }
    bool mayBePosted(uint64_t key) const {
        const size_t bit = runBit(key);
        return !runsPosted_.empty() && (runsPosted_[bit >> 6] >> (bit & 63) & 1) != 0;
    }
    // Marks the records that hold a run of wanted; false past `budget`.
    bool findRuns(std::string_view wanted, size_t count, size_t budget);
    // Marks a record found (kByMatches, kByRuns); false past `budget` found.
    void mark(uint32_t record, uint8_t how) {
        if (marks_[record] == 0) touched_.push_back(record);
        marks_[record] |= how;
    }
    void walk(const SimilarNames& wanted, size_t count, std::vector<uint32_t>& out) const;
    bool passes(const SimilarNames& wanted, const Record& record, uint8_t how) const;

    static constexpr uint8_t kByMatches = 1;
    static constexpr uint8_t kByRuns = 2;
    std::vector<Record> records_;
    std::string text_;
    size_t covered_ = 0;
    std::unordered_map<uint64_t, std::vector<uint32_t>> postings_;
    // The first characters, and the first two, of the runs held, and the
    // first three of the runs of four: a run of the wanted name that no
    // record begins so is not asked for.
    uint64_t runStarts_[4] = {};
    std::vector<uint64_t> runPairs_;
    std::unordered_set<uint32_t> fourStarts_;
    std::vector<uint64_t> runsPosted_;  // mayBePosted's bits
    // One search's records found, and how, each record once.
    std::vector<uint8_t> marks_;
    std::vector<uint32_t> touched_;
    // findRuns' lists of places (at most kLimit of them, each below it).
    std::vector<uint8_t> firsts_;
    std::vector<uint16_t> listed_;
};

}  // namespace model
