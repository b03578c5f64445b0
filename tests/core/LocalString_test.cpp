// LocalString: where the text lives (inside the object up to 255 characters,
// on the heap beyond), narrow text in code page 936, and binary equality.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/LocalString.h"
#include "core/Win.h"
#include "support/Texts.h"

using zo::LocalString;
using zo::String;

namespace {

using zotest::kToolTitleGbk;

bool InsideObject(const LocalString& s) {
    const char* p = reinterpret_cast<const char*>(s.Handle());
    const char* self = reinterpret_cast<const char*>(&s);
    return p >= self && p < self + sizeof(s);
}

TEST(LocalStringStorage, StaysInsideUpTo255CharactersAndMovesOnceBeyond) {
    std::string narrow(255, 'a');
    LocalString s(narrow.c_str());
    EXPECT_TRUE(InsideObject(s));
    EXPECT_EQ(255u, s.Length());
    EXPECT_EQ(0u, s.Cubage());
    LocalString t((narrow + "b").c_str());
    EXPECT_FALSE(InsideObject(t));
    EXPECT_EQ(256u, t.Length());
    EXPECT_EQ(511u, t.Cubage());
    EXPECT_EQ(L'b', t.RevElement(0));
    s += "xy";                                 // appending moves the text out
    EXPECT_FALSE(InsideObject(s));
    EXPECT_EQ(257u, s.Length());
    EXPECT_EQ(std::wstring(255, L'a') + L"xy", s.Handle());
}

TEST(LocalStringStorage, EmptyAndNullStartWithAnEmptyText) {
    LocalString a(nullptr), b(""), c;
    for (LocalString* s : {&a, &b, &c}) {
        EXPECT_TRUE(InsideObject(*s));
        EXPECT_TRUE(s->IsNull());
        EXPECT_TRUE(*s == L"");
    }
}

TEST(LocalStringStorage, AnAdoptedSmallBufferStillGrows) {
    LocalString s("abc");
    wchar_t* buffer = static_cast<wchar_t*>(malloc(3 * sizeof(wchar_t)));
    wcscpy(buffer, L"xy");
    s.Attach(buffer);
    s += L"0123456789";
    EXPECT_TRUE(s == L"xy0123456789");
    EXPECT_GE(s.Cubage(), s.Length());
}

TEST(LocalStringStorage, WideOperationsWorkOnTheInnerBufferAndBeyond) {
    LocalString s("ab");
    s = L"wide";
    s.InsertChar(L'-', 0);
    EXPECT_EQ(1u, s.Prepend(L">"));
    EXPECT_TRUE(s == L">-wide");
    EXPECT_TRUE(InsideObject(s));
    s.Format(L"%s%d", std::wstring(300, L'x').c_str(), 7);
    EXPECT_FALSE(InsideObject(s));
    EXPECT_EQ(301u, s.Length());
    s.FromInt64(-12);
    EXPECT_TRUE(s == L"-12");
}

class LocalString936 : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(936u, GetACP()); }
};

TEST_F(LocalString936, ChineseTextRoundTrips) {
    LocalString s(kToolTitleGbk);
    EXPECT_TRUE(s == L"网络模块设置工具");
    zo::Memory<char> bytes;
    ASSERT_EQ(16, s.ToMultiByte(bytes));
    EXPECT_EQ(std::string(kToolTitleGbk), std::string(bytes.data, 16));
    s += "\xB0\xF3\xB6\xA8";                  // "绑定"
    EXPECT_TRUE(s == L"网络模块设置工具绑定");
}

TEST_F(LocalString936, ALoneLeadByteAtTheEndKeepsTheTextWhole) {
    LocalString s("\xCD\xF8\xC2");
    ASSERT_GE(s.Length(), 2u);
    EXPECT_EQ(L'网', s.Element(0));
    EXPECT_EQ(s.Length(), wcslen(s.Handle()));
    s += "\xCD";
    EXPECT_EQ(s.Length(), wcslen(s.Handle()));
}

TEST(LocalStringEquality, ComparesLengthsAndUnits) {
    LocalString a("abc"), b("abc"), c("abd"), d("ab");
    String w(L"abc");
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == w);
    EXPECT_FALSE(a == c);
    EXPECT_FALSE(a == d);
    EXPECT_TRUE(a != d);
    EXPECT_TRUE(a == L"abc");
    LocalString empty;
    String none;
    EXPECT_TRUE(empty == none);
}

} // namespace
