// TopLayout: the root of a layout tree, bound to a view. It covers the view's
// client area (at least the view's content size, shifted by its scroll
// position), places the whole tree again on every WM_SIZE and follows the
// view's DPI. The view is borrowed: unbind (SetView(nullptr)) or destroy the
// layout before the view.
#pragma once
#include "window/Geometry.h"
#include "window/Layout.h"
#include "window/View.h"

namespace zo {

class TopLayout : public Layout {
public:
    View* view = nullptr;   // borrowed; null when unbound
    // When set, the view's smallest client size is kept at what the tree
    // needs at the view's DPI.
    bool limitsView = false;

    TopLayout() {}
    ~TopLayout() override;

    // Creates the missing controls under the view and places the tree on the
    // view's present client area; the argument is not used. Nothing happens
    // while unbound or when the view has no window.
    void Update(HWND) override;

    // Moves the size and DPI handlers from the old view to the new one and
    // places the tree once; the same view again changes nothing.
    void SetView(View* newView);

    // Places the tree on a client area of that size at the tree's DPI (the
    // view's, its content size and scroll position when bound).
    void PlaceClient(int width, int height);

    // The smallest client area in which the whole tree fits, margins
    // included, at a DPI (rounded up).
    Twin32 MinClientSize(int atDpi) const;

    // Before the bound view's window exists: its smallest client size
    // becomes what the tree needs at atDpi (the DPI it will most likely
    // have), and the window it makes is at least that large.
    void SizeViewForCreation(int atDpi);

private:
    void OnSize(Message* m, IWnd*);
    void OnDpi(int newDpi, View*);
};

} // namespace zo
