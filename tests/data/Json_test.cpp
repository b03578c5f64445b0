// The Json value: kinds, forgiving readers, member and element writers,
// index rules, deep copies and ownership.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "data/JsonTestText.h"

using jsontest::ParseA;
using jsontest::Write;
using zo::Json;

namespace {

TEST(JsonKinds, ConstructorsAndKindTests) {
    Json n, b(true), i(7), l(1LL << 40), d(2.5), s(L"w"), a("narrow");
    EXPECT_TRUE(n.IsNull());
    EXPECT_TRUE(b.IsBoolean());
    EXPECT_TRUE(i.IsInteger() && i.IsNumber());
    EXPECT_TRUE(l.IsInteger());
    EXPECT_TRUE(d.IsDouble() && d.IsNumber());
    EXPECT_TRUE(s.IsString() && a.IsString());
    EXPECT_FALSE(s.IsNumber() || n.IsNumber());
    Json none(static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(none.IsString());
    EXPECT_EQ(L"", jsontest::Str(none));
    Json gbk("\xd6\xd0\xce\xc4");   // GBK for the two characters "Chinese text"
    EXPECT_EQ(L"\u4e2d\u6587", jsontest::Str(gbk));
    i = -5;
    EXPECT_EQ(-5LL, i.Int64(0));   // sign-extended
}

TEST(JsonScalarReaders, IntegersKeepLowBitsDoublesTruncate) {
    Json big(4294967297LL);
    int v = 0;
    EXPECT_TRUE(big.GetInt32(v));
    EXPECT_EQ(1, v);
    Json d(2.9), nd(-2.9);
    EXPECT_EQ(2, d.Int32(0));
    EXPECT_EQ(-2, nd.Int32(0));
    EXPECT_EQ(-2LL, static_cast<long long>(nd));
    Json three(3);
    double x = 0;
    EXPECT_TRUE(three.GetDouble(x));
    EXPECT_EQ(3.0, x);
}

TEST(JsonScalarReaders, DoublesOutsideTheIntegerRangeClampAndNaNIsZero) {
    Json huge(1e300), tiny(-1e300), nan(std::nan("")), inf(HUGE_VAL);
    EXPECT_EQ(LLONG_MAX, huge.Int64(0));
    EXPECT_EQ(LLONG_MIN, tiny.Int64(0));
    EXPECT_EQ(0LL, nan.Int64(7));
    EXPECT_EQ(LLONG_MAX, inf.Int64(0));
    EXPECT_EQ(-1, huge.Int32(0));    // low 32 bits of 2^63 - 1
    EXPECT_EQ(0, tiny.Int32(5));     // low 32 bits of -2^63
    Json edge(9223372036854775807.0);   // rounds to 2^63: just out of range
    EXPECT_EQ(LLONG_MAX, edge.Int64(0));
}

TEST(JsonScalarReaders, WrongKindsGiveDefaultsAndLeaveOutputs) {
    Json i(5), s(L"x");
    const wchar_t* text = L"keep";
    EXPECT_FALSE(i.GetString(text));
    EXPECT_STREQ(L"keep", text);
    EXPECT_STREQ(L"def", i.Str(L"def"));
    const wchar_t* conv = i;
    ASSERT_NE(nullptr, conv);
    EXPECT_STREQ(L"", conv);
    bool flag = true;
    EXPECT_FALSE(s.GetBoolean(flag));
    EXPECT_TRUE(flag);
    EXPECT_FALSE(static_cast<bool>(s));
    long long ll = 9;
    EXPECT_EQ(0, s.GetInt64(ll));
    EXPECT_EQ(9, ll);
    EXPECT_EQ(1, i.GetInt64(ll));
    EXPECT_EQ(0.0, static_cast<double>(s));
    EXPECT_EQ(0, static_cast<int>(s));
    EXPECT_TRUE(Json(false).GetBoolean(flag));
    EXPECT_FALSE(flag);
}

TEST(JsonMembers, SettersReplaceNonObjectsAndNeverDuplicate) {
    Json j(L"text");
    j.SetPropertyInt32(L"a", 1);
    ASSERT_TRUE(j.IsObject());
    EXPECT_EQ(1u, j.Count());
    EXPECT_EQ(L"{\"a\":1}", Write(j, false));
    j.SetPropertyInt32(L"a", 2);
    EXPECT_EQ(1u, j.Count());
    EXPECT_EQ(2, j.PropertyInt32(L"a", 0));
    EXPECT_EQ(0, j.PropertyInt32(L"A", 0));   // names are case-sensitive

    Json n;
    EXPECT_TRUE(n.SetPropertyNull(L"x"));
    EXPECT_EQ(L"{\"x\":null}", Write(n, false));
    Json* p = n.SetPropertyNull(nullptr);   // a null name is the empty name
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(p, n.FindProperty(L"", false));
}

TEST(JsonMembers, TypedSettersAndReadersAgree) {
    Json j;
    const unsigned char raw[] = {1, 2, 3, 0, 5};
    j.SetPropertyStr(L"s", L"v");
    j.SetPropertyMbs(L"m", "\xd6\xd0");
    j.SetPropertyInt64(L"l", -(1LL << 40));
    j.SetPropertyDouble(L"d", 0.5);
    j.SetPropertyBool(L"b", true);
    ASSERT_NE(nullptr, j.SetPropertyBinary(L"x", raw, 5));
    zo::String copy;
    EXPECT_TRUE(j.GetPropertyStr(L"s", copy));
    EXPECT_TRUE(copy == L"v");
    EXPECT_STREQ(L"\u4e2d", j.PropertyStr(L"m", L""));
    EXPECT_EQ(-(1LL << 40), j.PropertyInt64(L"l", 0));
    EXPECT_EQ(0.5, j.PropertyDouble(L"d", 0));
    EXPECT_EQ(-(1LL << 40), j.PropertyDouble(L"l", 0));   // integer read as double
    EXPECT_EQ(0, j.PropertyInt32(L"d", 9));               // 0.5 truncates
    EXPECT_TRUE(j.PropertyBool(L"b", false));
    EXPECT_FALSE(j.PropertyBool(L"s", false));
    int size = 0;
    const void* data = j.PropertyBinary(L"x", &size);
    ASSERT_EQ(5, size);
    EXPECT_EQ(0, memcmp(raw, data, 5));
    EXPECT_EQ(nullptr, j.PropertyBinary(L"s", &size));
    EXPECT_EQ(5, size);   // untouched on failure
    EXPECT_STREQ(L"fallback", j.PropertyStr(L"missing", L"fallback"));
    Json notObject(3);
    EXPECT_EQ(7, notObject.PropertyInt32(L"s", 7));
}

TEST(JsonMembers, DuplicateNamesReadAndWriteTheFirst) {
    Json j;
    ASSERT_TRUE(ParseA(j, "{\"a\":1,\"a\":2}"));
    EXPECT_EQ(1, j.PropertyInt32(L"a", 0));
    j.SetPropertyInt32(L"a", 3);
    EXPECT_EQ(L"{\"a\":3,\"a\":2}", Write(j, false));
}

TEST(JsonMembers, SetPropertyArrayKeepsAnExistingArray) {
    Json j;
    Json* l = j.SetPropertyArray(L"l");
    l->AddArrayElm(-1);
    l->AddArrayElm(-1);
    EXPECT_EQ(l, j.SetPropertyArray(L"l"));
    EXPECT_EQ(2u, l->Count());
    j.SetPropertyInt32(L"l", 1);
    j.SetPropertyArray(L"l");
    EXPECT_EQ(0u, j.FindProperty(L"l", false)->Count());
    EXPECT_TRUE(j.FindProperty(L"l", false)->IsArray());
}

TEST(JsonIndexing, ByNameOnlyOnObjects) {
    Json n;
    Json& none = n[L"a"];
    EXPECT_EQ(&Json::Nowhere(), &none);
    EXPECT_TRUE(n.IsNull());
    none = 5;   // lost: the scratch value belongs to no tree
    EXPECT_TRUE(Json::Nowhere().IsNull());
    ASSERT_TRUE(ParseA(n, "{}"));
    n[L"a"] = 5;
    n[L"a"] = 6;
    EXPECT_EQ(L"{\"a\":6}", Write(n, false));
}

TEST(JsonIndexing, ByIndexGrowsArraysWithNulls) {
    Json n;
    Json& third = n[2];
    ASSERT_TRUE(n.IsArray());
    EXPECT_EQ(3u, n.Count());
    EXPECT_EQ(n.GetArrayElm(2), &third);
    third = 1;
    n.RemoveArrayElm(2, 1);
    n[2];   // a two-element array gains exactly one
    EXPECT_EQ(3u, n.Count());
    EXPECT_EQ(&Json::Nowhere(), &n[-1]);
    Json s(L"x");
    EXPECT_EQ(&Json::Nowhere(), &s[0]);
    EXPECT_TRUE(s.IsString());
    Json many;
    many[9999] = 1;   // one allocation, not ten thousand
    EXPECT_EQ(10000u, many.Count());
}

TEST(JsonArrays, InsertRemoveAndIndexRules) {
    Json a;
    *a.AddArrayElm(-1) = 1;
    *a.AddArrayElm(-1) = 2;
    *a.AddArrayElm(0) = 0;
    *a.AddArrayElm(100) = 3;
    EXPECT_EQ(L"[0,1,2,3]", Write(a, false));
    EXPECT_EQ(2u, a.RemoveArrayElm(2, 100));
    EXPECT_EQ(L"[0,1]", Write(a, false));
    EXPECT_EQ(0u, a.RemoveArrayElm(5, 1));
    EXPECT_EQ(0u, a.RemoveArrayElm(-1, 1));
    EXPECT_EQ(nullptr, a.GetArrayElm(-1));
    EXPECT_EQ(nullptr, a.GetArrayElm(2));
    Json s(L"x");
    EXPECT_EQ(nullptr, s.AddArrayElm(0));
    EXPECT_EQ(0u, s.Count());
}

TEST(JsonArrays, ElementReadersNeverConvert) {
    Json a;
    ASSERT_TRUE(ParseA(a, "[2.9, 4294967297, \"s\", true]"));
    int i = -1;
    double d = -1;
    EXPECT_FALSE(a.GetArrayInt32(i, 0));
    EXPECT_EQ(-1, i);
    EXPECT_FALSE(a.GetArrayDouble(d, 1));
    EXPECT_TRUE(a.GetArrayDouble(d, 0));
    EXPECT_EQ(2.9, d);
    EXPECT_TRUE(a.GetArrayInt32(i, 1));
    EXPECT_EQ(1, i);
    long long l = 0;
    EXPECT_TRUE(a.GetArrayInt64(l, 1));
    EXPECT_EQ(4294967297LL, l);
    const wchar_t* s = nullptr;
    EXPECT_TRUE(a.GetArrayStr(s, 2));
    EXPECT_STREQ(L"s", s);
    bool b = false;
    EXPECT_TRUE(a.GetArrayBool(b, 3));
    EXPECT_FALSE(a.GetArrayBool(b, 4));
}

TEST(JsonArrays, SettersReplaceExistingElementsOnly) {
    Json a;
    ASSERT_TRUE(ParseA(a, "[1,2,3]"));
    EXPECT_EQ(nullptr, a.SetArrayInt32(5, 3));
    EXPECT_EQ(L"[1,2,3]", Write(a, false));
    a.SetArrayStr(L"s", 0);
    a.SetArrayMbs("\xd6\xd0", 1);
    a.SetArrayBool(false, 2);
    EXPECT_EQ(L"[\r\n\t\"s\",\r\n\t\"\u4e2d\",\r\n\tfalse\r\n]", Write(a, true));
    EXPECT_EQ(L"[\"s\",\"\\u4e2d\",false]", Write(a, false));
    a.SetArrayInt64(-7, 0);
    a.SetArrayDouble(0.25, 1);
    EXPECT_EQ(L"[-7,0.2500000000000000,false]", Write(a, false));
    EXPECT_EQ(nullptr, a.SetArrayInt64(1, -1));
}

TEST(JsonCopies, DeepCopiesShareNothing) {
    Json j;
    ASSERT_TRUE(ParseA(j, "{\"a\":[1,{\"b\":\"x\"}],\"c\":'AAEC',\"d\":2.5}"));
    Json copy(j);
    EXPECT_EQ(Write(j, false), Write(copy, false));
    j.FindProperty(L"a", false)->GetArrayElm(1)->SetPropertyStr(L"b", L"changed");
    j.SetPropertyNull(L"c");
    EXPECT_EQ(L"{\"a\":[1,{\"b\":\"x\"}],\"c\":'AAEC',\"d\":2.500000000000000}", Write(copy, false));
}

TEST(JsonCopies, SetArrayElmMayCopyTheArrayIntoItself) {
    Json a;
    ASSERT_TRUE(ParseA(a, "[1,[2]]"));
    ASSERT_NE(nullptr, a.SetArrayElm(a, 0));
    EXPECT_EQ(L"[[1,[2]],[2]]", Write(a, false));
    ASSERT_NE(nullptr, a.SetArrayElm(*a.GetArrayElm(1)->GetArrayElm(0), 1));   // a piece of itself
    EXPECT_EQ(L"[[1,[2]],2]", Write(a, false));
    EXPECT_EQ(nullptr, a.SetArrayElm(a, 2));
}

TEST(JsonCopies, StringOntoStringReusesTheText) {
    Json j(L"first");
    j = L"second";
    EXPECT_STREQ(L"second", static_cast<const wchar_t*>(j));
    j = L"x";
    const wchar_t* small = j;
    j = L"y";
    EXPECT_EQ(small, static_cast<const wchar_t*>(j));
}

TEST(JsonBinary, SetBinaryCopiesAndResizes) {
    Json j;
    const char bytes[] = "abcdef";
    ASSERT_TRUE(j.SetBinary(bytes, 6));
    ASSERT_TRUE(j.SetBinary(bytes, 2));
    const void* data;
    int size = 0;
    ASSERT_TRUE(j.GetBinary(data, &size));
    EXPECT_EQ(2, size);
    EXPECT_EQ(0, memcmp("ab", data, 2));
    EXPECT_EQ(L"'YWI='", Write(j, false));
    ASSERT_TRUE(j.SetBinary(bytes, -3));   // a negative size is empty
    ASSERT_TRUE(j.GetBinary(data, nullptr));
    j.GetBinary(data, &size);
    EXPECT_EQ(0, size);
}

} // namespace
