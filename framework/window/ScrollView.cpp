// ScrollView: scroll bars driven by the content size, and scrolling by bar,
// keyboard and wheel. The position lives in scrollPos and stays within
// 0..maxScrollX and 0..maxScrollY.
#include "window/ScrollView.h"

namespace zo {

ScrollView::ScrollView() {
    AddMessageHandler(WM_KEYDOWN, WM_KEYDOWN, this, &ScrollView::OnKeyDown);
    AddMessageHandler(WM_SIZE, WM_SIZE, this, &ScrollView::OnSize);
    AddMessageHandler(WM_MOUSEWHEEL, WM_MOUSEWHEEL, this, &ScrollView::OnMouseWheel);
    AddMessageHandler(WM_VSCROLL, WM_VSCROLL, this, &ScrollView::OnVScroll);
    AddMessageHandler(WM_HSCROLL, WM_HSCROLL, this, &ScrollView::OnHScroll);
}

ScrollView::~ScrollView() {
    if (handle) DestroyWindow(handle);
}

void ScrollView::UpdateScrollBars() {
    RECT r;
    if (!GetClientRect(handle, &r)) return;
    Resize(static_cast<int16_t>(r.right - r.left), static_cast<int16_t>(r.bottom - r.top));
}

void ScrollView::SetContentSize(int width, int height) {
    contentSize = Twin32(width, height);
    UpdateScrollBars();
}

void ScrollView::OnSize(Message* m, IWnd*) {
    Twin16 size = Twin16::FromParam(static_cast<uintptr_t>(m->lParam));
    Twin16 before, after;
    bool known = GetClientSize(before);
    Resize(size.x, size.y);
    // Showing or hiding a bar changed the client area again; handlers after
    // this one (the layout, the size event) must see the size it ended with.
    if (known && GetClientSize(after) && after != before) m->lParam = static_cast<LPARAM>(after.Packed());
}

// Setting a bar's range or showing or hiding it resizes the client area,
// which sends a nested WM_SIZE that redoes both axes with the new size. The
// pass that caused it then stops, so its stale sizes overwrite nothing.
static bool ClientChanged(HWND h, const Twin16& was) {
    RECT r;
    return GetClientRect(h, &r) && (r.right - r.left != was.x || r.bottom - r.top != was.y);
}

// One axis of the bar logic: shows or hides the bar, keeps the position
// within the new range and moves the content when the position changed.
// True when the client size changed under it (see above).
struct Axis {
    int bar;
    int* pos;
    int* maxPos;
    int* page;
    int line;
    int client;
    int content;
};

static bool FitAxis(HWND h, const Axis& a, bool need, const Twin16& was) {
    int& pos = *a.pos;
    bool horz = a.bar == SB_HORZ;
    if (need) {
        *a.maxPos = a.content - a.client + 1;
        if (*a.maxPos < 0) *a.maxPos = 0;
        if (pos > *a.maxPos) {
            int shift = pos - *a.maxPos;
            pos = *a.maxPos;
            ScrollWindow(h, horz ? shift : 0, horz ? 0 : shift, nullptr, nullptr);
        }
        SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, a.content,
                         static_cast<UINT>(a.client), pos, 0};
        SetScrollInfo(h, a.bar, &si, TRUE);
        if (ClientChanged(h, was)) return true;
        *a.page = a.client - a.line;
        ShowScrollBar(h, a.bar, TRUE);
    } else {
        ShowScrollBar(h, a.bar, FALSE);
        if (ClientChanged(h, was)) return true;
        if (pos != 0) {
            ScrollWindow(h, horz ? pos : 0, horz ? 0 : pos, nullptr, nullptr);
            InvalidateRect(h, nullptr, TRUE);
            pos = 0;
        }
        *a.maxPos = 0;
    }
    return ClientChanged(h, was);
}

void ScrollView::Resize(int cx, int cy) {
    hLine = cx / 10;
    if (hLine == 0) hLine = 1;
    vLine = cy / 10;
    if (vLine == 0) vLine = 1;

    // The client size the window would have without its bars.
    LONG style = GetWindowLongW(handle, GWL_STYLE);
    int vBar = GetSystemMetrics(SM_CXVSCROLL);
    int hBar = GetSystemMetrics(SM_CYHSCROLL);
    int fullW = style & WS_VSCROLL ? cx + vBar : cx;
    int fullH = style & WS_HSCROLL ? cy + hBar : cy;

    // One bar takes room from the other axis and may make that bar needed.
    bool needH = fullW < contentSize.x;
    bool needV = fullH < contentSize.y;
    if (needH && fullH < contentSize.y + hBar) needV = true;
    if (needV && fullW < contentSize.x + vBar) needH = true;

    Twin16 was;
    if (!GetClientSize(was)) return;
    if (FitAxis(handle, Axis{SB_HORZ, &scrollPos.x, &maxScrollX, &hPage, hLine, cx, contentSize.x}, needH, was))
        return;
    FitAxis(handle, Axis{SB_VERT, &scrollPos.y, &maxScrollY, &vPage, vLine, cy, contentSize.y}, needV, was);
}

void ScrollView::OnHScroll(Message* m, IWnd*) {
    // A scroll-bar control of its own sends lParam = its window.
    if (m->lParam) return;
    Scroll(SB_HORZ, static_cast<unsigned>(m->wParam & 0xFFFF), static_cast<unsigned>((m->wParam >> 16) & 0xFFFF));
}

void ScrollView::OnVScroll(Message* m, IWnd*) {
    if (m->lParam) return;
    Scroll(SB_VERT, static_cast<unsigned>(m->wParam & 0xFFFF), static_cast<unsigned>((m->wParam >> 16) & 0xFFFF));
}

void ScrollView::Scroll(int bar, unsigned code, unsigned thumb) {
    bool horz = bar == SB_HORZ;
    int& pos = horz ? scrollPos.x : scrollPos.y;
    int line = horz ? hLine : vLine;
    int page = horz ? hPage : vPage;
    int maxPos = horz ? maxScrollX : maxScrollY;
    int old = pos;
    int x = pos;
    switch (code) {
    case SB_LINEUP:   x = x - line < 0 ? 0 : x - line; break;
    case SB_LINEDOWN: x = x + line > maxPos ? maxPos : x + line; break;
    case SB_PAGEUP:   x = x - page < 0 ? 0 : x - page; break;
    case SB_PAGEDOWN: x = x + page > maxPos ? maxPos : x + page; break;
    case SB_THUMBTRACK: {
        SCROLLINFO si = {sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
        x = GetScrollInfo(handle, bar, &si) ? si.nTrackPos : static_cast<int>(thumb);
        break;
    }
    case SB_TOP:      x = 0; break;
    case SB_BOTTOM:   x = maxPos; break;
    default:          break;   // SB_THUMBPOSITION and SB_ENDSCROLL: the track already moved it
    }
    int shift = old - x;
    if (!shift) return;
    pos = x;
    SetScrollPos(handle, bar, x, TRUE);
    ScrollWindow(handle, horz ? shift : 0, horz ? 0 : shift, nullptr, nullptr);
    scrollEvent.Call(horz ? shift : 0, horz ? 0 : shift, this);
}

void ScrollView::OnKeyDown(Message* m, IWnd*) {
    if (!keyScroll) return;
    UINT msg = WM_VSCROLL;
    WPARAM code;
    switch (m->wParam & 0xFFFF) {
    case VK_PRIOR: code = SB_PAGEUP; break;
    case VK_NEXT:  code = SB_PAGEDOWN; break;
    case VK_END:   code = SB_BOTTOM; break;
    case VK_HOME:  code = SB_TOP; break;
    case VK_LEFT:  msg = WM_HSCROLL; code = SB_LINELEFT; break;
    case VK_UP:    code = SB_LINEUP; break;
    case VK_RIGHT: msg = WM_HSCROLL; code = SB_LINERIGHT; break;
    case VK_DOWN:  code = SB_LINEDOWN; break;
    default:       return;
    }
    SendMessageW(m->hwnd, msg, code, 0);
}

void ScrollView::OnMouseWheel(Message* m, IWnd*) {
    if (!wheelMessage) return;
    // One line per wheel message, whatever the distance.
    short distance = static_cast<short>((m->wParam >> 16) & 0xFFFF);
    SendMessageW(m->hwnd, wheelMessage, distance > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
}

} // namespace zo
