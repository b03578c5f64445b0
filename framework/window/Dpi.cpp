// DPI look-ups through user32's newer exports, found once, and the scaling.
#include "window/Dpi.h"

namespace zo {

namespace {

typedef UINT(WINAPI* GetDpiForWindowProc)(HWND);
typedef MonitorDpiCall GetDpiForMonitorProc;
typedef AwarenessCall GetProcessAwarenessProc;
typedef BOOL(WINAPI* AdjustForDpiProc)(RECT*, DWORD, BOOL, DWORD, UINT);

template <class T>
T User32Export(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

// Function-local statics: found on first use, once, whatever the thread.
GetDpiForWindowProc DpiForWindow() {
    static const GetDpiForWindowProc p = User32Export<GetDpiForWindowProc>("GetDpiForWindow");
    return p;
}

// Windows 8.1 and 10 before 1607 have per-monitor DPI but no
// GetDpiForWindow: there a per-monitor aware process asks its monitor.
// shcore.dll is loaded only then, and kept.
struct MonitorDpi {
    GetDpiForMonitorProc forMonitor = nullptr;
    GetProcessAwarenessProc awareness = nullptr;
};
const MonitorDpi& MonitorDpiExports() {
    static const MonitorDpi m = [] {
        MonitorDpi found;
        if (DpiForWindow()) return found;
        HMODULE shcore = LoadLibraryW(L"shcore.dll");
        if (!shcore) return found;
        found.forMonitor = reinterpret_cast<GetDpiForMonitorProc>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
        found.awareness = reinterpret_cast<GetProcessAwarenessProc>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "GetProcessDpiAwareness")));
        return found;
    }();
    return m;
}

AdjustForDpiProc AdjustForDpi() {
    static const AdjustForDpiProc p = User32Export<AdjustForDpiProc>("AdjustWindowRectExForDpi");
    return p;
}

} // namespace

int ScaleToDpi(int value, int dpi) {
    long long v = static_cast<long long>(value) * dpi;
    return static_cast<int>(v >= 0 ? (v + kBaseDpi / 2) / kBaseDpi : -((-v + kBaseDpi / 2) / kBaseDpi));
}

int ScaleToDpiUp(int value, int dpi) {
    long long v = static_cast<long long>(value) * dpi;
    return static_cast<int>(v >= 0 ? (v + kBaseDpi - 1) / kBaseDpi : -(-v / kBaseDpi));
}

int SystemDpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        int d = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        return d > 0 ? d : kBaseDpi;
    }();
    return dpi;
}

int WindowDpi(HWND h) {
    if (!h) return kBaseDpi;
    if (GetDpiForWindowProc p = DpiForWindow()) {
        UINT d = p(h);
        if (d) return static_cast<int>(d);
        return SystemDpi();
    }
    const MonitorDpi& m = MonitorDpiExports();
    return ChooseWindowDpi(h, m.forMonitor, m.awareness, SystemDpi());
}

int ChooseWindowDpi(HWND h, MonitorDpiCall forMonitor, AwarenessCall awareness, int systemDpi) {
    const int kPerMonitorAware = 2;   // PROCESS_PER_MONITOR_DPI_AWARE
    const int kEffectiveDpi = 0;      // MDT_EFFECTIVE_DPI
    int aware = 0;
    if (!h || !forMonitor || !awareness || awareness(nullptr, &aware) != S_OK || aware != kPerMonitorAware)
        return systemDpi;
    UINT x = 0, y = 0;
    HMONITOR monitor = MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST);
    if (!monitor || forMonitor(monitor, kEffectiveDpi, &x, &y) != S_OK || !y) return systemDpi;
    return static_cast<int>(y);
}

bool AdjustWindowRectForDpi(RECT* r, DWORD style, DWORD exStyle, int dpi) {
    if (AdjustForDpiProc p = AdjustForDpi()) return p(r, style, FALSE, exStyle, static_cast<UINT>(dpi)) != FALSE;
    return AdjustWindowRectEx(r, style, FALSE, exStyle) != FALSE;
}

} // namespace zo
