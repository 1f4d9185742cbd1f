// The near-miss test decides as its plain statement does, and the index
// offers what testing every name offers: tables of numbered names, of words
// and of random ones, walked and indexed, asked about names that are close
// to them and names that are not.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/similar_names.h"

namespace {

// The test as stated, without its shortcuts: the k-th occurrence of a
// character in the candidate is taken by its k-th one in the wanted name.
bool plainlySimilar(const std::string& wanted, std::string candidate) {
    auto fold = [](char c) { return model::SimilarNames::fold(c); };
    candidate = candidate.substr(0, model::SimilarNames::kLimit);
    const std::string name = wanted.substr(0, model::SimilarNames::kLimit);
    const int length = int(name.size()), candidateLength = int(candidate.size());
    int matches = 0, order = 0, previousAt = -1;
    for (int i = 0; i < candidateLength; ++i) {
        int k = 0, at = -1;
        for (int j = 0; j < i; ++j) k += fold(candidate[j]) == fold(candidate[i]);
        for (int j = 0; j < length && at < 0; ++j)
            if (fold(name[j]) == fold(candidate[i]) && k-- == 0) at = j;
        if (at >= 0) {
            if (i > 0) order += previousAt >= 0 && previousAt < at ? 1 : -1;
            ++matches;
        }
        previousAt = at;
    }
    if (length <= candidateLength / 3) return false;
    if (matches > length * 2 / 3 && matches > candidateLength * 2 / 3) return true;
    return order >= 3 && order > candidateLength / 3;
}

std::vector<uint32_t> everyName(const std::vector<std::string>& names, const std::string& wanted, size_t count) {
    const model::SimilarNames test(wanted);
    std::vector<uint32_t> found;
    for (size_t i = 0; i < count && i < names.size(); ++i) {
        if (names[i].empty() || names[i][0] == '$') continue;
        EXPECT_EQ(test.similarTo(names[i]), plainlySimilar(wanted, names[i])) << wanted << " ~ " << names[i];
        if (test.similarTo(names[i])) found.push_back(uint32_t(i));
    }
    return found;
}

std::string randomName(std::mt19937& random, const std::string& letters, size_t longest) {
    std::string name(1 + random() % longest, ' ');
    for (char& c : name) c = letters[random() % letters.size()];
    return name;
}

void expectSameAsEveryName(const std::vector<std::string>& names, const std::vector<std::string>& asked) {
    model::NearMissIndex index;
    for (const std::string& name : names) index.add(name);
    for (const std::string& wanted : asked)
        for (size_t count : {names.size(), names.size() / 3}) {
            std::vector<uint32_t> found;
            index.similarAmong(model::SimilarNames(wanted), count, found);
            EXPECT_EQ(found, everyName(names, wanted, count)) << wanted << " among " << count;
        }
}

TEST(NearMissIndex, OffersWhatEveryNameOffers) {
    std::mt19937 random(7);
    std::vector<std::string> names = {"String", "Math", "ARCH_UNKNOW", "$class1@C1", "", "value", "Value"};
    for (int i = 0; i < 3000; ++i) names.push_back((i % 3 ? "C" : "Widget") + std::to_string(i * 37 % 5000));
    for (int i = 0; i < 1500; ++i) names.push_back(randomName(random, "abcdeABCDE_xyz", 14));
    for (int i = 0; i < 200; ++i) names.push_back(randomName(random, "abcdefghijklmnopqrstuvwxyz0123456789", 40));
    std::vector<std::string> asked = {"Missing1234",
                                      "C1234",
                                      "c12345",
                                      "Widget77",
                                      "widge",
                                      "Strin",
                                      "unknown4",
                                      "value",
                                      "abc",
                                      "",
                                      "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"};
    for (int i = 0; i < 150; ++i) asked.push_back(randomName(random, "abcdeABCDE_xyz0123", 20));
    for (int i = 0; i < 20; ++i) asked.push_back(randomName(random, "abcdefghijklmnopqrstuvwxyz0123456789", 300));
    expectSameAsEveryName(names, asked);
    // A table too short to index is walked.
    names.resize(300);
    expectSameAsEveryName(names, asked);
}

}  // namespace
