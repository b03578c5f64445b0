// Queries on a borrowed window handle.
#include "window/WndPtr.h"

#include "core/Memory.h"

namespace zo {

bool WndPtr::GetRect(RECT& r) const {
    if (!GetWindowRect(handle, &r)) return false;
    HWND parent = GetParent(handle);
    if (parent && (GetWindowLongW(handle, GWL_STYLE) & WS_CHILD)) {
        POINT origin = {0, 0};
        ScreenToClient(parent, &origin);
        OffsetRect(&r, origin.x, origin.y);
    }
    return true;
}

bool WndPtr::GetClientSize(Twin16& size) const {
    RECT r;
    if (!GetClientRect(handle, &r)) return false;
    size = Twin16(r.right - r.left, r.bottom - r.top);
    return true;
}

int WndPtr::GetText(String& s) const {
    int n = GetWindowTextLengthW(handle);
    if (n < 0) n = 0;
    Memory<wchar_t> text;
    if (!text.SetLength(static_cast<unsigned>(n) + 1)) return 0;
    int got = GetWindowTextW(handle, text.data, n + 1);
    if (got < 0) got = 0;
    text.data[got] = 0;
    s = text.data;
    return got;
}

} // namespace zo
