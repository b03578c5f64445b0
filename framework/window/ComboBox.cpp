// The combo box's item text and its style.
#include "window/ComboBox.h"

#include <cwchar>

#include "core/Memory.h"

namespace zo {

static_assert(ComboBox::kStyle == 0x10200242, "the combo box style of the framework");

int ComboBoxPtr::SelectExact(const wchar_t* text) const {
    String item;
    for (int i = 0, n = GetCount(); i < n; ++i) {
        if (GetItemText(static_cast<unsigned>(i), item) && item == text) {
            SetSelection(i);
            return i;
        }
    }
    return -1;
}

bool ComboBoxPtr::GetItemText(unsigned index, String& s) const {
    s = L"";
    LRESULT n = Send(CB_GETLBTEXTLEN, index);
    if (n < 0) return false;   // CB_ERR: no such item
    Memory<wchar_t> text;
    if (!text.SetLength(static_cast<unsigned>(n) + 1)) return false;
    LRESULT got = Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data));
    if (got < 0) return false;
    text.data[got < n ? got : n] = 0;
    s = text.data;
    return true;
}

ComboBox::ComboBox() {
    createInfo->className = L"ComboBox";
    createInfo->style = kStyle;
    AddMessageHandler(CB_ADDSTRING, CB_ADDSTRING, this, &ComboBox::OnInsert);
    AddMessageHandler(CB_INSERTSTRING, CB_INSERTSTRING, this, &ComboBox::OnInsert);
    AddMessageHandler(WM_SETFONT, WM_SETFONT, this, &ComboBox::OnSetFont);
}

void ComboBox::FitListTo(HWND h, const wchar_t* text) {
    if (!text || !*text) return;
    HDC dc = GetDC(h);
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0)));
    SIZE size = {};
    BOOL measured = GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    if (!measured) return;
    // The list's border, its scroll bar and the item's inner margins.
    LRESULT need = size.cx + GetSystemMetrics(SM_CXVSCROLL) + 4 * GetSystemMetrics(SM_CXEDGE) + 4;
    if (SendMessageW(h, CB_GETDROPPEDWIDTH, 0, 0) < need) SendMessageW(h, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(need), 0);
}

void ComboBox::OnInsert(Message* m, IWnd*) {
    if (fitListToEntries) FitListTo(m->hwnd, reinterpret_cast<const wchar_t*>(m->lParam));
}

void ComboBox::OnSetFont(Message* m, IWnd*) {
    if (!fitListToEntries) return;
    // Another font measures the entries anew: the list may become narrower.
    m->result = CallWindowProcW(defaultProc, m->hwnd, m->message, m->wParam, m->lParam);
    m->flags |= Message::handled;
    SendMessageW(m->hwnd, CB_SETDROPPEDWIDTH, 0, 0);
    String item;
    for (int i = 0, n = GetCount(); i < n; ++i)
        if (GetItemText(static_cast<unsigned>(i), item)) FitListTo(m->hwnd, item.Handle());
}

} // namespace zo
