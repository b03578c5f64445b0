// The root of a layout tree following its view's size, content and scroll.
#include "window/TopLayout.h"

namespace zo {

TopLayout::~TopLayout() {
    // The view would otherwise keep calling a handler bound to this object.
    SetView(nullptr);
}

void TopLayout::Update(HWND) {
    if (!view) return;
    RECT client;
    if (!GetClientRect(view->Handle(), &client)) return;
    int w = static_cast<short>(client.right);
    int h = static_cast<short>(client.bottom);
    if (w < view->contentSize.x) w = view->contentSize.x;
    if (h < view->contentSize.y) h = view->contentSize.y;
    // Stored straight into the 16-bit rectangle, which Layout then applies.
    x = static_cast<short>(marginLeft - view->scrollPos.x);
    y = static_cast<short>(marginTop - view->scrollPos.y);
    cx = static_cast<short>(w - marginRight - marginLeft);
    cy = static_cast<short>(h - marginBottom - marginTop);
    Layout::Update(view->Handle());
}

void TopLayout::SetView(View* newView) {
    if (newView == view) return;
    if (view) view->RemoveMessageHandler(WM_SIZE, WM_SIZE, this, &TopLayout::OnSize);
    view = newView;
    if (!view) return;
    view->AddMessageHandler(WM_SIZE, WM_SIZE, this, &TopLayout::OnSize);
    Update(nullptr);
}

void TopLayout::OnSize(Message* m, IWnd*) {
    if (m->wParam == SIZE_MINIMIZED) return;
    int w = static_cast<short>(LOWORD(m->lParam));
    int h = static_cast<short>(HIWORD(m->lParam));
    if (w < view->contentSize.x) w = view->contentSize.x;
    if (h < view->contentSize.y) h = view->contentSize.y;
    SetRect(marginLeft - view->scrollPos.x, marginTop - view->scrollPos.y, w - marginRight - marginLeft,
            h - marginBottom - marginTop);
    InvalidateRect(view->Handle(), nullptr, TRUE);
}

} // namespace zo
