#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "foundation/rare_fields.h"

namespace {

struct Fields {
    std::string text;
    int number = 0;
    bool operator==(const Fields&) const = default;
};

using Box = qestl::RareFields<Fields>;

TEST(RareFields, AnEmptyBoxReadsAndComparesAsDefaultsAndCopiesAreDeep) {
    Box empty;
    EXPECT_FALSE(empty.made());
    EXPECT_EQ(empty.get().number, 0);
    Box made;
    made.edit();
    EXPECT_TRUE(made.made());
    EXPECT_EQ(empty, made);  // a box holding defaults equals an empty one

    made.edit().text = "kept";
    Box copy(made);
    copy.edit().text = "changed";
    EXPECT_EQ(made.get().text, "kept");
    EXPECT_FALSE(copy == made);
}

TEST(RareFields, AssignmentKeepsTheFieldsWhereTheyAre) {
    Box box;
    box.edit().number = 7;
    const Fields* at = &box.get();
    Box other;
    other.edit().number = 9;
    box = other;
    EXPECT_EQ(&box.get(), at);
    EXPECT_EQ(box.get().number, 9);
    box = Box();  // an empty box given back: defaults, same place
    EXPECT_EQ(&box.get(), at);
    EXPECT_EQ(box.get().number, 0);
    box.edit().number = 3;
    box.clear();
    EXPECT_EQ(&box.get(), at);
    EXPECT_EQ(box.get().number, 0);

    Box moved(std::move(box));
    EXPECT_EQ(&moved.get(), at);
    EXPECT_FALSE(box.made());  // NOLINT: read after move on purpose
}

}  // namespace
