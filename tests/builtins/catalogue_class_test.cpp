#include "builtins/catalogue_class.h"

#include <gtest/gtest.h>

namespace {

TEST(CatalogueClass, NestedClassesAreNamedWithTheirOwner) {
    CatalogueClass result{.builtinId = 46, .name = "Result", .owner = "Pattern"};
    CatalogueClass pattern{.builtinId = 45, .name = "Pattern"};
    EXPECT_TRUE(catalogueNameIs(result, "Pattern.Result"));
    EXPECT_FALSE(catalogueNameIs(result, "Result"));
    EXPECT_FALSE(catalogueNameIs(result, "KRegular.Result"));
    EXPECT_FALSE(catalogueNameIs(result, "PatternXResult"));
    EXPECT_TRUE(catalogueNameIs(pattern, "Pattern"));
    EXPECT_FALSE(catalogueNameIs(pattern, "Pattern.Result"));
}

TEST(CatalogueClass, MembersAreReadOnceWithTheClasssPlaceholders) {
    CatalogueClass list{.builtinId = 41, .name = "List", .kind = CatalogueKind::Template,
                        .step = CatalogueStep::Instance, .typeParameters = "Element",
                        .placeholders = "Element Iterator", .members = "Iterator iterator()\n"};
    const MemberText& first = catalogueMembers(list);
    EXPECT_EQ(&first, &catalogueMembers(list));
    ASSERT_EQ(first.methods.size(), 1u);
    EXPECT_EQ(first.methods[0].result.placeholder, 1);
}

TEST(CatalogueClassDeathTest, ABadTextStopsTheBuildNamingClassAndLine) {
    CatalogueClass bad{.builtinId = 1, .name = "Result", .owner = "Bad", .members = "\nvoid f("};
    EXPECT_DEATH(catalogueMembers(bad), "member text of Bad.Result: line 2: expected a parameter type");
}

}  // namespace
