// Frame: top-level style and the main-window life cycle.
#include "window/Frame.h"

namespace zo {

Frame::Frame() {
    createInfo->style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS;
    createInfo->exStyle |= WS_EX_CONTROLPARENT;
}

HWND Frame::ShowAsMain() {
    MessageDelegate* d = GetMessageDelegate(WM_DESTROY, WM_DESTROY);
    if (d && d->IndexOf(this, &Frame::OnQuit) == NPOS) d->Add(this, &Frame::OnQuit);
    HWND h = View::Create(nullptr);
    if (h) {
        ShowWindow(h, SW_SHOWNORMAL);
        UpdateWindow(h);
    }
    return h;
}

void Frame::OnQuit(Message*, IWnd*) { PostQuitMessage(0); }

} // namespace zo
