// TopLayout: the root of a layout tree, bound to a view. It covers the view's
// client area (at least the view's content size, shifted by its scroll
// position) and places the whole tree again on every WM_SIZE. The view is
// borrowed: unbind (SetView(nullptr)) or destroy the layout before the view.
#pragma once
#include "window/Layout.h"
#include "window/View.h"

namespace zo {

class TopLayout : public Layout {
public:
    View* view = nullptr;   // borrowed; null when unbound

    TopLayout() {}
    ~TopLayout() override;

    // Creates the missing controls under the view and places the tree on the
    // view's present client area; the argument is not used. Nothing happens
    // while unbound or when the view has no window.
    void Update(HWND) override;

    // Moves the size handler from the old view to the new one and places the
    // tree once; the same view again changes nothing.
    void SetView(View* newView);

private:
    void OnSize(Message* m, IWnd*);
};

} // namespace zo
