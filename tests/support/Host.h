// A visible top-level window for GUI tests to put child windows in.
#pragma once
#include "window/Frame.h"

namespace zotest {

// Shows f at the screen's origin as a pop-up without activating it: with no
// window manager the system waits two seconds for one whenever it hides a
// window it would have handed to it (captioned or activated ones). Null when
// the window cannot be made.
inline HWND ShowHost(zo::Frame& f, int width, int height) {
    f.createInfo->style = WS_POPUP | WS_CLIPCHILDREN;
    f.createInfo->x = 0;
    f.createInfo->y = 0;
    f.createInfo->width = static_cast<int16_t>(width);
    f.createInfo->height = static_cast<int16_t>(height);
    HWND h = f.Create(nullptr);
    if (h) ShowWindow(h, SW_SHOWNOACTIVATE);
    return h;
}

} // namespace zotest
