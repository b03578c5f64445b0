// minimal_window: the smallest Win32 program of the tool's kind, the baseline
// the tool's start-up and close times are measured against. One top-level
// window with the tool's class style, window styles and first size, holding
// one button; closing it ends the program with 0.
#include "core/Win.h"

namespace {

LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(h, msg, w, l);
}

} // namespace

int wmain() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"MinimalWindow";
    if (!RegisterClassExW(&wc)) return 1;
    HWND main = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_COMPOSITED, wc.lpszClassName, L"最小窗口",
                                WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_VISIBLE, 200, 200, 500, 300, nullptr,
                                nullptr, instance, nullptr);
    if (!main) return 1;
    CreateWindowExW(0, L"Button", L"确定", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 120, 40, main, nullptr,
                    instance, nullptr);
    ShowWindow(main, SW_SHOWNORMAL);
    UpdateWindow(main);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return static_cast<int>(m.wParam);
}
