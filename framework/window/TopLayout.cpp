// The root of a layout tree following its view's size, content, scroll and DPI.
#include "window/TopLayout.h"

#include "window/Dpi.h"
#include "window/LayoutSplit.h"

namespace zo {

TopLayout::~TopLayout() {
    // The view would otherwise keep calling a handler bound to this object.
    SetView(nullptr);
}

void TopLayout::PlaceClient(int width, int height) {
    int scrollX = 0, scrollY = 0;
    if (view) {
        if (width < view->contentSize.x) width = view->contentSize.x;
        if (height < view->contentSize.y) height = view->contentSize.y;
        if (dpi != view->dpi) SetDpi(view->dpi);
        scrollX = view->scrollPos.x;
        scrollY = view->scrollPos.y;
    }
    // The root's own margins are 96-DPI numbers like every other, so the
    // tree is placed in units from the client area's edges.
    LayoutScale s = LayoutScale::ForDpi(dpi);
    PlaceUnits(s.Number(marginLeft) - s.Units(scrollX), s.Number(marginTop) - s.Units(scrollY),
               s.Units(width) - s.Number(marginLeft + marginRight), s.Units(height) - s.Number(marginTop + marginBottom),
               s);
}

void TopLayout::Update(HWND) {
    if (!view) return;
    RECT client;
    if (!GetClientRect(view->Handle(), &client)) return;
    CreateControls(view->Handle());
    PlaceClient(static_cast<short>(client.right), static_cast<short>(client.bottom));
}

void TopLayout::SetView(View* newView) {
    if (newView == view) return;
    if (view) {
        view->RemoveMessageHandler(WM_SIZE, WM_SIZE, this, &TopLayout::OnSize);
        view->dpiEvent.Delete(view->dpiEvent.IndexOf(this, &TopLayout::OnDpi));
    }
    view = newView;
    if (!view) return;
    view->AddMessageHandler(WM_SIZE, WM_SIZE, this, &TopLayout::OnSize);
    view->dpiEvent.Add(this, &TopLayout::OnDpi);
    Update(nullptr);
}

Twin32 TopLayout::MinClientSize(int atDpi) const {
    int w = 0, h = 0;
    Need(w, h);
    return Twin32{ScaleToDpiUp(w + marginLeft + marginRight, atDpi), ScaleToDpiUp(h + marginTop + marginBottom, atDpi)};
}

void TopLayout::OnDpi(int newDpi, View*) {
    SetDpi(newDpi);
    if (limitsView) view->minClientSize = MinClientSize(newDpi);
    Update(nullptr);
}

void TopLayout::OnSize(Message* m, IWnd*) {
    if (m->wParam == SIZE_MINIMIZED) return;
    PlaceClient(static_cast<short>(LOWORD(m->lParam)), static_cast<short>(HIWORD(m->lParam)));
    InvalidateRect(view->Handle(), nullptr, TRUE);
}

void TopLayout::SizeViewForCreation(int atDpi) {
    if (!view) return;
    view->minClientSize = MinClientSize(atDpi);
    RECT frame = {0, 0, view->minClientSize.x, view->minClientSize.y};
    CreateStruct* cs = view->createInfo.Get();
    AdjustWindowRectForDpi(&frame, cs->style, cs->exStyle, atDpi);
    if (cs->width < frame.right - frame.left) cs->width = static_cast<int16_t>(frame.right - frame.left);
    if (cs->height < frame.bottom - frame.top) cs->height = static_cast<int16_t>(frame.bottom - frame.top);
}

} // namespace zo
