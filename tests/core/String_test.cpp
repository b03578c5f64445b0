// String: growth figures, editing (also with sources inside the string
// itself), the msvcrt formatting conventions, and code-page conversion as the
// users run it (code page 936).
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "core/String.h"
#include "core/Win.h"
#include "support/Texts.h"

using zo::NPOS;
using zo::String;

namespace {

using zotest::kToolTitleGbk;
const wchar_t* const kTool = zotest::kToolTitle;

using zotest::Text;

// The invariant every operation keeps, whatever its input.
void ExpectConsistent(const String& s) {
    if (!s.Handle()) {
        EXPECT_EQ(0u, s.Length());
        return;
    }
    EXPECT_LE(s.Length(), s.Cubage());
    EXPECT_EQ(L'\0', s.Handle()[s.Length()]);
    EXPECT_EQ(s.Length(), wcslen(s.Handle()));
}

TEST(StringState, DefaultIsEmptyWithoutBufferAndEqualsEmptyAndNull) {
    String s;
    EXPECT_TRUE(s.IsNull());
    EXPECT_FALSE(s.NotNull());
    EXPECT_EQ(nullptr, s.Handle());
    EXPECT_EQ(0u, s.Cubage());
    EXPECT_TRUE(s == L"");
    EXPECT_TRUE(s == nullptr);
    EXPECT_TRUE(s != L"a");
    String fromNull(static_cast<const wchar_t*>(nullptr));
    ASSERT_NE(nullptr, fromNull.Handle());
    EXPECT_EQ(0u, fromNull.Cubage());
    EXPECT_TRUE(fromNull == s);
}

TEST(StringState, ComparisonIsOrdinalAndCaseSensitive) {
    String s(L"Abc");
    EXPECT_TRUE(s == L"Abc");
    EXPECT_FALSE(s == L"abc");
    EXPECT_FALSE(s == L"Ab");
    EXPECT_FALSE(s == L"Abcd");
    wchar_t buffer[] = L"Abc";      // another buffer: the text is compared, not the address
    EXPECT_TRUE(s == buffer);
    EXPECT_TRUE(s == String(L"Abc"));
    EXPECT_FALSE(s == String(L"abc"));
    EXPECT_EQ(L'c', s.RevElement(0));
    s.Element(0) = L'x';
    EXPECT_TRUE(s == L"xbc");
}

TEST(StringGrowth, RoundedGrowthDoublesFromEightExactGrowthFitsTheText) {
    String s;
    s += L"a";
    EXPECT_EQ(7u, s.Cubage());
    s += L"bcdefgh";
    EXPECT_EQ(15u, s.Cubage());
    String t;
    t = L"abc";
    EXPECT_EQ(3u, t.Cubage());
    EXPECT_EQ(100, t.Format(L"%s", std::wstring(100, L'z').c_str()));
    EXPECT_EQ(100u, t.Cubage());
    String u;
    u = t;                          // from a String: rounded
    EXPECT_EQ(127u, u.Cubage());
    String v(L"abcd");
    EXPECT_EQ(4u, v.Cubage());
    v.InsertChar(L'x', 0);
    EXPECT_EQ(7u, v.Cubage());
    EXPECT_EQ(3u, v.Prepend(L"123"));
    EXPECT_EQ(15u, v.Cubage());
    EXPECT_TRUE(v == L"123xabcd");
    String w;
    w.FromInt64(5);
    EXPECT_EQ(64u, w.Cubage());
}

TEST(StringGrowth, SetCubageRefusesImpossibleSizesAndNeverCutsTheText) {
    String s(L"hello");
    EXPECT_FALSE(s.SetCubage(0x7FFFFFFFu, true));   // doubling passes 2^31 units
    EXPECT_FALSE(s.SetCubage(0x40000000u, false));  // 2^31 + 2 bytes
    EXPECT_FALSE(s.SetCubage(UINT_MAX, false));     // n + 1 overflows
    EXPECT_TRUE(s == L"hello");
    EXPECT_EQ(5u, s.Cubage());
    EXPECT_TRUE(s.SetCubage(100, false));
    EXPECT_EQ(100u, s.Cubage());
    EXPECT_TRUE(s.SetCubage(2, false));             // below the text: kept as it is
    EXPECT_EQ(100u, s.Cubage());
    EXPECT_TRUE(s.SetCubage(6, false));             // shrinks to the text and a little
    EXPECT_EQ(6u, s.Cubage());
    EXPECT_TRUE(s == L"hello");
}

TEST(StringEditing, CopyTextOverwritesAppendsAndClampsItsPosition) {
    String s(L"abcd");
    EXPECT_EQ(2u, s.CopyText(L"xy", NPOS, 0));
    EXPECT_TRUE(s == L"xycd");
    EXPECT_EQ(4u, s.Length());
    EXPECT_EQ(2u, s.CopyText(L"xy", NPOS, NPOS));
    EXPECT_TRUE(s == L"xycdxy");
    EXPECT_EQ(1u, s.CopyText(L"QRS", 1, 5));
    EXPECT_TRUE(s == L"xycdxQ");
    EXPECT_EQ(2u, s.CopyText(L"ZZ", NPOS, 1000));   // past the end: appended
    EXPECT_TRUE(s == L"xycdxQZZ");
    EXPECT_EQ(0u, s.CopyText(nullptr, NPOS, 0));
    EXPECT_EQ(0u, s.CopyText(L"", NPOS, 0));
    EXPECT_EQ(0u, s.CopyText(L"abc", 0, 0));
    s.InsertChar(L'-', 2);
    s.InsertChar(L'!', 99);
    s.InsertChar(0, 0);
    EXPECT_TRUE(s == L"xy-cdxQZZ!");
    ExpectConsistent(s);
}

TEST(StringEditing, SourcesInsideTheStringSurviveTheBufferMoving) {
    String s(L"abc");                       // exact size: every append moves it
    s += s;
    EXPECT_TRUE(s == L"abcabc");
    s += s.Handle() + 4;
    EXPECT_TRUE(s == L"abcabcbc");
    EXPECT_EQ(3u, s.Prepend(s.Handle() + 5));
    EXPECT_TRUE(s == L"cbcabcabcbc");
    String t(L"xyz");
    EXPECT_EQ(3u, t.CopyText(t.Handle(), NPOS, NPOS));
    EXPECT_TRUE(t == L"xyzxyz");
    t = t.Handle() + 2;
    EXPECT_TRUE(t == L"zxyz");
    t.Format(L"[%s|%s]", t.Handle(), t.Handle());
    EXPECT_TRUE(t == L"[zxyz|zxyz]");
    ExpectConsistent(t);
}

// The system's texts are written for msvcrt's printf: a wide format takes
// wide %s and narrow %S, and exponents have three digits. MinGW's own C99
// printf differs on both, so these pin the formatter actually used.
TEST(StringFormat, FollowsTheWindowsRuntimeConventions) {
    String s;
    EXPECT_EQ(9, s.Format(L"%s|%S|%d", L"网络", "ab", -42));
    EXPECT_EQ(std::wstring(L"网络|ab|-42"), Text(s));
    s.Format(L"%#.16g", 1e20);
    EXPECT_EQ(std::wstring(L"1.000000000000000e+020"), Text(s));
    s.Format(L"%e|%g", 1.5e-7, 0.25);
    EXPECT_EQ(std::wstring(L"1.500000e-007|0.25"), Text(s));
    s.Format(L"%I64d|%lld|%u", -9000000000LL, 123LL, 4000000000u);
    EXPECT_EQ(std::wstring(L"-9000000000|123|4000000000"), Text(s));
    s.Format(L"%hs|%ls|%c", "n", L"w", L'网');
    EXPECT_EQ(std::wstring(L"n|w|网"), Text(s));
}

TEST(StringFormat, LongTextsAndBadFormats) {
    std::wstring big(100000, L'q');
    big[50000] = L'网';
    String s(L"old");
    EXPECT_EQ(100002, s.Format(L"<%s>", big.c_str()));
    EXPECT_EQ(100002u, s.Length());
    EXPECT_EQ(100002u, s.Cubage());
    EXPECT_EQ(L"<" + big + L">", Text(s));
    EXPECT_EQ(0, s.Format(nullptr));
    EXPECT_TRUE(s.IsNull());
    ExpectConsistent(s);
}

TEST(StringNumbers, FromInt64CoversTheWholeRange) {
    const struct { long long value; const wchar_t* text; } cases[] = {
        {0, L"0"}, {7, L"7"}, {-1, L"-1"}, {1234567890123LL, L"1234567890123"},
        {LLONG_MAX, L"9223372036854775807"}, {LLONG_MIN, L"-9223372036854775808"},
    };
    String s(L"previous text");
    for (const auto& c : cases) {
        s.FromInt64(c.value);
        EXPECT_EQ(std::wstring(c.text), Text(s)) << c.value;
        ExpectConsistent(s);
    }
}

TEST(StringDecode, ByteOrderMarksUtf16AndEmptyInputs) {
    String s(L"before");
    EXPECT_TRUE(s.FromMultiByte("\xEF\xBB\xBF" "A", 4, CP_UTF8));
    EXPECT_TRUE(s == L"A");
    EXPECT_TRUE(s.FromMultiByte("\xEF\xBB\xBF", 3, CP_UTF8));
    EXPECT_TRUE(s.IsNull());
    EXPECT_TRUE(s.FromMultiByte("\xE7\xBD\x91", 3, CP_UTF8));
    EXPECT_TRUE(s == L"网");
    EXPECT_TRUE(s.FromMultiByte("a\0b\0c", 5, 1200));        // odd last byte dropped
    EXPECT_EQ(std::wstring(L"ab"), Text(s));
    const char unaligned[] = "xa\0b\0";
    EXPECT_TRUE(s.FromMultiByte(unaligned + 1, 4, 1200));
    EXPECT_EQ(std::wstring(L"ab"), Text(s));
    EXPECT_TRUE(s.FromMultiByte("a\0\0\0c\0", 6, 0));        // stops at a 0 unit
    EXPECT_EQ(std::wstring(L"a"), Text(s));
    ExpectConsistent(s);
    String fresh;                                             // too short for one unit
    EXPECT_TRUE(fresh.FromMultiByte("a", 1, 1200));
    EXPECT_TRUE(fresh.IsNull());
    ExpectConsistent(fresh);
    String none;
    EXPECT_TRUE(none.FromMultiByte(nullptr, 10, CP_UTF8));
    EXPECT_TRUE(none.IsNull());
    ASSERT_NE(nullptr, none.Handle());
    String keep(L"keep");
    EXPECT_FALSE(keep.FromMultiByte("abc", 3, 12345));       // no such code page
    EXPECT_TRUE(keep == L"keep");
}

class CodePage936 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(936u, GetACP()) << "the suite runs with the users' code page (LANG=zh_CN.UTF-8)";
    }
};

TEST_F(CodePage936, ChineseTextRoundTripsThroughTheAnsiCodePage) {
    String s(kTool);
    zo::Memory<char> bytes;
    ASSERT_EQ(16, s.ToMultiByte(bytes));
    EXPECT_EQ(0, memcmp(kToolTitleGbk, bytes.data, 17));          // with the 0 byte after it
    String back;
    EXPECT_TRUE(back.FromMultiByte(bytes.data, 16, CP_THREAD_ACP));
    EXPECT_TRUE(back == kTool);
    String narrow;
    narrow = kToolTitleGbk;                                        // rounded growth
    EXPECT_TRUE(narrow == kTool);
    EXPECT_EQ(15u, narrow.Cubage());
}

TEST_F(CodePage936, BadOrCutBytesNeverBreakTheText) {
    const struct { const char* bytes; unsigned size; } cases[] = {
        {"\xCD\xF8\xC2", 3},               // a lone lead byte at the end
        {"\xCD", 1},
        {"\xCD\xF8\0\xC2\xE7", 5},         // a 0 byte inside the given size
        {"\x80\xFF\xFE", 3},
        {"", 0},
    };
    for (const auto& c : cases) {
        String s(L"previous");
        s.FromMultiByte(c.bytes, c.size, CP_THREAD_ACP);
        ExpectConsistent(s);
        String t;
        t = c.bytes;
        ExpectConsistent(t);
    }
    String cut;
    EXPECT_TRUE(cut.FromMultiByte("\xCD\xF8\0\xC2\xE7", 5, CP_THREAD_ACP));
    EXPECT_TRUE(cut == L"网");
    EXPECT_TRUE(cut.FromMultiByte("\xCD\xF8\xC2", 3, CP_THREAD_ACP));
    ASSERT_GE(cut.Length(), 2u);
    EXPECT_EQ(L'网', cut.Element(0));
}

TEST_F(CodePage936, ToMultiByteRespectsBorrowedMemoryAndEmptyText) {
    zo::Memory<char> out;
    String empty;
    EXPECT_EQ(0, empty.ToMultiByte(out));
    String blank(L"");
    EXPECT_EQ(0, blank.ToMultiByte(out));
    char small[4] = {'#', '#', '#', '#'};
    zo::Memory<char> borrowed;
    borrowed.AttachExternal(small, 4);
    String s(L"网络");
    EXPECT_EQ(0, s.ToMultiByte(borrowed));                    // needs 5 bytes
    EXPECT_EQ('#', small[0]);
    String fits(L"网a");
    EXPECT_EQ(3, fits.ToMultiByte(borrowed));
    EXPECT_EQ(0, memcmp("\xCD\xF8" "a", small, 4));
    String emoji(L"a\U0001F600");                             // not in code page 936
    EXPECT_GT(emoji.ToMultiByte(out), 1);
}

TEST(StringOwnership, AttachAdoptsAHeapBuffer) {
    String s(L"old");
    wchar_t* buffer = static_cast<wchar_t*>(malloc(6 * sizeof(wchar_t)));
    wcscpy(buffer, L"hello");
    EXPECT_TRUE(s.Attach(buffer));
    EXPECT_EQ(buffer, s.Handle());
    EXPECT_EQ(5u, s.Length());
    EXPECT_EQ(5u, s.Cubage());
    s += L"!";
    EXPECT_TRUE(s == L"hello!");
    EXPECT_TRUE(s.Attach(nullptr));
    EXPECT_TRUE(s.IsNull());
}

} // namespace
