// Layout nodes: the split of LayoutSplit applied to child nodes and windows.
#include "window/Layout.h"

#include "window/ICtrl.h"
#include "window/LayoutSplit.h"

namespace zo {

Layout::~Layout() {
    CloseControl();
}

void Layout::CloseControl() {
    if (!control) return;
    if (HWND h = control->Handle()) SendMessageW(h, WM_CLOSE, 0, 0);
    delete control;
    control = nullptr;
}

void Layout::PlaceWindow(int left, int top, int width, int height) {
    // Two requests, the move first: the window's handlers see its new place
    // before its new size, each with a message of its own. Only what changed
    // since this node last placed the window is asked for: a combo box told
    // its size again lays itself out and paints again, although nothing
    // changed (four of them cost the main window's first showing 15 ms).
    const bool known = window == placedWindow;
    if (!known || left != placed.left || top != placed.top)
        SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    if (!known || width != placed.right || height != placed.bottom)
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
    placedWindow = window;
    placed = RECT{left, top, width, height};
}

void Layout::AttachPlaced(HWND made) {
    window = made;
    placedWindow = made;
    placed = RECT{x, y, cx, cy};
}

void Layout::SetRect(int left, int top, int width, int height) {
    LayoutScale s = LayoutScale::ForDpi(dpi);
    PlaceUnits(s.Units(left), s.Units(top), s.Units(width), s.Units(height), s);
}

void Layout::SetDpi(int newDpi) {
    dpi = newDpi;
    for (unsigned i = 0, n = Count(); i < n; ++i) Element(i)->SetDpi(newDpi);
}

void Layout::PlaceUnits(int left, int top, int width, int height, const LayoutScale& s) {
    // Edges are rounded to pixels, extents are the differences of edges.
    x = static_cast<short>(s.Pixels(left));
    y = static_cast<short>(s.Pixels(top));
    cx = static_cast<short>(s.Pixels(left + width) - x);
    cy = static_cast<short>(s.Pixels(top + height) - y);
    if (window) PlaceWindow(x, y, cx, cy);

    unsigned n = Count();
    if (n == 0) return;
    // The margins along the split axis, then those across it.
    bool leftToRight = (flags & kLeftToRight) != 0;
    int Layout::*before = leftToRight ? &Layout::marginLeft : &Layout::marginTop;
    int Layout::*after = leftToRight ? &Layout::marginRight : &Layout::marginBottom;
    int Layout::*crossBefore = leftToRight ? &Layout::marginTop : &Layout::marginLeft;
    int Layout::*crossAfter = leftToRight ? &Layout::marginBottom : &Layout::marginRight;

    LayoutSplit split;
    for (unsigned i = 0; i < n; ++i) {
        const Layout* c = Element(i);
        split.Measure(s.Number(c->*before), s.Number(c->fixed), s.Number(c->*after), c->weight);
    }
    split.Begin(leftToRight ? left : top, leftToRight ? width : height);
    for (unsigned i = 0; i < n; ++i) {
        Layout* c = Element(i);
        LayoutSpan along = split.Place(s.Number(c->*before), s.Number(c->fixed), s.Number(c->*after), c->weight);
        LayoutSpan across = leftToRight
                                ? LayoutSplit::Across(top, height, s.Number(c->*crossBefore), s.Number(c->*crossAfter))
                                : LayoutSplit::Across(left, width, s.Number(c->*crossBefore), s.Number(c->*crossAfter));
        if (leftToRight)
            c->PlaceUnits(along.start, across.start, along.length, across.length, s);
        else
            c->PlaceUnits(across.start, along.start, across.length, along.length, s);
    }
}

void Layout::Need(int& width, int& height) const {
    width = height = 0;
    bool leftToRight = (flags & kLeftToRight) != 0;
    for (unsigned i = 0, n = Count(); i < n; ++i) {
        const Layout* c = Element(i);
        int w, h;
        c->Need(w, h);
        int& along = leftToRight ? w : h;
        if (along < c->fixed) along = c->fixed;
        w += c->marginLeft + c->marginRight;
        h += c->marginTop + c->marginBottom;
        if (leftToRight) {
            width += w;
            if (height < h) height = h;
        } else {
            height += h;
            if (width < w) width = w;
        }
    }
}

void Layout::SetWindow(HWND hwnd) {
    CloseControl();
    window = hwnd;
    if (window) PlaceWindow(x, y, cx, cy);
}

void Layout::CreateControls(HWND owner) {
    if (control && !window) {
        control->Create(owner);
        window = control->Handle();
    }
    for (unsigned i = 0, n = Count(); i < n; ++i) Element(i)->CreateControls(owner);
}

void Layout::Update(HWND owner) {
    if (owner) CreateControls(owner);
    Layout* top = GetParent() ? GetParent() : this;
    top->SetRect(top->x, top->y, top->cx, top->cy);
}

} // namespace zo
