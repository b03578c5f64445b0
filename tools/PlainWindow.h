// What the start-up baselines (minimal_window, bare_window) share: a window
// class of the tool's class style whose window ends the program when it
// goes, and the message loop, all on the bare Windows API.
#pragma once
#include "core/Win.h"

namespace plain {

inline LRESULT CALLBACK QuitOnDestroy(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(h, msg, w, l);
}

// Registers the class; false when the system refuses it.
inline bool RegisterClassNamed(HINSTANCE instance, const wchar_t* name) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = QuitOnDestroy;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

// Runs the loop until the window has gone; the quit code.
inline int RunLoop() {
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return static_cast<int>(m.wParam);
}

} // namespace plain
