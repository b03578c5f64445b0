// The message table of a window: lookup, creation of ranges and dispatch.
#include "window/IWnd.h"

namespace zo {

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

} // namespace zo
