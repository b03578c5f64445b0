// A child role that ends in a message box: the box's text, read before OK is
// pressed on it, and the child's exit code after.
#pragma once
#include <string>

#include "support/Child.h"

namespace zotest {

// Starts role `role` with args, waits up to 10 s for its box captioned
// `caption`, reads the text and presses OK; *exitCode gets the child's exit
// code within 10 s more (STILL_ACTIVE when it did not end). "(no child)" or
// "(no box)" in place of the text when those never came.
inline std::wstring ChildBoxText(const char* role, const wchar_t* caption, DWORD* exitCode,
                                 const std::wstring& args = L"") {
    *exitCode = STILL_ACTIVE;
    Child child;
    if (!child.Start(role, args)) return L"(no child)";
    HWND box = WaitForMessageBox(child.Pid(), caption, 10000);
    if (!box) return L"(no box)";
    std::wstring text = MessageBoxText(box);
    CloseMessageBox(box);
    *exitCode = child.Wait(10000);
    return text;
}

} // namespace zotest
