// The diagnostic route: each Print or PrintA call makes one line (ended by
// CR LF) for the registered output window, or else for a console opened on
// first use. Formats follow msvcrt: in Print's wide format %s is wide text.
#pragma once
#include <cstddef>

#include "core/Win.h"

namespace zo {

// The message a registered output window receives: wParam 0, lParam the wide
// line, valid only while the message is handled.
const UINT WM_OUTPUT_LINE = WM_USER + 0x137;

// Registers the window that receives every line (null: the console). A
// registered window that has been destroyed sends lines to the debugger.
void SetOutputDevice(HWND device);
// The most units (bytes of narrow text, UTF-16 units of wide) of a line kept
// for the console; the rest is replaced by "... N bytes more" ("characters"
// for wide text) before the line is copied anywhere. A window gets it whole.
const size_t kTraceLineCap = 4096;
void Print(const wchar_t* fmt, ...);
void PrintA(const char* fmt, ...) __attribute__((format(ms_printf, 1, 2)));
// Waits at most ms until the console has every line printed so far; false
// on time-out. Lines reach the console from a thread of their own.
bool FlushConsole(DWORD ms);
// The process that shows the trace console for this one (0 while there is
// none, or when the lines go to a console of this process).
DWORD TraceConsoleProcess();
// Shows the system's text for GetLastError() in a warning box without owner.
void Warning(const wchar_t* caption);

} // namespace zo
