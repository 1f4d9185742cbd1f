// The numbering of failed names and a container's table of them: the
// answers must hold through every growth, for texts that share a hash, and
// across numberings.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "model/failed_names.h"

namespace {

using model::FailedNameNumbers;
using model::FailedNames;
using qestl::HashedText;

std::vector<std::string> spelled(const char* stem, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(stem + std::to_string(i));
    return names;
}

// A text has one number in a numbering, never 0, whatever storage it is
// read from; texts of one hash are told apart. The number stays in the
// hashed text for the next table, and another numbering numbers it anew.
TEST(FailedNameNumbers, OneNumberPerTextInANumbering) {
    FailedNameNumbers numbers;
    const std::vector<std::string> names = spelled("name", 5000);
    std::vector<uint32_t> given;
    for (const std::string& name : names) given.push_back(numbers.numberOf(HashedText(name)));
    const std::set<uint32_t> distinct(given.begin(), given.end());
    EXPECT_EQ(distinct.size(), names.size());
    EXPECT_EQ(distinct.count(0), 0u);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string copy = names[i];
        EXPECT_EQ(numbers.numberOf(HashedText(copy)), given[i]) << copy;
    }

    const HashedText alpha("alpha", 42);
    const HashedText beta("beta", 42);
    EXPECT_NE(numbers.numberOf(alpha), numbers.numberOf(beta));
    EXPECT_EQ(numbers.numberOf(HashedText("alpha", 42)), alpha.number);

    const HashedText kept("kept");
    const uint32_t number = numbers.numberOf(kept);
    EXPECT_EQ(kept.number, number);
    EXPECT_EQ(kept.numberGeneration, numbers.generation());
    FailedNameNumbers other;
    ASSERT_NE(other.generation(), numbers.generation());
    other.numberOf(HashedText("first"));
    const uint32_t renumbered = other.numberOf(kept);
    EXPECT_NE(renumbered, number);
    EXPECT_EQ(other.numberOf(HashedText("kept")), renumbered);
}

// The count a name's first failure noted stays its answer, from the one
// pair held in place through blocks of many; a table made later notes the
// earlier one's names at count 0 but keeps its own.
TEST(FailedNames, TheFirstFailureCountStays) {
    FailedNameNumbers numbers;
    FailedNames table;
    const HashedText first("first");
    EXPECT_EQ(table.notedCount(first, numbers), FailedNames::kNotNoted);
    ASSERT_NE(first.number, 0u);
    EXPECT_EQ(table.countAtFirstFailure(first.number, 3), 3u);
    EXPECT_EQ(table.countAtFirstFailure(first.number, 9), 3u);

    const std::vector<std::string> names = spelled("n", 1000);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(table.countAtFirstFailure(numbers.numberOf(HashedText(names[i])), i + 10), i + 10);
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(table.notedCount(HashedText(names[i]), numbers), i + 10);
    EXPECT_EQ(table.notedCount(first, numbers), 3u);
    EXPECT_EQ(table.notedCount(HashedText("never"), numbers), FailedNames::kNotNoted);

    FailedNames later;
    later.countAtFirstFailure(numbers.numberOf(HashedText("n5")), 77);
    later.noteAllAtNone(table);
    EXPECT_EQ(later.notedCount(HashedText("n5"), numbers), 77u);
    EXPECT_EQ(later.notedCount(HashedText("n6"), numbers), 0u);
    EXPECT_EQ(later.notedCount(first, numbers), 0u);

    FailedNames single;
    single.countAtFirstFailure(first.number, 5);
    FailedNames fromSingle;
    fromSingle.noteAllAtNone(single);
    EXPECT_EQ(fromSingle.notedCount(first, numbers), 0u);

    table.clear();
    EXPECT_EQ(table.notedCount(first, numbers), FailedNames::kNotNoted);
    EXPECT_EQ(table.countAtFirstFailure(first.number, 4), 4u);
}

// A similar-names listing is kept by name beside the counts: the pair held
// in place moves into a block for it, and both stay through growth.
TEST(FailedNames, SimilarListsStayBesideTheCounts) {
    FailedNameNumbers numbers;
    FailedNames table;
    EXPECT_EQ(table.similarList("a"), nullptr);
    const uint32_t first = numbers.numberOf(HashedText("first"));
    table.countAtFirstFailure(first, 6);
    table.keepSimilarList("a", std::vector<qestl::SmartPtr>(2));
    EXPECT_EQ(table.countAtFirstFailure(first, 0), 6u);
    for (const std::string& name : spelled("m", 100)) table.countAtFirstFailure(numbers.numberOf(HashedText(name)), 1);
    ASSERT_NE(table.similarList("a"), nullptr);
    EXPECT_EQ(table.similarList("a")->size(), 2u);
    EXPECT_EQ(table.similarList("b"), nullptr);
    EXPECT_EQ(table.countAtFirstFailure(first, 0), 6u);
}

}  // namespace
