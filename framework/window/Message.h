// The records handed to message handlers and mouse events. They live on the
// dispatcher's stack for one message; handlers answer through result and flags.
#pragma once
#include "core/Win.h"

namespace zo {

struct Message {
    enum : unsigned {
        handled = 1,       // return result; the default procedure is not called
        skipBuiltIn = 2,   // the window's built-in handling is skipped
    };

    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
    unsigned flags;

    Message(HWND h, UINT id, WPARAM w, LPARAM l)
        : hwnd(h), message(id), wParam(w), lParam(l), result(0), flags(0) {}
};

// A client-area mouse message, taken apart; coordinates are signed because
// a captured mouse can be left of or above the window.
struct Mouse {
    UINT message;
    unsigned short keys;    // key and button state
    unsigned short extra;   // wheel distance or extra-button number
    short x;
    short y;
    Message* msg;           // so a handler can set result and flags

    explicit Mouse(Message* m)
        : message(m->message), keys(LOWORD(m->wParam)), extra(HIWORD(m->wParam)),
          x(static_cast<short>(LOWORD(m->lParam))), y(static_cast<short>(HIWORD(m->lParam))),
          msg(m) {}
};

// A non-client mouse message: the hit-test code and screen coordinates.
struct NcMouse {
    UINT message;
    UINT hitTest;
    short x;
    short y;
    Message* msg;

    explicit NcMouse(Message* m)
        : message(m->message), hitTest(static_cast<UINT>(m->wParam)),
          x(static_cast<short>(LOWORD(m->lParam))), y(static_cast<short>(HIWORD(m->lParam))),
          msg(m) {}
};

} // namespace zo
