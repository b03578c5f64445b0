// Release of device contexts by the kind recorded when they were taken.
#include "window/DC.h"

namespace zo {

void DC::Attach(HDC h, uintptr_t releaseKind) {
    Release();
    handle = h;
    kind = releaseKind;
}

bool DC::FromWindow(HWND window) {
    // Window handles lie above 0xFFFF, so the handle itself records the kind;
    // the screen's context (no window) has no such record and is refused.
    if (!window) return false;
    HDC h = GetDC(window);
    Attach(h, h ? reinterpret_cast<uintptr_t>(window) : kNone);
    return h != nullptr;
}

void DC::Release() {
    if (handle) {
        if (kind == kCreated)
            DeleteDC(handle);
        else if (kind > 0xFFFF)
            ReleaseDC(reinterpret_cast<HWND>(kind), handle);
    }
    handle = nullptr;
    kind = kNone;
}

} // namespace zo
