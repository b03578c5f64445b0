// The trace console against the user's typing: it opens on the first
// datagram, while someone may be typing an address, and must neither take
// the keys nor the foreground nor cover the window.
// ZO_TEST_RUN_SERIAL: the program binds port 6643, and the keys go to the one
// foreground window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/ToolSide.h"
#include "support/Wait.h"
#include "tools/Covering.h"

namespace {

const int kAddressField = 18;   // creation order of the tool's controls

HWND Focus(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::wstring Text(HWND h) {
    wchar_t buf[128] = {};
    DWORD_PTR n = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 5000, &n);
    return buf;
}

void Key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(in));
}

void Click(POINT at) {
    SetCursorPos(at.x, at.y);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
}

// What covers window at one of its corners or its centre (see
// covering::Over), or null; what it is goes to the output.
HWND Covering(HWND window) {
    POINT p = {};
    HWND top = covering::Over(window, p);
    if (!top) return nullptr;
    wchar_t cls[64] = {};
    RECT r = {}, other = {}, screen = {};
    GetWindowRect(window, &r);
    GetClassNameW(top, cls, 64);
    GetWindowRect(top, &other);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    printf("at %ld,%ld: %ls (%ld,%ld-%ld,%ld) over the window (%ld,%ld-%ld,%ld), work area %ldx%ld\n", p.x, p.y,
           cls, other.left, other.top, other.right, other.bottom, r.left, r.top, r.right, r.bottom, screen.right,
           screen.bottom);
    return top;
}

} // namespace

TEST(ConsoleFocus, KeysTypedWhileTheFirstDatagramArrivesAllLandInTheAddressFieldAndTheToolKeepsTheForeground) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Program tool;
    ASSERT_TRUE(tool.Start());
    std::vector<HWND> controls = zotest::Children(tool.window);
    ASSERT_EQ(controls.size(), 21u);
    HWND address = controls[kAddressField];
    SendMessageW(address, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    SetForegroundWindow(tool.window);
    ASSERT_TRUE(zotest::WaitUntil([&] { return GetForegroundWindow() == tool.window; }));
    RECT field;
    GetWindowRect(address, &field);
    Click({(field.left + field.right) / 2, (field.top + field.bottom) / 2});
    ASSERT_TRUE(zotest::WaitUntil([&] { return Focus(tool.window) == address; })) << "the click focused the field";
    std::vector<HWND> before = zotest::TopWindows(L"WineConsoleClass");
    auto consoleOpen = [&] {
        for (HWND h : zotest::TopWindows(L"WineConsoleClass"))
            if (std::find(before.begin(), before.end(), h) == before.end() && IsWindowVisible(h)) return true;
        return false;
    };

    // The first datagram goes out after the fourth key; the rest are typed
    // one by one while the console opens and after it is there, each
    // waited for in the field.
    const std::wstring typed = L"198.51.100.102";
    std::wstring lost;
    for (size_t i = 0; i < typed.size(); ++i) {
        if (i == 4) {
            // Not a report: a module shown would fill the address field.
            ASSERT_TRUE(zotest::SendToTool("#a datagram of no module"));
        }
        if (i == 8) {
            EXPECT_TRUE(zotest::WaitUntil(consoleOpen, 10000)) << "the first datagram opened the console";
        }
        WORD vk = typed[i] == L'.' ? VK_OEM_PERIOD : static_cast<WORD>(typed[i]);
        Key(vk, false);
        Key(vk, true);
        if (!zotest::WaitUntil([&] { return Text(address).size() > i; }, 3000)) lost += typed[i];
    }
    EXPECT_EQ(Text(address), typed) << "keys lost: " << std::string(lost.begin(), lost.end());
    EXPECT_EQ(GetForegroundWindow(), tool.window);
    EXPECT_EQ(Focus(tool.window), address);
    EXPECT_EQ(Covering(tool.window), nullptr) << "the window is covered";
    // The console must not come forward later either.
    EXPECT_FALSE(zotest::WaitUntil([&] { return GetForegroundWindow() != tool.window; }, 2000))
        << "the foreground went to another window within 2 s";
    EXPECT_EQ(Covering(tool.window), nullptr) << "the window is covered 2 s later";
    EXPECT_EQ(tool.Close(5000), 0u);
}
