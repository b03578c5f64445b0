// Delegate: positions of new entries, lookups and deletion by callback,
// copies, and a list that changes while Call runs it.
#include <gtest/gtest.h>

#include <string>

#include "window/Delegate.h"

using zo::Delegate;
using zo::Function;
using zo::NPOS;
using zo::NullType;

namespace {

std::string trail;

void ZO_STDCALL A(int x) { trail += "A" + std::to_string(x); }
void ZO_STDCALL B(int x) { trail += "B" + std::to_string(x); }
void ZO_STDCALL C(int x) { trail += "C" + std::to_string(x); }

struct Named {
    char name;
    void Hit(int x) { trail += std::string(1, name) + std::to_string(x); }
};

TEST(DelegateEntries, AnEmptyDelegateDoesNothing) {
    Delegate<int> d;
    trail.clear();
    d.Call(1);
    EXPECT_EQ("", trail);
    EXPECT_EQ(NPOS, d.IndexOf(&A));
    EXPECT_FALSE(d.Delete(0));
    EXPECT_FALSE(d.Delete(&A));
}

TEST(DelegateEntries, PositionsPastTheEndAppendAndZeroInsertsInFront) {
    Delegate<int> d;
    EXPECT_EQ(0u, d.Add(&A));
    EXPECT_EQ(1u, d.Add(&B));
    EXPECT_EQ(2u, d.Add(&C, 5));
    EXPECT_EQ(0u, d.Add(&C, 0));
    trail.clear();
    d.Call(1);
    EXPECT_EQ("C1A1B1C1", trail);
    EXPECT_EQ(1u, d.IndexOf(&A));
    EXPECT_EQ(4u, d.Count());
}

TEST(DelegateEntries, TheSameHandlerTwiceRunsTwiceAndGoesOneAtATime) {
    Delegate<int> d;
    Named x{'x'}, y{'y'};
    d.Add(&x, &Named::Hit);
    d.Add(&y, &Named::Hit);
    d.Add(&x, &Named::Hit);
    d.Add(&A);
    EXPECT_EQ(0u, d.IndexOf(&x, &Named::Hit));
    EXPECT_EQ(1u, d.IndexOf(&y, &Named::Hit));
    EXPECT_TRUE(d.Delete(d.IndexOf(&x, &Named::Hit)));
    EXPECT_EQ(1u, d.IndexOf(&x, &Named::Hit));
    trail.clear();
    d.Call(2);
    EXPECT_EQ("y2x2A2", trail);
    EXPECT_FALSE(d.Delete(4));
    EXPECT_TRUE(d.Delete(&A));
    EXPECT_EQ(2u, d.Count());
}

TEST(DelegateEntries, FunctionsAreAddedFoundAndDeletedByObjectAndTarget) {
    Named x{'x'}, y{'y'};
    Function<void, int> fx, fy, none;
    fx.Bind(&x, &Named::Hit);
    fy.Bind(&y, &Named::Hit);
    Delegate<int> d;
    EXPECT_EQ(NPOS, d.Add(none));
    EXPECT_EQ(0u, d.Count());
    EXPECT_EQ(0u, d.Add(fx));
    EXPECT_EQ(0u, d.Add(fy, 0));
    EXPECT_EQ(1u, d.IndexOf(fx));
    EXPECT_EQ(NPOS, d.IndexOf(none));
    EXPECT_TRUE(d.Delete(fy));
    EXPECT_FALSE(d.Delete(fy));
    trail.clear();
    d.Call(3);
    EXPECT_EQ("x3", trail);
}

TEST(DelegateEntries, NullTypeMakesTheArgumentlessKind) {
    static int hits = 0;
    struct Local {
        static void ZO_STDCALL Hit() { ++hits; }
    };
    Delegate<NullType> d;
    Function<void, NullType> f;
    ASSERT_TRUE(f.Bind(&Local::Hit));
    d.Add(&Local::Hit);
    d.Add(f);
    d.Call();
    EXPECT_EQ(2, hits);
}

struct Ten {
    long long sum = 0;
    void Add(int a, int b, int c, int d, int e, int f, int g, int h, int i, long long j) {
        sum += a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g + 8 * h + 9 * i + 10 * j;
    }
};

TEST(DelegateEntries, ManyArgumentsReachEveryEntry) {
    Ten t1, t2;
    Delegate<int, int, int, int, int, int, int, int, int, long long> d;
    d.Add(&t1, &Ten::Add);
    d.Add(&t2, &Ten::Add);
    d.Call(1, 1, 1, 1, 1, 1, 1, 1, 1, 1000000000000LL);
    EXPECT_EQ(45 + 10000000000000LL, t1.sum);
    EXPECT_EQ(t1.sum, t2.sum);
}

TEST(DelegateCopies, AssignmentBuildsIndependentEntries) {
    Named x{'x'};
    Delegate<int>* source = new Delegate<int>;
    source->Add(&x, &Named::Hit);
    source->Add(&B);
    Delegate<int> copy;
    copy.Add(&C);
    copy = *source;
    copy = copy;
    Delegate<int> constructed(copy);
    delete source;
    trail.clear();
    copy.Call(4);
    constructed.Call(5);
    EXPECT_EQ("x4B4x5B5", trail);
    EXPECT_EQ(0u, copy.IndexOf(&x, &Named::Hit));
}

// Handlers that change the delegate they are called from.
struct Editor {
    Delegate<int>* d = nullptr;
    int calls = 0;
    void AddC(int) {
        ++calls;
        if (calls == 1) d->Add(&C);
    }
    void DeleteSelf(int) { d->Delete(d->IndexOf(this, &Editor::DeleteSelf)); }
    void DeleteNext(int) { d->Delete(&B); }
    void Destroy(int) { delete d; }
};

TEST(DelegateDuringCall, AnEntryAddedByAHandlerRunsInTheSameCall) {
    Delegate<int> d;
    Editor e;
    e.d = &d;
    d.Add(&e, &Editor::AddC);
    d.Add(&A);
    trail.clear();
    d.Call(6);
    EXPECT_EQ("A6C6", trail);
    EXPECT_EQ(3u, d.Count());
}

TEST(DelegateDuringCall, AHandlerThatDeletesItselfDoesNotSkipTheNext) {
    Delegate<int> d;
    Editor e;
    e.d = &d;
    d.Add(&A);
    d.Add(&e, &Editor::DeleteSelf);
    d.Add(&B);
    trail.clear();
    d.Call(7);
    EXPECT_EQ("A7B7", trail);
    trail.clear();
    d.Call(8);
    EXPECT_EQ("A8B8", trail);
}

Delegate<int>* front = nullptr;
void ZO_STDCALL InsertInFront(int) {
    trail += "I";
    if (front->Count() < 5) front->Add(&A, 0);   // bounded, should it run again
}

TEST(DelegateDuringCall, AnEntryDeletedAheadIsNotCalledAndOneInsertedBehindIsNotRepeated) {
    Delegate<int> d;
    Editor e;
    e.d = &d;
    d.Add(&e, &Editor::DeleteNext);
    d.Add(&B);
    d.Add(&C);
    trail.clear();
    d.Call(9);
    EXPECT_EQ("C9", trail);

    Delegate<int> g;
    front = &g;
    g.Add(&InsertInFront);
    g.Add(&C);
    trail.clear();
    g.Call(1);
    EXPECT_EQ("IC1", trail);
    EXPECT_EQ(3u, g.Count());
}

TEST(DelegateDuringCall, AHandlerMayDestroyTheDelegate) {
    Editor e;
    e.d = new Delegate<int>;
    e.d->Add(&e, &Editor::Destroy);
    e.d->Add(&A);
    trail.clear();
    e.d->Call(1);
    EXPECT_EQ("", trail);
}

} // namespace
