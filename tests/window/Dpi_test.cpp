// The DPI a window gets where the system has per-monitor DPI but no
// GetDpiForWindow (Windows 8.1, 10 before 1607): its monitor's, asked
// through shcore's calls, here replaced by stand-ins.
#include <gtest/gtest.h>

#include "window/Dpi.h"

namespace {

struct Answers {
    HRESULT awarenessResult;
    int awareness;
    HRESULT monitorResult;
    UINT monitorDpi;
} answers;

HRESULT WINAPI Awareness(HANDLE, int* value) {
    *value = answers.awareness;
    return answers.awarenessResult;
}

HRESULT WINAPI MonitorDpi(HMONITOR, int, UINT* x, UINT* y) {
    *x = *y = answers.monitorDpi;
    return answers.monitorResult;
}

TEST(WindowDpi, WithoutGetDpiForWindowAPerMonitorAwareWindowTakesItsMonitorsDpi) {
    HWND any = GetDesktopWindow();
    const struct {
        Answers a;
        bool calls, window;
        int want;
    } rows[] = {
        {{S_OK, 2, S_OK, 144}, true, true, 144},        // per-monitor aware: the monitor's
        {{S_OK, 2, S_OK, 96}, true, true, 96},
        {{S_OK, 1, S_OK, 144}, true, true, 120},        // system aware: the system's
        {{S_OK, 0, S_OK, 144}, true, true, 120},        // unaware
        {{E_FAIL, 2, S_OK, 144}, true, true, 120},      // awareness unknown
        {{S_OK, 2, E_FAIL, 144}, true, true, 120},      // the monitor does not answer
        {{S_OK, 2, S_OK, 0}, true, true, 120},          // nor with a DPI
        {{S_OK, 2, S_OK, 144}, false, true, 120},       // no shcore (Windows 7)
        {{S_OK, 2, S_OK, 144}, true, false, 120},       // no window
    };
    for (const auto& r : rows) {
        answers = r.a;
        EXPECT_EQ(zo::ChooseWindowDpi(r.window ? any : nullptr, r.calls ? MonitorDpi : nullptr,
                                      r.calls ? Awareness : nullptr, 120),
                  r.want)
            << "awareness " << r.a.awareness << " monitor " << r.a.monitorDpi << " calls " << r.calls;
    }
}

} // namespace
