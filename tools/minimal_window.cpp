// minimal_window: the smallest Win32 program of the tool's kind, the baseline
// the tool's start-up and close times are measured against. One top-level
// window with the tool's class style, window styles and first size, holding
// one button; closing it ends the program with 0.
#include "tools/PlainWindow.h"

int wmain() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!plain::RegisterClassNamed(instance, L"MinimalWindow")) return 1;
    HWND main = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_COMPOSITED, L"MinimalWindow", L"最小窗口",
                                WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_VISIBLE, 200, 200, 500, 300, nullptr,
                                nullptr, instance, nullptr);
    if (!main) return 1;
    CreateWindowExW(0, L"Button", L"确定", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 120, 40, main, nullptr,
                    instance, nullptr);
    ShowWindow(main, SW_SHOWNORMAL);
    UpdateWindow(main);
    return plain::RunLoop();
}
