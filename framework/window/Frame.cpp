// Frame: top-level style, the main-window life cycle and its keyboard.
#include "window/Frame.h"

#include "window/MessageLoop.h"

namespace zo {

Frame::Frame() {
    createInfo->style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS;
    createInfo->exStyle |= WS_EX_CONTROLPARENT;
    AddMessageHandler(WM_PRETRANSLATE, WM_PRETRANSLATE, this, &Frame::OnPreTranslate);
    AddMessageHandler(WM_ACTIVATE, WM_ACTIVATE, this, &Frame::OnActivate);
    AddMessageHandler(WM_SETFOCUS, WM_SETFOCUS, this, &Frame::OnSetFocus);
}

HWND Frame::ShowAsMain() {
    MessageDelegate* d = GetMessageDelegate(WM_DESTROY, WM_DESTROY);
    if (d && d->IndexOf(this, &Frame::OnQuit) == NPOS) d->Add(this, &Frame::OnQuit);
    HWND h = View::Create(nullptr);
    if (h) {
        GetMessageLoop()->dialog = h;
        ShowWindow(h, SW_SHOWNORMAL);
        UpdateWindow(h);
    }
    return h;
}

void Frame::OnQuit(Message*, IWnd*) { PostQuitMessage(0); }

void Frame::OnPreTranslate(Message* m, IWnd*) {
    const MSG* msg = reinterpret_cast<const MSG*>(m->lParam);
    HWND me = m->hwnd;
    if (!msg || (msg->hwnd != me && !IsChild(me, msg->hwnd))) return;
    bool enter = (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam == VK_RETURN;
    enter = enter || (msg->message == WM_CHAR && msg->wParam == L'\r');
    if (!enter) return;
    // A control that wants this Enter gets it: a multi-line edit with
    // ES_WANTRETURN, and a drop-down whose list is open (the key closes the
    // list and chooses the entry). A multi-line edit's answer always says
    // it wants every key, so for it the style decides.
    LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    LONG style = GetWindowLongW(msg->hwnd, GWL_STYLE);
    bool multiLine = (code & DLGC_HASSETSEL) && (style & ES_MULTILINE);
    if (multiLine ? (style & ES_WANTRETURN) != 0 : (code & DLGC_WANTMESSAGE) != 0) return;
    m->result = 1;
    m->flags |= Message::handled;
    if (msg->message != WM_KEYDOWN) return;
    // A combo box's text field is the system's window inside the box.
    IWnd* target = GetIWnd(msg->hwnd);
    if (!target && GetParent(msg->hwnd) != me) target = GetIWnd(GetParent(msg->hwnd));
    enterEvent.Call(target, this);
}

void Frame::OnActivate(Message* m, IWnd*) {
    if (LOWORD(m->wParam) != WA_INACTIVE) return;
    HWND focus = GetFocus();
    if (focus && IsChild(m->hwnd, focus)) lastFocus = focus;
}

void Frame::OnSetFocus(Message* m, IWnd*) {
    // The frame itself takes no keys: the control that had the focus gets
    // it back, at first the first tab stop.
    HWND to = lastFocus && IsChild(m->hwnd, lastFocus) ? lastFocus : GetNextDlgTabItem(m->hwnd, nullptr, FALSE);
    if (to && to != m->hwnd) SetFocus(to);
}

} // namespace zo
