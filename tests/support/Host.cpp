#include "support/Host.h"

namespace zotest {

bool ShowHost(zo::Frame& f, int width, int height) {
    f.createInfo->style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    f.createInfo->x = 0;
    f.createInfo->y = 0;
    f.createInfo->width = static_cast<short>(width);
    f.createInfo->height = static_cast<short>(height);
    if (!f.Create(nullptr)) return false;
    ShowWindow(f, SW_SHOWNOACTIVATE);
    return true;
}

MemoryCanvas::MemoryCanvas(int width, int height) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
}

MemoryCanvas::~MemoryCanvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

} // namespace zotest
