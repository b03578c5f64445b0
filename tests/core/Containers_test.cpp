// Growth rules, positions and ownership of the container family.
#include <gtest/gtest.h>

#include "core/ObjectList.h"

using zo::NPOS;

namespace {

struct Counted : zo::_class {
    static int alive;
    int value = 0;
    Counted() { ++alive; }
    ~Counted() { --alive; }
};
int Counted::alive = 0;

struct Node : zo::TPTree<Node> {
    static int alive;
    Node() { ++alive; }
    ~Node() { --alive; }
};
int Node::alive = 0;

struct Plain {   // an application record with no framework base
    int a = 7;
};

std::vector<int> Items(const zo::List<int>& l) {
    return std::vector<int>(l.GetHandle(), l.GetHandle() + l.Count());
}

TEST(MemoryGrowth, SetLengthDoubleAndExpandKeepElements) {
    zo::Memory<int> m;
    EXPECT_TRUE(m.Double());
    EXPECT_EQ(32u, m.Length());
    for (int i = 0; i < 32; ++i) m.data[i] = i;
    EXPECT_TRUE(m.Expand(3, 1));   // gap of 3 at index 1
    EXPECT_EQ(35u, m.Length());
    EXPECT_EQ(0, m.data[0]);
    EXPECT_EQ(1, m.data[4]);
    EXPECT_EQ(31, m.data[34]);
    EXPECT_TRUE(m.Expand(-3, 4));  // close it again
    EXPECT_EQ(32u, m.Length());
    for (int i = 0; i < 32; ++i) ASSERT_EQ(i, m.data[i]);
    EXPECT_TRUE(m.SetLength(0));
    EXPECT_EQ(nullptr, m.data);
}

TEST(MemoryGrowth, MoveRefusesSourcesOutsideTheArrayAndGrowsForDestinations) {
    zo::Memory<int> m;
    ASSERT_TRUE(m.SetLength(4));
    for (int i = 0; i < 4; ++i) m.data[i] = 10 + i;
    EXPECT_EQ(0u, m.Move(0, 5, 1));      // src past the end
    EXPECT_EQ(0u, m.Move(0, 2, 3));      // more than there is
    EXPECT_EQ(2u, m.Move(5, 2, -1));     // all from 2, destination past the end
    EXPECT_EQ(7u, m.Length());
    EXPECT_EQ(12, m.data[5]);
    EXPECT_EQ(13, m.data[6]);
    EXPECT_EQ(12, m.data[2]);            // source outside the destination is left
}

TEST(MemoryGrowth, ExternalArrayIsNeverResizedOrFreed) {
    int outside[4] = {1, 2, 3, 4};
    {
        zo::Memory<int> m;
        m.AttachExternal(outside, 4);
        EXPECT_FALSE(m.Double());
        EXPECT_FALSE(m.Expand(1, 0));
        EXPECT_FALSE(m.SetLength(8));
        EXPECT_EQ(0u, m.Move(3, 0, 2));  // would need to grow
        EXPECT_EQ(2u, m.Move(0, 2, 2));
        EXPECT_EQ(4u, m.Length());
    }   // the destructor must not free the borrowed array
    EXPECT_EQ(3, outside[0]);
    EXPECT_EQ(4, outside[1]);
}

TEST(ListGrowth, FirstAddMakes32ThenDoublesOrWithAFixedStepGrowsByTheStep) {
    for (unsigned step : {0u, 5u}) {
        SCOPED_TRACE(step);
        const unsigned first = step ? step : 32;
        zo::List<int> l;
        l.step = step;
        l.Add(1);
        EXPECT_EQ(first, l.memory.Length());
        for (unsigned i = 0; i < first; ++i) l.Add(static_cast<int>(i));
        EXPECT_EQ(first + 1, l.Count());
        EXPECT_EQ(2 * first, l.memory.Length());
    }
}

TEST(ListGrowth, ExpandRoundsTheShortfallUpToTheStep) {
    zo::List<int> l;
    l.step = 4;
    for (int i = 0; i < 4; ++i) l.Add(i);
    ASSERT_EQ(4u, l.memory.Length());
    l.step = 5;
    EXPECT_EQ(4u, l.Expand(3, NPOS));
    EXPECT_EQ(7u, l.Count());
    EXPECT_EQ(9u, l.memory.Length());
    EXPECT_EQ(NPOS, l.Expand(0, NPOS));
}

TEST(ListGrowth, ExpandWithoutStepDoublesFromEight) {
    zo::List<int> l;
    EXPECT_EQ(0u, l.Expand(1));
    EXPECT_EQ(8u, l.memory.Length());
    EXPECT_EQ(1u, l.Expand(20));
    EXPECT_EQ(32u, l.memory.Length());
}

TEST(ListPositions, AddAppendsPrependsAndCutsPositions) {
    zo::List<int> l;
    l.Add(1);
    l.Add(2, NPOS);
    EXPECT_EQ(0u, l.Add(0, 0));
    EXPECT_EQ(3u, l.Add(9, 100));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 9}), Items(l));
    EXPECT_EQ(9, l.RevElement(0));
    EXPECT_EQ(0, l.RevElement(3));
}

TEST(ListPositions, AddOfAnElementOfTheListItselfSurvivesGrowth) {
    zo::List<int> l;
    for (int i = 0; i < 32; ++i) l.Add(i + 100);
    l.Add(l[5], 0);   // the reference points into the array that reallocates
    EXPECT_EQ(105, l[0]);
    EXPECT_EQ(33u, l.Count());
}

TEST(ListPositions, ExpandInsideMovesTheTailUp) {
    zo::List<int> l;
    for (int i = 0; i < 4; ++i) l.Add(i);
    EXPECT_EQ(1u, l.Expand(2, 1));
    l[1] = 70;
    l[2] = 71;
    EXPECT_EQ((std::vector<int>{0, 70, 71, 1, 2, 3}), Items(l));
}

TEST(ListPositions, DeleteCutsToWhatIsPresent) {
    zo::List<int> l;
    for (int i = 0; i < 3; ++i) l.Add(i);
    EXPECT_EQ(2u, l.Delete(1, 100));
    EXPECT_EQ((std::vector<int>{0}), Items(l));
    EXPECT_EQ(0u, l.Delete(3, 1));
    EXPECT_EQ(0u, l.Delete(1, 1));
    l.Clear();
    EXPECT_EQ(0u, l.Count());
    EXPECT_EQ(32u, l.memory.Length());   // memory is kept
}

TEST(IntegerLists, SearchAndDeleteByValue) {
    zo::IntegerList<unsigned long> l;
    for (unsigned long v : {5ul, 6ul, 5ul, 7ul}) l.Add(v);
    EXPECT_EQ(0u, l.IndexOf(5));
    EXPECT_EQ(2u, l.IndexOf(5, 1));
    EXPECT_EQ(NPOS, l.IndexOf(5, 4));
    EXPECT_EQ(NPOS, l.IndexOf(9));
    EXPECT_TRUE(l.DeleteValue(5, 1));
    EXPECT_EQ(3u, l.Count());
    EXPECT_EQ(7ul, l.GetElement(2));
    EXPECT_EQ(0ul, l.GetElement(3));
    EXPECT_FALSE(l.DeleteValue(9));
}

TEST(IntegerLists, DictionKeepsValuesUniqueInInsertionOrder) {
    zo::IntegerDiction<unsigned long> d;
    bool exists = true;
    EXPECT_EQ(0u, d.Add(40, NPOS, &exists));
    EXPECT_FALSE(exists);
    EXPECT_EQ(1u, d.Add(10, NPOS, &exists));
    EXPECT_EQ(0u, d.Add(40, NPOS, &exists));
    EXPECT_TRUE(exists);
    EXPECT_EQ(2u, d.Count());
    EXPECT_EQ(0u, d.Add(5, 0));   // a new value still honours its position
    EXPECT_EQ(40ul, d[1]);
}

// The list's room, which only a derived class may see.
struct RoomOf : zo::ObjectList<Counted> {
    unsigned Room() const { return this->memory.Length(); }
};

TEST(ObjectLists, FirstAddInMakes8AndNinthMakes16) {
    RoomOf l;
    l.AddIn(new Counted);
    EXPECT_EQ(8u, l.Room());
    for (int i = 1; i < 8; ++i) l.AddIn(new Counted);
    EXPECT_EQ(8u, l.Count());
    EXPECT_EQ(0u, l.AddIn(new Counted, 0));
    EXPECT_EQ(9u, l.Count());
    EXPECT_EQ(16u, l.Room());
    EXPECT_EQ(NPOS, l.IndexOf(nullptr));
    zo::ObjectList<Counted> other;
    other.Add();
    EXPECT_EQ(1u, other.Count());
}

TEST(ObjectLists, DeleteClearAndDestructorDestroyWhatTheyOwn) {
    Counted::alive = 0;
    {
        zo::ObjectList<Counted> l;
        for (int i = 0; i < 5; ++i) l.Add()->value = i;
        EXPECT_EQ(5, Counted::alive);
        EXPECT_EQ(2u, l.Delete(1, 2));
        EXPECT_EQ(3, Counted::alive);
        EXPECT_EQ(3, l[1]->value);
        Counted* kept = l[0];
        EXPECT_EQ(1u, l.RemoveOut(0, 1));
        EXPECT_EQ(3, Counted::alive);   // released, not destroyed
        delete kept;
        Counted* member = l[0];
        EXPECT_TRUE(l.Delete(member));
        EXPECT_EQ(1, Counted::alive);
        Counted stranger;
        EXPECT_FALSE(l.Delete(&stranger));
        l.Add();
        l.Clear();
        EXPECT_EQ(1, Counted::alive);   // only the stranger
        l.Add();
        l.Add();
    }
    EXPECT_EQ(0, Counted::alive);
}

TEST(ObjectLists, NullEntriesAreSkippedWhenDestroying) {
    zo::ObjectList<Counted> l;
    l.AddIn(nullptr);
    l.Add();
    EXPECT_EQ(nullptr, l.GetElement(0));
    EXPECT_EQ(nullptr, l.GetElement(5));
    EXPECT_EQ(2u, l.Delete(0, 2));
}

TEST(ObjectLists, PlainRecordsWithoutAFrameworkBaseAreMadeAndInitialised) {
    zo::ObjectList<Plain> l;
    Plain* p = l.Add();
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(7, p->a);
}

TEST(Trees, ChildrenKnowTheirParentAndSubtreesGoTogether) {
    Node::alive = 0;
    {
        Node root;
        Node* a = root.Add();
        Node* b = root.Add(0);
        EXPECT_EQ(&root, a->GetParent());
        EXPECT_EQ(0u, root.IndexOf(b));
        a->Add()->Add();
        EXPECT_EQ(5, Node::alive);
        EXPECT_TRUE(root.Delete(a));   // a and its two descendants
        EXPECT_EQ(2, Node::alive);
        Node* loose = new Node;
        EXPECT_EQ(1u, root.AddIn(loose));
        EXPECT_EQ(&root, loose->GetParent());
        EXPECT_EQ(loose, root.RemoveOut(1u));
        EXPECT_EQ(nullptr, loose->GetParent());
        EXPECT_EQ(nullptr, root.RemoveOut(7u));
        delete loose;
    }
    EXPECT_EQ(0, Node::alive);
}

TEST(Trees, RemovingANodeThatIsNotAChildChangesNothing) {
    Node root, other;
    Node* child = other.Add();
    EXPECT_FALSE(root.RemoveOut(child));
    EXPECT_EQ(&other, child->GetParent());
    EXPECT_TRUE(other.RemoveOut(child));
    EXPECT_EQ(nullptr, child->GetParent());
    EXPECT_EQ(0u, other.Count());
    delete child;
}

} // namespace
