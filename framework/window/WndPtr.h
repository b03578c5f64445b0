// WndPtr: the holder of one window handle and the plain queries on it. It
// owns nothing; window objects (IWnd) and control wrappers derive from it
// virtually, so a control that is both holds a single handle.
#pragma once
#include "core/String.h"
#include "core/Base.h"
#include "core/Win.h"
#include "window/Geometry.h"

namespace zo {

class WndPtr : public HandleType<HWND>, public _class {
public:
    // The window rectangle: in the parent's client coordinates for a child
    // window, in screen coordinates otherwise.
    bool GetRect(RECT& r) const;
    bool GetClientSize(Twin16& size) const;
    // The window text into s; returns the count GetWindowTextW gave.
    int GetText(String& s) const;
    bool SetText(const wchar_t* text) const { return SetWindowTextW(handle, text) != FALSE; }
    bool Enable(bool enable) const { return EnableWindow(handle, enable) != FALSE; }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return SendMessageW(handle, msg, w, l); }
    bool Post(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return PostMessageW(handle, msg, w, l) != FALSE; }
};

} // namespace zo
