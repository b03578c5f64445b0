// DPI of windows and the arithmetic that scales 96-DPI numbers to it. The
// functions that report a window's own DPI are newer than Windows 7, so they
// are looked up at run time; without them every window has the system DPI.
#pragma once
#include "core/Win.h"

namespace zo {

const int kBaseDpi = 96;
// Messages of Windows 8.1 and 10 that older headers may lack.
const UINT kDpiChanged = 0x02E0;
const UINT kDpiChangedAfterParent = 0x02E3;   // the DPI at which layout tables and font sizes are written

// value * dpi / 96, rounded to the nearest pixel (halves away from zero).
int ScaleToDpi(int value, int dpi);
// The same, rounded up: a smallest size that must hold everything.
int ScaleToDpiUp(int value, int dpi);

// The DPI the system draws at (that of the primary screen).
int SystemDpi();
// The DPI of a window: its monitor's under per-monitor awareness, otherwise
// the system DPI; 96 for a null window. Where the system has no
// GetDpiForWindow, the monitor is asked (ChooseWindowDpi).
int WindowDpi(HWND h);
// shcore's GetDpiForMonitor and GetProcessDpiAwareness.
typedef HRESULT(WINAPI* MonitorDpiCall)(HMONITOR, int, UINT*, UINT*);
typedef HRESULT(WINAPI* AwarenessCall)(HANDLE, int*);
// The DPI of h's monitor when the process is per-monitor aware and both
// calls are there and answer; systemDpi otherwise.
int ChooseWindowDpi(HWND h, MonitorDpiCall forMonitor, AwarenessCall awareness, int systemDpi);
// AdjustWindowRectEx at a DPI: the frame's metrics at that DPI where the
// system can tell them, the system's otherwise.
bool AdjustWindowRectForDpi(RECT* r, DWORD style, DWORD exStyle, int dpi);

} // namespace zo
