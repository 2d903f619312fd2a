#include <gtest/gtest.h>

#include "snow/exclude_ids.h"

namespace {

using Ids = std::vector<int>;

TEST(ExcludeIDs, NumbersAndRangesAsUsersTypeThem) {
    EXPECT_EQ(wx::parseExcludeIDs(L"3, 7-9"), (Ids{3, 7, 8, 9}));
    EXPECT_EQ(wx::parseExcludeIDs(L"2-2"), (Ids{2}));
    EXPECT_EQ(wx::parseExcludeIDs(L"9-7"), (Ids{7, 8, 9}));
    EXPECT_EQ(wx::parseExcludeIDs(L"5-,7"), (Ids{5, 6, 7}));
    EXPECT_EQ(wx::parseExcludeIDs(L"5- 7"), (Ids{5, 6, 7}));
    EXPECT_EQ(wx::parseExcludeIDs(L"1-2-3"), (Ids{2, 3}));
    EXPECT_EQ(wx::parseExcludeIDs(L"-3"), (Ids{3}));
    EXPECT_EQ(wx::parseExcludeIDs(L"4-"), Ids{});
    EXPECT_EQ(wx::parseExcludeIDs(L"no numbers here"), Ids{});
    EXPECT_EQ(wx::parseExcludeIDs(L""), Ids{});
}

TEST(ExcludeIDs, HugeInputStaysBounded) {
    const Ids wide = wx::parseExcludeIDs(L"1-100000");
    ASSERT_EQ(wide.size(), wx::kMaxExcludedIDs);
    EXPECT_EQ(wide.front(), 1);
    EXPECT_EQ(wide.back(), 4096);
    // A number longer than any integer saturates rather than wrapping into a small id.
    const Ids big = wx::parseExcludeIDs(L"99999999999999999999, 4");
    ASSERT_EQ(big.size(), 2u);
    EXPECT_GT(big[0], 65536);
    EXPECT_EQ(big[1], 4);
    // Once the list is full a second range adds nothing, but single numbers still count.
    EXPECT_EQ(wx::parseExcludeIDs(L"1-5000, 6000-6001, 7").size(), wx::kMaxExcludedIDs + 1);
}

}  // namespace
