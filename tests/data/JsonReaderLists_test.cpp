// How the reader builds lists: the elements and members it collects while a
// list is open, the list headers it places inside members, and what a parsed
// tree then allows: growing, shrinking, changing kind, copying, freeing.
#include <gtest/gtest.h>

#include <string>

#include "data/JsonTestText.h"

using jsontest::HeapInUse;
using jsontest::ParseA;
using jsontest::Write;
using zo::Json;

namespace {

TEST(JsonReaderLists, ParsedListsChangeLikeBuiltOnes) {
    const size_t before = HeapInUse();
    {
        Json j;
        ASSERT_TRUE(ParseA(j, "{\"a\":[1,2],\"o\":{\"x\":1},\"e\":[],\"n\":{},\"s\":\"t\"}"));
        Json* a = j.FindProperty(L"a", false);
        *a->AddArrayElm(-1) = 3;
        *a->AddArrayElm(0) = 0;
        (*a)[5] = true;
        EXPECT_EQ(2u, a->RemoveArrayElm(1, 2));
        j.SetPropertyInt32(L"x", 9);
        j.FindProperty(L"o", false)->SetPropertyStr(L"y", L"z");
        *j.FindProperty(L"e", false)->AddArrayElm(-1) = 1.5;
        j.FindProperty(L"n", false)->SetPropertyNull(L"m");
        EXPECT_EQ(L"{\"a\":[0,3,null,true],\"o\":{\"x\":1,\"y\":\"z\"},\"e\":[1.500000000000000],"
                  L"\"n\":{\"m\":null},\"s\":\"t\",\"x\":9}",
                  Write(j, false));
        // A list read into a member gives way to other kinds and back.
        j.SetPropertyInt32(L"a", 7);
        j.SetPropertyStr(L"o", L"text");
        *j.SetPropertyArray(L"a")->AddArrayElm(-1) = L"new";
        j.FindProperty(L"e", false)->SetPropertyBool(L"now", true);   // an array becomes an object
        EXPECT_EQ(L"{\"a\":[\"new\"],\"o\":\"text\",\"e\":{\"now\":true},\"n\":{\"m\":null},\"s\":\"t\",\"x\":9}",
                  Write(j, false));
        // So do elements that came with their text or list in their block.
        Json* l = j.SetPropertyNull(L"l");
        ASSERT_TRUE(ParseA(*l, "[[1],{\"k\":1},\"short\",[],\"gone\",{}]"));
        *l->GetArrayElm(0)->AddArrayElm(-1) = 2;
        l->GetArrayElm(1)->SetPropertyStr(L"m", L"n");
        *l->GetArrayElm(2) = L"a text longer than the one the element came with";
        *l->GetArrayElm(3) = 5;
        EXPECT_EQ(1u, l->RemoveArrayElm(4, 1));
        l->SetArrayStr(L"copied over", 4);
        EXPECT_EQ(L"[[1,2],{\"k\":1,\"m\":\"n\"},\"a text longer than the one the element came with\",5,"
                  L"\"copied over\"]",
                  Write(*l, false));
        Json copy(j);
        EXPECT_EQ(Write(j, false), Write(copy, false));
        EXPECT_TRUE(ParseA(copy, "[{\"a\":[[1]]},[{\"b\":{}}]]"));   // replaces the copy's tree
        EXPECT_EQ(L"[{\"a\":[[1]]},[{\"b\":{}}]]", Write(copy, false));
    }
    // Everything went back (to the heap or to JsonHeap's cache).
    EXPECT_LT(HeapInUse(), before + 1024);
}

TEST(JsonReaderLists, LongListsKeepEveryItemInOrder) {
    std::string text = "{\"list\":[", members = "{";
    for (int i = 0; i < 3000; ++i) {
        text += (i ? "," : "") + std::to_string(i);
        members += (i ? ",\"m" : "\"m") + std::to_string(i) + "\":[" + std::to_string(i) + "]";
    }
    text += "],\"members\":" + members + "}}";
    Json j;
    ASSERT_TRUE(ParseA(j, text));
    const Json* list = j.FindProperty(L"list");
    const Json* obj = j.FindProperty(L"members");
    ASSERT_EQ(3000u, list->Count());
    ASSERT_EQ(3000u, obj->Count());
    for (int i = 0; i < 3000; i += 299) {
        EXPECT_EQ(i, list->GetArrayElm(i)->Int32(-1));
        EXPECT_EQ(L"m" + std::to_wstring(i), std::wstring(obj->GetMember(i)->name.Handle()));
        EXPECT_EQ(i, obj->GetMember(i)->value->GetArrayElm(0)->Int32(-1));
    }
}

// An element that fails goes with everything in it; a member stays, with
// what its value holds so far.
TEST(JsonReaderLists, AFailureKeepsMembersAndTheElementsBeforeIt) {
    Json j;
    EXPECT_FALSE(ParseA(j, "{\"a\":[1,2,{\"b\":[3,x]}],\"c\":1}"));
    EXPECT_EQ(L"{\"a\":[1,2]}", Write(j, false));
    EXPECT_FALSE(ParseA(j, "{\"k\":{\"v\":[[1],{\"w\":2}],\"l\":[\"w\" \"x\" {\"y\":[4 "));
    EXPECT_EQ(L"{\"k\":{\"v\":[[1],{\"w\":2}],\"l\":[\"w\",\"x\"]}}", Write(j, false));
}

TEST(JsonReaderLists, AMemberTooDeepToReadStaysNull) {
    std::string deep;
    for (unsigned i = 0; i < Json::kMaxDepth; ++i) deep += "{\"a\":";
    Json j;
    EXPECT_FALSE(ParseA(j, deep + "[1]" + std::string(Json::kMaxDepth, '}')));
    const Json* p = &j;
    unsigned depth = 0;
    while (p->IsObject()) {
        p = p->FindProperty(L"a");
        ++depth;
    }
    EXPECT_EQ(Json::kMaxDepth + 0u, depth);
    EXPECT_TRUE(p->IsNull());
}

}   // namespace
