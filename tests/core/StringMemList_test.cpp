// StringMemList: the block's growth, and index pointers that stay right when
// strings are inserted in front and the block moves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/StringMemList.h"

using zo::StringMemList;

namespace {

// Every pointer lies in the used part of the block and the strings are the
// expected ones, back to back.
void ExpectStrings(const StringMemList& l, const std::vector<std::wstring>& expected) {
    ASSERT_EQ(expected.size(), l.Count());
    unsigned used = 0;
    for (unsigned i = 0; i < l.Count(); ++i) {
        EXPECT_EQ(l.Handle() + used, l[i]) << i;
        EXPECT_EQ(expected[i], l[i]) << i;
        used += static_cast<unsigned>(expected[i].size()) + 1;
    }
    EXPECT_EQ(used, l.Length());
    EXPECT_LE(l.Length(), l.Cubage());
}

TEST(StringMemListAdd, BlockGrowsToTwiceWhatIsNeeded) {
    StringMemList l;
    EXPECT_EQ(nullptr, l.Handle());
    EXPECT_TRUE(l.Add(L"abc"));
    EXPECT_EQ(4u, l.Length());
    EXPECT_EQ(8u, l.Cubage());
    EXPECT_TRUE(l.Add(L"defg"));               // 9 needed: 18
    EXPECT_EQ(18u, l.Cubage());
    EXPECT_TRUE(l.Add(L""));
    EXPECT_EQ(18u, l.Cubage());
    EXPECT_FALSE(l.Add(nullptr));
    ExpectStrings(l, {L"abc", L"defg", L""});
    EXPECT_EQ(std::wstring(L"defg"), l.RevElement(1));
}

TEST(StringMemListAdd, InsertingInFrontKeepsEveryPointerAcrossBlockMoves) {
    StringMemList l;
    l.Add(L"a");
    l.Add(L"b");
    l.Add(L"x", 0);
    ExpectStrings(l, {L"x", L"a", L"b"});
    std::vector<std::wstring> expected = {L"x", L"a", L"b"};
    for (int i = 0; i < 200; ++i) {
        std::wstring text(static_cast<size_t>(i % 37), static_cast<wchar_t>(L'A' + i % 26));
        unsigned pos = static_cast<unsigned>(i * 7) % (l.Count() + 1);
        ASSERT_TRUE(l.Add(text.c_str(), pos));
        expected.insert(expected.begin() + pos, text);
    }
    ExpectStrings(l, expected);
}

TEST(StringMemListAdd, AddingOneOfItsOwnStrings) {
    StringMemList l;
    l.Add(L"self");
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(l.Add(l[0], 0));
    ExpectStrings(l, std::vector<std::wstring>(7, L"self"));
}

} // namespace
