// Control creation, subclassing and the default colour answer.
#include "window/ICtrl.h"

#include "core/Print.h"
#include "window/Font.h"

namespace zo {

ICtrl::ICtrl() {
    CreateStruct* cs = createInfo.Get();
    cs->style |= WS_TABSTOP;
    cs->x = 10;
    cs->y = 10;
    cs->width = 100;
    cs->height = 100;
    backColor = 0x00D8E9EC;
    AddMessageHandler(WM_GETICTRL, WM_GETICTRL, this, &ICtrl::OnGetICtrl);
    AddMessageHandler(WM_GETFONTHEIGHT, WM_GETFONTHEIGHT, this, &ICtrl::OnGetFontHeight);
    colorHandler.Bind(this, &ICtrl::OnColor);
}

ICtrl::~ICtrl() {
    // The window goes while this part still answers its messages.
    if (handle) DestroyWindow(handle);
    colorHandler.Unbind();
    notifyHandler.Unbind();
    RemoveMessageHandler(WM_GETICTRL, WM_GETICTRL, this, &ICtrl::OnGetICtrl);
    RemoveMessageHandler(WM_GETFONTHEIGHT, WM_GETFONTHEIGHT, this, &ICtrl::OnGetFontHeight);
}

HWND ICtrl::Create(HWND parent) {
    if (handle) return nullptr;
    CreateStruct* cs = createInfo.Get();
    cs->style |= WS_CHILD;
    HWND h = CreateWindowExW(cs->exStyle, cs->className.Handle(), cs->title.Handle(), cs->style, cs->x,
                             cs->y, cs->width, cs->height, parent, cs->menu, GetModuleHandleW(nullptr),
                             cs->param);
    if (!h) {
        Warning(L"ICtrl.Create");
        return nullptr;
    }
    handle = h;
    // The control had its WM_CREATE before this object could see it.
    createEvent.Call(this);
    if (!IsWindow(h)) {   // a create handler destroyed it
        handle = nullptr;
        return nullptr;
    }
    defaultProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure.Procedure())));
    // The font its window made for its DPI; the process's default font
    // where the top-level window is no framework view.
    HWND top = GetAncestor(h, GA_ROOT);
    HFONT font = top && top != h ? reinterpret_cast<HFONT>(SendMessageW(top, WM_GETCONTROLFONT, 0, 0)) : nullptr;
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : GetDefaultFont()->Handle()), 0);
    return h;
}

void ICtrl::OnGetICtrl(Message* m, IWnd*) {
    m->result = reinterpret_cast<LRESULT>(this);
    m->flags |= Message::handled;
}

void ICtrl::OnGetFontHeight(Message* m, IWnd*) {
    LOGFONTW lf = {};
    HFONT f = reinterpret_cast<HFONT>(SendMessageW(m->hwnd, WM_GETFONT, 0, 0));
    m->result = f && GetObjectW(f, sizeof(lf), &lf) ? (lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight) : 0;
    m->flags |= Message::handled;
}

void ICtrl::AnswerColor(Message* m, bool opaque) {
    HDC dc = reinterpret_cast<HDC>(m->wParam);
    SetTextColor(dc, textColor);
    if (opaque)
        SetBkColor(dc, backColor);
    else
        SetBkMode(dc, TRANSPARENT);
    SetDCBrushColor(dc, backColor);
    m->result = reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    m->flags |= Message::handled;
}

} // namespace zo
