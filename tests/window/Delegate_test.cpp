// Delegate: positions of new entries, lookups and deletion, copies, and a
// list that changes while Call runs it.
#include <gtest/gtest.h>

#include <string>

#include "window/Delegate.h"

using zo::Delegate;
using zo::Function;
using zo::NPOS;

namespace {

std::string trail;

void ZO_STDCALL A(int x) { trail += "A" + std::to_string(x); }
void ZO_STDCALL B(int x) { trail += "B" + std::to_string(x); }
void ZO_STDCALL C(int x) { trail += "C" + std::to_string(x); }

struct Named {
    char name;
    void Hit(int x) { trail += name + std::to_string(x); }
};

std::string Calls(Delegate<int>& d, int x) {
    trail.clear();
    d.Call(x);
    return trail;
}

TEST(DelegateEntries, AnEmptyDelegateFindsAndDeletesNothing) {
    Delegate<int> d;
    EXPECT_EQ("", Calls(d, 1));
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
    EXPECT_EQ("C1A1B1C1", Calls(d, 1));
}

TEST(DelegateEntries, TheSameHandlerTwiceRunsTwiceAndIsDeletedOneAtATime) {
    Delegate<int> d;
    Named x{'x'}, y{'y'};
    d.Add(&x, &Named::Hit);
    d.Add(&y, &Named::Hit);
    d.Add(&x, &Named::Hit);
    d.Add(&A);
    d.Add(&A);
    EXPECT_EQ("x2y2x2A2A2", Calls(d, 2));
    EXPECT_EQ(1u, d.IndexOf(&y, &Named::Hit));
    EXPECT_TRUE(d.Delete(d.IndexOf(&x, &Named::Hit)));
    EXPECT_TRUE(d.Delete(&A));
    EXPECT_FALSE(d.Delete(3));
    EXPECT_EQ("y3x3A3", Calls(d, 3));
}

TEST(DelegateEntries, FunctionsAreAddedAndFoundByObjectAndTarget) {
    Named x{'x'}, y{'y'};
    Function<void, int> fx, fy, unbound;
    fx.Bind(&x, &Named::Hit);
    fy.Bind(&y, &Named::Hit);
    Delegate<int> d;
    EXPECT_EQ(NPOS, d.Add(unbound));
    EXPECT_EQ(0u, d.Add(fx));
    EXPECT_EQ(0u, d.Add(fy, 0));
    EXPECT_EQ(1u, d.IndexOf(fx));
    EXPECT_EQ(NPOS, d.IndexOf(unbound));
    EXPECT_TRUE(d.Delete(fy));
    EXPECT_FALSE(d.Delete(fy));
    EXPECT_EQ("x4", Calls(d, 4));

    static int hits = 0;
    struct Local {
        static void ZO_STDCALL Hit() { ++hits; }
    };
    Delegate<zo::NullType> none;
    Function<void, zo::NullType> f;
    ASSERT_TRUE(f.Bind(&Local::Hit));
    none.Add(&Local::Hit);
    none.Add(f);
    none.Call();
    EXPECT_EQ(2, hits);
}

TEST(DelegateEntries, AssignmentBuildsIndependentEntries) {
    Named x{'x'};
    Delegate<int>* source = new Delegate<int>;
    source->Add(&x, &Named::Hit);
    source->Add(&B);
    Delegate<int> copy;
    copy.Add(&C);
    copy = *source;
    Delegate<int> constructed(copy);
    delete source;
    Delegate<int> reuse;   // takes the thunks the source gave back
    reuse.Add(&C);
    reuse.Add(&C);
    EXPECT_EQ("x5B5", Calls(copy, 5));
    EXPECT_EQ("x6B6", Calls(constructed, 6));
}

// Handlers that change the delegate they are called from.
struct Editor {
    Delegate<int>* d = nullptr;
    void AddC(int) {
        if (d->Count() < 3) d->Add(&C);
    }
    void DeleteSelf(int) { d->Delete(d->IndexOf(this, &Editor::DeleteSelf)); }
    void DeleteB(int) { d->Delete(&B); }
    void InsertInFront(int) {
        trail += "I";
        if (d->Count() < 5) d->Add(&A, 0);   // bounded, should it run again
    }
    void Destroy(int) { delete d; }
};

TEST(DelegateDuringCall, AddedEntriesRunInTheSameCallUnlessInsertedBehind) {
    Delegate<int> d;
    Editor e{&d};
    d.Add(&e, &Editor::AddC);
    d.Add(&A);
    EXPECT_EQ("A7C7", Calls(d, 7));

    Delegate<int> g;
    Editor front{&g};
    g.Add(&front, &Editor::InsertInFront);
    g.Add(&B);
    EXPECT_EQ("IB8", Calls(g, 8));
}

TEST(DelegateDuringCall, DeletingNeverSkipsTheNextEntryAndDeletedOnesDoNotRun) {
    Delegate<int> d;
    Editor e{&d};
    d.Add(&A);
    d.Add(&e, &Editor::DeleteSelf);
    d.Add(&B);
    EXPECT_EQ("A1B1", Calls(d, 1));

    Delegate<int> g;
    Editor ahead{&g};
    g.Add(&ahead, &Editor::DeleteB);
    g.Add(&B);
    g.Add(&C);
    EXPECT_EQ("C2", Calls(g, 2));
}

TEST(DelegateDuringCall, AHandlerMayDestroyTheDelegate) {
    Editor e{new Delegate<int>};
    e.d->Add(&e, &Editor::Destroy);
    e.d->Add(&A);
    trail.clear();
    e.d->Call(1);
    EXPECT_EQ("", trail);
}

// Calls its own delegate again from inside a Call. The inner Call deletes
// this handler, or destroys the delegate; back in the outer Call, A goes.
struct Nester {
    Delegate<int>* d;
    bool destroy;
    int depth = 0;
    void Run(int x) {
        if (depth++ == 0) {
            d->Call(x);
            if (!destroy) d->Delete(&A);
        } else if (destroy) {
            delete d;
        } else {
            d->Delete(d->IndexOf(this, &Nester::Run));
        }
    }
};

TEST(DelegateDuringCall, NestedCallsEachKeepTheirPlaceAndAllEndWhenTheDelegateGoes) {
    Delegate<int> d;
    Nester n{&d, false};
    d.Add(&A);
    d.Add(&n, &Nester::Run);
    d.Add(&B);
    // Both deletions move the outer Call back, the second after the inner ended.
    EXPECT_EQ("A3A3B3B3", Calls(d, 3));
    EXPECT_EQ(1u, d.Count());

    Nester gone{new Delegate<int>, true};
    gone.d->Add(&gone, &Nester::Run);
    gone.d->Add(&A);
    EXPECT_EQ("", Calls(*gone.d, 5));
}

} // namespace
