// DC: a device context handed to paint callbacks, with the way it must be
// given back. A borrowed context (BeginPaint's) is never released by it; a
// created one is deleted, a window's is released to that window.
#pragma once
#include <cstdint>

#include "core/Base.h"
#include "core/Win.h"

namespace zo {

class DC : public HandleType<HDC>, public _class {
public:
    // Release kinds; any value above 0xFFFF is the window the context came from.
    enum : uintptr_t { kNone = 0, kBorrowed = 1, kCreated = 2 };

    DC() {}
    DC(HDC h, uintptr_t releaseKind) { Attach(h, releaseKind); }
    ~DC() { Release(); }

    // Releases whatever is held, then holds h.
    void Attach(HDC h, uintptr_t releaseKind);
    // A window's own context, released with ReleaseDC later.
    bool FromWindow(HWND window);
    // Gives the context back by its kind; both fields become 0.
    void Release();

    uintptr_t ReleaseKind() const { return kind; }

private:
    uintptr_t kind = kNone;
};

} // namespace zo
