// ComboBox: a drop-down list with an editable text field (the system's
// "ComboBox" class). ComboBoxPtr is the bare handle wrapper with the list
// messages; it owns nothing.
#pragma once
#include "core/String.h"
#include "window/ICtrl.h"
#include "window/WndPtr.h"

namespace zo {

class ComboBoxPtr : public virtual WndPtr {
public:
    // Inserts text at index (NPOS: at the end); the new item's index, or
    // CB_ERR / CB_ERRSPACE.
    int InsertItem(unsigned index, const wchar_t* text) const {
        return static_cast<int>(Send(CB_INSERTSTRING, static_cast<WPARAM>(static_cast<int>(index)),
                                     reinterpret_cast<LPARAM>(text)));
    }
    int GetCount() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    // The selected item's index; -1 when nothing is selected.
    int GetSelection() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    // -1 clears the selection.
    int SetSelection(int index) const { return static_cast<int>(Send(CB_SETCURSEL, static_cast<WPARAM>(index))); }
    // Selects the first item that starts with text; its index or CB_ERR.
    int SelectText(const wchar_t* text) const {
        return static_cast<int>(Send(CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)));
    }
    // Selects the first item whose text is exactly text (case matters,
    // unlike CB_FINDSTRINGEXACT); its index, or -1 when none is.
    int SelectExact(const wchar_t* text) const;
    void Clear() const { Send(CB_RESETCONTENT); }
    // The text of item index; false, and s empty, when there is no such item.
    bool GetItemText(unsigned index, String& s) const;
};

class ComboBox : public ICtrl, public ComboBoxPtr {
public:
    // Visible, with a vertical scroll bar, strings, a scrolling text field
    // and a drop-down list; not a tab stop.
    static const unsigned kStyle = WS_VISIBLE | WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | CBS_DROPDOWN;

    ComboBox();

    // When set, the drop-down list is kept at least as wide as its widest
    // entry (in the box's font), whoever adds the entries.
    bool fitListToEntries = false;

private:
    void OnInsert(Message* m, IWnd*);
    void OnSetFont(Message* m, IWnd*);
    void FitListTo(HWND h, const wchar_t* text);
};

} // namespace zo
