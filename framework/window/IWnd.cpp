// The window procedure of every framework window object: message table,
// built-in handling that raises the typed events, default procedure.
#include "window/IWnd.h"

#include "core/Print.h"

namespace zo {

static thread_local IWnd* creatingWindow = nullptr;

IWnd* CreatingWindow() { return creatingWindow; }
void SetCreatingWindow(IWnd* w) { creatingWindow = w; }

LRESULT CALLBACK ClassWindowProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    IWnd* w = creatingWindow;
    if (!w) return DefWindowProcW(h, msg, wParam, lParam);
    creatingWindow = nullptr;
    if (!w->AttachWindow(h)) return DefWindowProcW(h, msg, wParam, lParam);
    return w->procedure.Procedure()(h, msg, wParam, lParam);
}

IWnd::IWnd() {
    procedure.Bind(this, &IWnd::WindowProc);
    createInfo.New();
}

IWnd::~IWnd() {
    // The window goes first: its last messages still find every handler.
    if (handle) DestroyWindow(handle);
}

HWND IWnd::Create(HWND) { return nullptr; }

bool IWnd::AttachWindow(HWND h) {
    if (!IsWindow(h)) {
        Warning(L"要绑定的句柄不是一个窗口句柄.");
        return false;
    }
    handle = h;
    WNDPROC old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure.Procedure())));
    // A framework class's own procedure would only pass messages on to
    // DefWindowProcW; a foreign window keeps what its class does.
    defaultProc = !old || old == ClassWindowProc ? DefWindowProcW : old;
    return true;
}

IWnd::MessageDelegate* IWnd::GetMessageDelegate(unsigned first, unsigned last) {
    bool exists = false;
    unsigned i = msgKeys.Add(_UPOINT{first, last}, NPOS, &exists);
    if (i == NPOS) return nullptr;
    if (exists) return msgHandlers.Element(i);
    MessageDelegate* d = msgHandlers.Add(NPOS);
    if (!d) msgKeys.Delete(i, 1);   // the two lists stay index-parallel
    return d;
}

Message IWnd::RunMessageTable(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Message m(hwnd, message, wParam, lParam);
    // Handlers may register ranges while this runs: the count is read again.
    for (unsigned i = 0; i < msgKeys.Count(); ++i) {
        const _UPOINT& key = msgKeys[i];
        if (key.first <= message && message <= key.last) msgHandlers.Element(i)->Call(&m, this);
    }
    return m;
}

LRESULT IWnd::WindowProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!handle) handle = h;
    Message m = RunMessageTable(h, msg, wParam, lParam);
    if (!(m.flags & Message::skipBuiltIn)) BuiltIn(m);
    // Cleared even when a handler skipped the built-in handling: a stale
    // handle could later name another window, which this object would then
    // refuse to replace and destroy on its way out.
    if (msg == WM_NCDESTROY) handle = nullptr;
    if (m.flags & Message::handled) return m.result;
    if (defaultProc == DefWindowProcW) return DefWindowProcW(h, msg, wParam, lParam);
    return CallWindowProcW(defaultProc, h, msg, wParam, lParam);
}

void IWnd::BuiltIn(Message& m) {
    UINT msg = m.message;
    if (msg >= WM_MOUSEFIRST && msg <= 0x020D) return OnMouse(m);
    if (msg >= WM_NCMOUSEMOVE && msg <= 0x00A9) return OnNcMouse(m);
    if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) return OnCtlColor(m);
    switch (msg) {
    case WM_MOUSELEAVE:
        armLeave = true;
        return OnMouse(m);
    case WM_NCMOUSELEAVE:
        armNcLeave = true;
        return OnNcMouse(m);
    case WM_COMMAND:
        return OnCommand(m);
    case WM_CREATE:
        createEvent.Call(this);
        return;
    case WM_NOTIFY:
        return OnNotify(m);
    case WM_GETIWND:
        m.result = reinterpret_cast<LRESULT>(this);
        m.flags |= Message::handled;
        return;
    case WM_MOVE:
        position = Twin16::FromParam(static_cast<uintptr_t>(m.lParam));
        return;
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(m);
    case WM_SIZE:
        if (m.wParam != SIZE_MINIMIZED) sizeEvent.Call(Twin16::FromParam(static_cast<uintptr_t>(m.lParam)), this);
        return;
    case WM_CLOSE: {
        bool cancel = false;
        closeEvent.Call(cancel, this);
        if (cancel) {
            m.result = 0;
            m.flags |= Message::handled;
        }
        return;
    }
    default:
        return;
    }
}

void IWnd::OnMouse(Message& m) {
    if (m.message != WM_MOUSELEAVE && armLeave) {
        armLeave = false;
        TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, m.hwnd, HOVER_DEFAULT};
        if (!TrackMouseEvent(&t)) armLeave = true;
    }
    if (m.message == WM_MOUSEMOVE && cursor != NoCursor()) SetCursor(cursor);
    Mouse mouse(&m);
    mouseEvent.Call(&mouse, this);
}

void IWnd::OnNcMouse(Message& m) {
    if (m.message != WM_NCMOUSELEAVE && armNcLeave) {
        armNcLeave = false;
        TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE | TME_NONCLIENT, m.hwnd, HOVER_DEFAULT};
        if (!TrackMouseEvent(&t)) armNcLeave = true;
    }
    NcMouse mouse(&m);
    ncMouseEvent.Call(&mouse, this);
}

void IWnd::OnCtlColor(Message& m) {
    HWND ctl = reinterpret_cast<HWND>(m.lParam);
    if (ctl == m.hwnd) {
        // A control asking itself: answer nothing rather than loop back.
        m.result = 0;
        m.flags |= Message::handled;
        return;
    }
    ICtrl* c = GetICtrl(ctl);
    if (!c) return;
    IWnd* w = GetIWnd(ctl);
    if (w && !w->colorHandler.IsNull()) w->colorHandler.Procedure()(&m, c);
}

void IWnd::OnCommand(Message& m) {
    HWND from = reinterpret_cast<HWND>(m.lParam);
    unsigned short id = static_cast<unsigned short>(m.wParam & 0xFFFF);
    unsigned short code = static_cast<unsigned short>((m.wParam >> 16) & 0xFFFF);
    commandEvent.Call(id, code, GetIWnd(from));
    if (!from || from == m.hwnd) return;
    // Asked again: the parent's handlers may have destroyed the control.
    if (IWnd* src = GetIWnd(from)) src->commandEvent.Call(id, code, src);
}

void IWnd::OnNotify(Message& m) {
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(m.lParam);
    if (!hdr) return;
    ICtrl* from = GetICtrl(hdr->hwndFrom);
    ICtrl* own = GetICtrl(m.hwnd);
    if (own && !notifyHandler.IsNull()) notifyHandler.Procedure()(&m, from);
    if (from) {
        IWnd* w = GetIWnd(hdr->hwndFrom);
        if (w && !w->notifyHandler.IsNull()) w->notifyHandler.Procedure()(&m, from);
    }
}

void IWnd::OnGetMinMaxInfo(Message& m) {
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(m.lParam);
    RECT r;
    Twin16 c;
    if (!info || !GetRect(r) || !GetClientSize(c)) return;
    // The frame is whatever the window has around its client area now, so
    // the limits below apply to the client area whatever the frame.
    LONG fw = r.right - c.x - r.left;
    LONG fh = r.bottom - c.y - r.top;
    auto atLeast = [](LONG& v, LONG lim) { if (v < lim) v = lim; };
    auto atMost = [](LONG& v, LONG lim) { if (v > lim) v = lim; };
    atLeast(info->ptMinTrackSize.x, minClientSize.x + fw);
    atLeast(info->ptMinTrackSize.y, minClientSize.y + fh);
    atMost(info->ptMaxTrackSize.x, maxClientSize.x + fw);
    atMost(info->ptMaxTrackSize.y, maxClientSize.y + fh);
}

} // namespace zo
