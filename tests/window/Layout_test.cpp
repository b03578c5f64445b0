// The layout tree: exact rectangles of nodes without windows (axes, margins,
// weights, 16-bit storage, deep trees, scaling to a DPI, repeatable results),
// then the same arrangement applied to real child windows, owned controls,
// and a root that follows its view's size, content and scroll position.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "support/Host.h"
#include "support/Pump.h"
#include "window/Button.h"
#include "window/Dpi.h"
#include "window/Edit.h"
#include "window/Frame.h"
#include "window/LayoutSplit.h"
#include "window/TopLayout.h"

namespace {

using zo::Layout;

typedef std::array<int, 4> Box;   // x, y, cx, cy

Box Stored(const Layout* n) { return Box{n->x, n->y, n->cx, n->cy}; }

Layout* AddChild(Layout& parent, int fixed, float weight) {
    Layout* c = parent.Add();
    c->fixed = fixed;
    c->weight = weight;
    return c;
}

void Margins(Layout* n, int left, int top, int right, int bottom) {
    n->marginLeft = left;
    n->marginTop = top;
    n->marginRight = right;
    n->marginBottom = bottom;
}

TEST(LayoutNodes, MarginsInsetTheSlotOnAllFourSidesAndNegativeExtentsPassThrough) {
    Layout column;
    Layout* first = AddChild(column, 40, 0.0f);
    Layout* second = AddChild(column, 25, 0.0f);
    Margins(second, 10, 53, 10, 10);
    Layout* third = AddChild(column, 0, 1.0f);
    column.SetRect(0, 0, 200, 300);
    EXPECT_EQ((Box{0, 0, 200, 40}), Stored(first));
    EXPECT_EQ((Box{10, 40 + 53, 180, 25}), Stored(second)) << "top edge 53 below the running cursor";
    EXPECT_EQ((Box{0, 40 + 53 + 25 + 10, 200, 300 - 128}), Stored(third));

    Layout row;
    row.flags = Layout::kLeftToRight;
    Layout* cell = AddChild(row, 0, 1.0f);
    Margins(cell, 3, 4, 5, 6);
    row.SetRect(100, 200, 50, 30);
    EXPECT_EQ((Box{103, 204, 42, 20}), Stored(cell));

    // Too little room: both extents turn negative and are applied as they are.
    Layout cramped;
    Layout* big = AddChild(cramped, 0, 1.0f);
    Margins(big, 20, 15, 30, 15);
    cramped.SetRect(0, 0, 40, 20);
    EXPECT_EQ((Box{20, 15, -10, -10}), Stored(big));
}

TEST(LayoutNodes, StoredValuesKeepTheLow16BitsWhileChildrenGetTheFullValues) {
    Layout row;
    row.flags = Layout::kLeftToRight;
    Layout* a = AddChild(row, 0, 1.0f);
    Layout* b = AddChild(row, 0, 1.0f);
    row.SetRect(0, 0, 70000, 100);
    EXPECT_EQ(70000 - 65536, row.cx);
    EXPECT_EQ((Box{0, 0, 35000 - 65536, 100}), Stored(a));
    EXPECT_EQ((Box{35000 - 65536, 0, 35000 - 65536, 100}), Stored(b));

    // Placing again from the stored (sign-extended) rectangle splits 4464.
    b->Update(nullptr);
    EXPECT_EQ((Box{0, 0, 2232, 100}), Stored(a));
    EXPECT_EQ((Box{2232, 0, 2232, 100}), Stored(b));
}

TEST(LayoutNodes, UpdatePlacesTheSiblingsAgainFromTheParentsRectangle) {
    Layout column;
    Layout* a = AddChild(column, 10, 0.0f);
    Layout* b = AddChild(column, 0, 1.0f);
    column.SetRect(0, 0, 100, 100);
    a->fixed = 40;   // changed after the first arrangement
    b->Update(nullptr);
    EXPECT_EQ((Box{0, 0, 100, 40}), Stored(a));
    EXPECT_EQ((Box{0, 40, 100, 60}), Stored(b));
    column.fixed = 0;
    column.marginTop = 9;
    column.Update(nullptr);   // a root places itself on its own rectangle
    EXPECT_EQ((Box{0, 0, 100, 100}), Stored(&column));
}

TEST(LayoutNodes, ThreeHundredLevelsDeepShrinkOnePixelPerSideEach) {
    Layout root;
    Layout* n = &root;
    std::vector<Layout*> chain;
    for (int level = 1; level <= 300; ++level) {
        n = n->Add();
        Margins(n, 1, 1, 1, 1);
        n->flags = level % 2 ? Layout::kLeftToRight : 0;
        chain.push_back(n);
    }
    root.SetRect(0, 0, 1000, 800);
    for (int level = 1; level <= 300; ++level)
        ASSERT_EQ((Box{level, level, 1000 - 2 * level, 800 - 2 * level}), Stored(chain[level - 1])) << level;
    chain.back()->Update(nullptr);
    EXPECT_EQ((Box{300, 300, 400, 200}), Stored(chain.back()));
}

// A tree with every kind of node: fixed, weighted, margins on both axes.
void BuildMixedTree(Layout& root) {
    root.flags = Layout::kLeftToRight;
    Layout* left = AddChild(root, 120, 0.0f);
    Margins(left, 4, 4, 2, 4);
    Layout* right = AddChild(root, 0, 1.0f);
    for (int i = 0; i < 5; ++i) {
        Layout* row = AddChild(*left, 7 * i, 0.3f * i);
        Margins(row, i, 2, 0, 1);
        row->flags = Layout::kLeftToRight;
        for (int j = 0; j < 3; ++j) AddChild(*row, j, 1.0f + j);
    }
    for (int i = 0; i < 7; ++i) {
        Layout* cell = AddChild(*right, 0, 1.0f);
        Margins(cell, 1, 0, 1, 3);
    }
}

// Every node's rectangle, depth first.
std::vector<Box> Boxes(const Layout* n) {
    std::vector<Box> out{Stored(n)};
    for (unsigned i = 0; i < n->Count(); ++i) {
        std::vector<Box> sub = Boxes(n->Element(i));
        out.insert(out.end(), sub.begin(), sub.end());
    }
    return out;
}

void UpdateEach(Layout* n) {
    n->Update(nullptr);
    for (unsigned i = 0; i < n->Count(); ++i) UpdateEach(n->Element(i));
}

// Ten rows of ten children, three levels deep, with odd margins and fixed
// lengths: at every DPI each edge is the 96-DPI edge scaled and rounded once
// (rounding each number apart would drift by up to half a pixel a child).
TEST(LayoutNodes, AtAnyDpiEveryEdgeIsThe96DpiEdgeScaledWithoutDrift) {
    auto build = [](Layout& root) {
        root.flags = 0;
        for (int r = 0; r < 10; ++r) {
            Layout* row = AddChild(root, 31, 0.0f);
            row->flags = Layout::kLeftToRight;
            Margins(row, 5, 7, 3, 1);
            for (int c = 0; c < 10; ++c) {
                Layout* cell = AddChild(*row, 13 + c, 0.0f);
                Margins(cell, 10 + c % 3, 3, 1, 2);
                AddChild(*cell, 0, 1.0f)->marginLeft = 1;
            }
        }
    };
    // Roots with 10-pixel margins on a client area of 2020 x 420, as a
    // window's root is placed.
    auto place = [&](zo::TopLayout& root, int dpi) {
        build(root);
        Margins(&root, 10, 10, 10, 10);
        root.SetDpi(dpi);
        root.PlaceClient(zo::ScaleToDpi(2020, dpi), zo::ScaleToDpi(420, dpi));
    };
    auto expectScaled = [](const Layout* want, const Layout* got, int dpi) {
        EXPECT_EQ(got->x, zo::ScaleToDpi(want->x, dpi));
        EXPECT_EQ(got->y, zo::ScaleToDpi(want->y, dpi));
        EXPECT_EQ(got->x + got->cx, zo::ScaleToDpi(want->x + want->cx, dpi));
        EXPECT_EQ(got->y + got->cy, zo::ScaleToDpi(want->y + want->cy, dpi));
    };
    zo::TopLayout base;
    place(base, 96);
    EXPECT_EQ(Stored(base.Element(9)->Element(9)), (Box{286, 371, 22, 26}));
    for (int dpi : {96, 120, 144, 168, 192, 240}) {
        SCOPED_TRACE(dpi);
        zo::TopLayout scaled;
        place(scaled, dpi);
        for (unsigned r = 0; r < 10; ++r)
            for (unsigned c = 0; c < 10; ++c) {
                const Layout* cell96 = base.Element(r)->Element(c);
                const Layout* cell = scaled.Element(r)->Element(c);
                expectScaled(cell96, cell, dpi);
                expectScaled(cell96->Element(0), cell->Element(0), dpi);
            }
    }
}

TEST(LayoutNodes, ArrangingAgainGivesIdenticalRectangles) {
    Layout root;
    BuildMixedTree(root);
    root.SetRect(3, 5, 637, 411);
    const std::vector<Box> first = Boxes(&root);
    ASSERT_EQ(1u + 2 + 5 + 15 + 7, first.size());
    root.SetRect(3, 5, 637, 411);
    EXPECT_EQ(first, Boxes(&root)) << "the same rectangle again";
    root.SetRect(0, 0, 1200, 900);
    root.SetRect(3, 5, 637, 411);
    EXPECT_EQ(first, Boxes(&root)) << "back from another size";
    UpdateEach(&root);
    EXPECT_EQ(first, Boxes(&root)) << "every node updated on its own";
}

// ---- on real windows ----

class LayoutWindows : public ::testing::Test {
protected:
    zo::Frame frame;

    void SetUp() override { ASSERT_TRUE(zotest::ShowHost(frame, 400, 300)); }
    void TearDown() override { zotest::PumpMessages(); }

    // A plain child window of the frame, or of parent.
    HWND Child(HWND parent = nullptr) {
        return CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, parent ? parent : frame.Handle(),
                               nullptr, nullptr, nullptr);
    }
};

Box WindowBox(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Records how a window was moved: each WM_WINDOWPOSCHANGING's flags.
struct PosProbe {
    std::vector<unsigned> flags;
    void OnChanging(zo::Message* m, zo::IWnd*) {
        flags.push_back(reinterpret_cast<WINDOWPOS*>(m->lParam)->flags & (SWP_NOMOVE | SWP_NOSIZE));
    }
};

TEST_F(LayoutWindows, AttachedWindowsAreMovedThenSizedToTheirNodes) {
    Layout row;
    row.flags = Layout::kLeftToRight;
    Layout* a = AddChild(row, 90, 0.0f);
    Layout* b = AddChild(row, 0, 1.0f);
    Margins(b, 5, 5, 5, 5);
    HWND wa = Child();
    PosProbe probe;   // outlives the view, which reports until it is gone
    zo::View vb;
    vb.AddMessageHandler(WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGING, &probe, &PosProbe::OnChanging);
    ASSERT_TRUE(vb.Create(frame));
    a->SetWindow(wa);
    b->SetWindow(vb);
    probe.flags.clear();
    row.SetRect(10, 20, 300, 100);
    EXPECT_EQ((Box{10, 20, 90, 100}), WindowBox(wa));
    EXPECT_EQ((Box{105, 25, 200, 90}), WindowBox(vb));
    EXPECT_EQ((std::vector<unsigned>{SWP_NOSIZE, SWP_NOMOVE}), probe.flags) << "a move, then a size";
    // Placed again, a window is asked only for what changed (a combo box
    // told its size again lays itself out and paints again), and a window
    // attached as made on its rectangle is not placed at all.
    probe.flags.clear();
    row.SetRect(10, 20, 300, 100);
    EXPECT_TRUE(probe.flags.empty()) << "the same rectangle again";
    row.SetRect(12, 20, 300, 100);
    EXPECT_EQ((std::vector<unsigned>{SWP_NOSIZE}), probe.flags) << "moved, same size";
    PosProbe madeProbe;
    zo::View made;
    made.AddMessageHandler(WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGING, &madeProbe, &PosProbe::OnChanging);
    zo::CreateStruct* cs = made.createInfo.Get();
    cs->x = 107, cs->y = 25, cs->width = 200, cs->height = 90;
    ASSERT_TRUE(made.Create(frame));
    b->AttachPlaced(made);
    madeProbe.flags.clear();
    row.SetRect(12, 20, 300, 100);
    EXPECT_TRUE(madeProbe.flags.empty()) << "attached where it was made";
    EXPECT_EQ((Box{107, 25, 200, 90}), WindowBox(made));
    b->SetWindow(nullptr);

    // A window attached later goes straight to its node's rectangle.
    HWND late = Child();
    b->SetWindow(late);
    EXPECT_EQ((Box{107, 25, 200, 90}), WindowBox(late));
}

TEST_F(LayoutWindows, UpdateCreatesOwnedControlsAndSetWindowClosesThem) {
    Layout* column = new Layout;
    Layout* top = AddChild(*column, 30, 0.0f);
    Layout* rest = AddChild(*column, 0, 1.0f);
    zo::Edit* edit = new zo::Edit;
    top->control = edit;
    rest->control = new zo::Button;
    column->SetRect(0, 0, 200, 100);
    column->Update(frame);
    ASSERT_TRUE(top->window);
    EXPECT_EQ(edit->Handle(), top->window);
    EXPECT_EQ(frame.Handle(), GetParent(top->window));
    EXPECT_EQ((Box{0, 0, 200, 30}), WindowBox(top->window));
    ASSERT_TRUE(rest->window);
    EXPECT_EQ((Box{0, 30, 200, 70}), WindowBox(rest->window));
    HWND made = top->window;
    column->Update(frame);
    EXPECT_EQ(made, top->window) << "an existing control window is kept";

    HWND other = Child();
    top->SetWindow(other);
    EXPECT_FALSE(IsWindow(made)) << "the owned control is closed";
    EXPECT_EQ(nullptr, top->control);
    EXPECT_EQ(other, top->window);
    EXPECT_EQ((Box{0, 0, 200, 30}), WindowBox(other));

    // Destroying the tree closes the controls it owns, never attached windows.
    HWND button = rest->window;
    delete column;
    EXPECT_FALSE(IsWindow(button));
    EXPECT_TRUE(IsWindow(other));
}

TEST_F(LayoutWindows, RootFollowsTheViewsSizeAndMinimisingMovesNothing) {
    zo::TopLayout root;
    Margins(&root, 8, 8, 8, 8);
    root.flags = Layout::kLeftToRight;
    Layout* side = AddChild(root, 100, 0.0f);
    Layout* main = AddChild(root, 0, 1.0f);
    main->marginLeft = 4;
    HWND ws = Child(), wm = Child();
    side->SetWindow(ws);
    main->SetWindow(wm);
    root.SetView(&frame);
    EXPECT_EQ((Box{8, 8, 384, 284}), Stored(&root));
    EXPECT_EQ((Box{8, 8, 100, 284}), WindowBox(ws));
    EXPECT_EQ((Box{112, 8, 280, 284}), WindowBox(wm));

    // At 600 x 500; a minimise, sent or real, moves nothing.
    auto expectAt600 = [&](const char* after) {
        EXPECT_EQ((Box{8, 8, 100, 484}), WindowBox(ws)) << after;
        EXPECT_EQ((Box{112, 8, 480, 484}), WindowBox(wm)) << after;
    };
    SetWindowPos(frame, nullptr, 0, 0, 600, 500, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    expectAt600("resize");
    SendMessageW(frame, WM_SIZE, SIZE_MINIMIZED, 0);
    expectAt600("WM_SIZE with SIZE_MINIMIZED");
    ShowWindow(frame, SW_MINIMIZE);
    zotest::PumpMessages();
    ASSERT_TRUE(IsIconic(frame));
    expectAt600("SW_MINIMIZE");
    EXPECT_EQ((Box{8, 8, 584, 484}), Stored(&root));
}

TEST_F(LayoutWindows, ContentLargerThanTheClientWidensTheRootShiftedByTheScroll) {
    // A plain view: a scroll view would bring its own bars and positions.
    zo::View view;
    view.createInfo->x = 0;
    view.createInfo->y = 0;
    view.createInfo->width = 300;
    view.createInfo->height = 200;
    ASSERT_TRUE(view.Create(frame));
    view.contentSize = zo::Twin32(500, 0);
    view.scrollPos = zo::Twin32(40, 0);
    zo::TopLayout root;
    Margins(&root, 5, 5, 5, 5);
    Layout* cell = root.Add();
    HWND w = Child(view);
    cell->SetWindow(w);
    root.SetView(&view);
    EXPECT_EQ((Box{5 - 40, 5, 490, 190}), WindowBox(w));

    view.scrollPos = zo::Twin32(100, 30);
    SendMessageW(view, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
    EXPECT_EQ((Box{5 - 100, 5 - 30, 490, 190}), WindowBox(w));
    // A client wider than the content wins; so does a taller content.
    view.contentSize = zo::Twin32(500, 400);
    SendMessageW(view, WM_SIZE, SIZE_RESTORED, MAKELPARAM(700, 200));
    EXPECT_EQ((Box{5 - 100, 5 - 30, 690, 390}), WindowBox(w));
}

TEST_F(LayoutWindows, SetViewMovesTheHandlerAndCreatesControlsUnderTheView) {
    zo::View other;
    other.createInfo->width = 250;
    other.createInfo->height = 150;
    ASSERT_TRUE(other.Create(frame));
    zo::IWnd::MessageDelegate* sizeOfFrame = frame.GetMessageDelegate(WM_SIZE, WM_SIZE);
    zo::IWnd::MessageDelegate* sizeOfOther = other.GetMessageDelegate(WM_SIZE, WM_SIZE);
    unsigned before = sizeOfFrame->Count();

    zo::TopLayout* root = new zo::TopLayout;
    Layout* cell = root->Add();
    zo::Button* button = new zo::Button;
    cell->control = button;
    root->SetView(&frame);
    EXPECT_EQ(before + 1, sizeOfFrame->Count());
    ASSERT_TRUE(cell->window);
    EXPECT_EQ(frame.Handle(), GetParent(cell->window));
    root->SetView(&frame);
    EXPECT_EQ(before + 1, sizeOfFrame->Count()) << "the same view binds once";

    // Bound elsewhere: the frame's sizes no longer move the tree.
    HWND w = Child();
    cell->SetWindow(w);   // closes the button made under the frame
    root->SetView(&other);
    EXPECT_EQ(before, sizeOfFrame->Count());
    EXPECT_EQ(1u, sizeOfOther->Count());
    EXPECT_EQ((Box{0, 0, 250, 150}), WindowBox(w));
    SendMessageW(frame, WM_SIZE, SIZE_RESTORED, MAKELPARAM(333, 222));
    EXPECT_EQ((Box{0, 0, 250, 150}), WindowBox(w));
    SendMessageW(other, WM_SIZE, SIZE_RESTORED, MAKELPARAM(120, 80));
    EXPECT_EQ((Box{0, 0, 120, 80}), WindowBox(w));

    // Unbinding, or destroying the root, leaves the view without the handler.
    root->SetView(nullptr);
    EXPECT_EQ(0u, sizeOfOther->Count());
    root->SetView(&other);
    EXPECT_EQ((Box{0, 0, 250, 150}), WindowBox(w)) << "bound again, placed again";
    delete root;
    EXPECT_EQ(0u, sizeOfOther->Count());
    SendMessageW(other, WM_SIZE, SIZE_RESTORED, MAKELPARAM(50, 50));
    EXPECT_EQ((Box{0, 0, 250, 150}), WindowBox(w));
    EXPECT_TRUE(IsWindow(w));
}

TEST_F(LayoutWindows, TopLayoutUpdateWithoutAViewWindowChangesNothing) {
    zo::TopLayout root;
    root.Update(nullptr);   // unbound
    zo::View unmade;
    Layout* cell = root.Add();
    cell->control = new zo::Button;
    root.SetView(&unmade);
    EXPECT_EQ(nullptr, cell->window) << "no client rectangle, no controls";
    EXPECT_EQ((Box{0, 0, 0, 0}), Stored(&root));
    root.SetView(nullptr);
}

} // namespace
