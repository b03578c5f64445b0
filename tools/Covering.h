// Whether something covers a top-level window, as a person would see it: the
// run command's driver and the tests ask the same question.
#pragma once
#include "core/Win.h"

namespace covering {

// The top-level window other than window found under a pixel inside one of
// window's corners or at its centre (the desktop when none is there), and
// at the point where it was found; null when nothing covers window there.
inline HWND Over(HWND window, POINT& at) {
    RECT r = {};
    GetWindowRect(window, &r);
    const POINT points[] = {{r.left + 2, r.top + 2},
                            {r.right - 3, r.top + 2},
                            {r.left + 2, r.bottom - 3},
                            {r.right - 3, r.bottom - 3},
                            {(r.left + r.right) / 2, (r.top + r.bottom) / 2}};
    for (POINT p : points) {
        HWND top = GetAncestor(WindowFromPoint(p), GA_ROOT);
        at = p;
        if (top != window) return top ? top : GetDesktopWindow();
    }
    return nullptr;
}

} // namespace covering
