// StringList and StringDiction: positions, splitting (empty pieces count),
// search, and the uniqueness of a diction's texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/StringList.h"

using zo::NPOS;
using zo::StringDiction;
using zo::StringList;

namespace {

std::vector<std::wstring> Items(const StringList& l) {
    std::vector<std::wstring> v;
    for (unsigned i = 0; i < l.Count(); ++i) v.push_back(l[i].Handle() ? l[i].Handle() : L"");
    return v;
}

typedef std::vector<std::wstring> Texts;

TEST(StringListAdd, PositionsAndReturnedIndices) {
    StringList l;
    EXPECT_EQ(0u, l.Add(L"b"));
    EXPECT_EQ(0u, l.Add(L"a", 0));
    EXPECT_EQ(2u, l.Add(L"d", 77));
    EXPECT_EQ(2u, l.Add(L"c", 2));
    EXPECT_EQ(4u, l.Add(nullptr));
    EXPECT_EQ(Texts({L"a", L"b", L"c", L"d", L""}), Items(l));
    EXPECT_TRUE(l.RevElement(1) == L"d");
    EXPECT_EQ(2u, l.Delete(1, 2));
    EXPECT_EQ(Texts({L"a", L"d", L""}), Items(l));
    l.Clear();
    EXPECT_EQ(0u, l.Count());
}

TEST(StringListAdd, ElementsKeepTheirAddressWhileTheListGrows) {
    StringList l;
    l.Add(L"first");
    zo::String& first = l.Element(0);
    for (int i = 0; i < 1000; ++i) l.Add(L"more", 0);
    EXPECT_EQ(&first, &l.RevElement(0));
    EXPECT_TRUE(first == L"first");
}

TEST(StringListSplit, PiecesBetweenSeparatorsIncludingEmptyOnes) {
    const struct {
        const wchar_t* text;
        const wchar_t* separator;
        Texts pieces;
    } cases[] = {
        {L"a,,b,", L",", {L"a", L"", L"b", L""}},
        {L",a,", L",", {L"", L"a", L""}},
        {L",", L",", {L"", L""}},
        {L"abc", L"", {L"abc"}},
        {L"abc", nullptr, {L"abc"}},
        {L"abc", L"abcd", {L"abc"}},
        {L"abc", L"abc", {L"", L""}},
        {L"a--b----c", L"--", {L"a", L"b", L"", L"c"}},
        {L"aaa", L"aa", {L"", L"a"}},               // matches do not overlap
        {L"网络\n模块\n", L"\n", {L"网络", L"模块", L""}},
    };
    for (const auto& c : cases) {
        StringList l;
        l.Add(L"kept");
        EXPECT_EQ(c.pieces.size(), l.Split(c.text, c.separator)) << c.text;
        Texts expected = c.pieces;
        expected.insert(expected.begin(), L"kept");
        EXPECT_EQ(expected, Items(l)) << c.text;
    }
    StringList l;
    EXPECT_EQ(0u, l.Split(nullptr, L","));
    EXPECT_EQ(0u, l.Split(L"", L","));
    EXPECT_EQ(0u, l.Count());
}

TEST(StringListSearch, IndexOfFindsTheFirstEqualText) {
    StringList l;
    EXPECT_EQ(NPOS, l.IndexOf(L"a"));
    l.Split(L"a,B,,b,a", L",");
    EXPECT_EQ(0u, l.IndexOf(L"a"));
    EXPECT_EQ(3u, l.IndexOf(L"b"));
    EXPECT_EQ(2u, l.IndexOf(L""));
    EXPECT_EQ(2u, l.IndexOf(nullptr));
    EXPECT_EQ(NPOS, l.IndexOf(L"c"));
}

TEST(StringDictionAdd, KeepsEachTextOnce) {
    StringDiction d;
    EXPECT_EQ(0u, d.Add(L"mac1"));
    EXPECT_EQ(1u, d.Add(L"MAC1"));
    EXPECT_EQ(NPOS, d.Add(L"mac1"));
    EXPECT_EQ(2u, d.Count());
    EXPECT_EQ(0u, d.Add(L"front", 0));
    EXPECT_EQ(NPOS, d.Add(d[1].Handle()));        // a text taken from the diction itself
    EXPECT_EQ(2u, d.Split(L"x,mac1,y,x", L","));
    EXPECT_EQ(Texts({L"front", L"mac1", L"MAC1", L"x", L"y"}), Items(d));
    EXPECT_EQ(1u, d.Add(nullptr, 1));
    EXPECT_EQ(NPOS, d.Add(L""));
}

} // namespace
