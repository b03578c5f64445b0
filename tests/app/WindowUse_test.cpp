// Using the window as people do: the keyboard (Tab and Shift+Tab through the
// controls that take input, Enter in the address field reads that module,
// Enter elsewhere does nothing), the search button telling how far a search
// is, a sweep whose stop signal has no event, and a module list whose
// drop-down shows whole macs.
// ZO_TEST_RUN_SERIAL: the windows bind port 6643, the modules their addresses,
// and the keys go to the one foreground window.
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <cwchar>
#include <string>
#include <vector>

#include "support/AppWindow.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/ToolSide.h"
#include "support/Wait.h"

namespace {

// The index (in creation order) of the control that has the keyboard focus
// in window's thread; a drop-down box's text field counts as the box. -1
// when none of them has it.
int FocusIndex(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) || !info.hwndFocus) return -1;
    std::vector<HWND> all = zotest::Children(window);
    for (size_t i = 0; i < all.size(); ++i)
        if (info.hwndFocus == all[i] || GetParent(info.hwndFocus) == all[i]) return static_cast<int>(i);
    return -1;
}

void Key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(in));
}

// Presses a key (with Shift held when asked) as the user does, with the
// window in the foreground.
void Press(HWND window, WORD vk, bool shift = false) {
    if (GetForegroundWindow() != window) {
        SetForegroundWindow(window);
        zotest::WaitUntil([&] { return GetForegroundWindow() == window; });
    }
    if (shift) Key(VK_SHIFT, false);
    Key(vk, false);
    Key(vk, true);
    if (shift) Key(VK_SHIFT, true);
}

// Presses Tab and waits until the focus has moved to another control; the
// new index. The trace console may take the foreground at any moment (its
// helper starts on the first trace): the window is brought back meanwhile,
// and gives the focus back to the control that had it.
int TabFrom(HWND window, int from, bool shift) {
    Press(window, VK_TAB, shift);
    int now = from;
    zotest::WaitUntil([&] {
        if (GetForegroundWindow() != window) SetForegroundWindow(window);
        now = FocusIndex(window);
        return now >= 0 && now != from;
    }, 3000);
    return now;
}

// The trace consoles open now (a closed program's may still be going away).
std::vector<HWND> Consoles() { return zotest::TopWindows(L"WineConsoleClass"); }

std::wstring Text(HWND h) {
    wchar_t buf[64] = {};
    DWORD_PTR n = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 5000, &n);
    return buf;
}

// Creation order of the controls that take input: the module list, search,
// baud rates, hosts, port, access points, their refresh, password, address,
// refresh, save.
const int kTabOrder[] = {0, 2, 5, 9, 10, 13, 14, 16, 18, 19, 20};
const int kTabStops = sizeof(kTabOrder) / sizeof(kTabOrder[0]);
const int kAddress = 8, kSave = 10;   // places in kTabOrder

} // namespace

class ProgramInUse : public ::testing::Test {
protected:
    void SetUp() override {
        ZO_REQUIRE_TEST_NETWORK();
        ASSERT_TRUE(sim.Start(L"--modules 3"));
        ASSERT_TRUE(tool.Start());
        controls = zotest::Children(tool.window);
        ASSERT_EQ(controls.size(), 21u);
    }
    void TearDown() override { EXPECT_EQ(tool.Close(5000), 0u); }

    zotest::Simulator sim;
    zotest::Program tool;
    std::vector<HWND> controls;
};

TEST_F(ProgramInUse, TabAndShiftTabGoThroughTheInputsInCreationOrderAndOnlyEnterInTheAddressReads) {
    SetForegroundWindow(tool.window);
    ASSERT_TRUE(zotest::WaitUntil([&] { return GetForegroundWindow() == tool.window; }));
    ASSERT_TRUE(zotest::WaitUntil([&] { return FocusIndex(tool.window) == 0; })) << "the module list has the focus first";

    for (int i = 1; i <= kTabStops; ++i)
        ASSERT_EQ(TabFrom(tool.window, kTabOrder[i - 1], false), kTabOrder[i % kTabStops]) << "Tab number " << i;
    for (int i = kTabStops - 1; i >= 0; --i)
        ASSERT_EQ(TabFrom(tool.window, kTabOrder[(i + 1) % kTabStops], true), kTabOrder[i]) << "Shift+Tab to " << i;

    // Enter in the address field reads that module.
    SendMessageW(controls[kTabOrder[kAddress]], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"198.51.100.102"));
    for (int i = 1; i <= kAddress; ++i) TabFrom(tool.window, kTabOrder[i - 1], false);
    ASSERT_EQ(FocusIndex(tool.window), kTabOrder[kAddress]);
    std::vector<HWND> consoles = Consoles();
    Press(tool.window, VK_RETURN);
    ASSERT_TRUE(zotest::WaitUntil([&] { return SendMessageW(controls[0], CB_GETCOUNT, 0, 0) == 1; }));
    // The report's trace opens this program's console, which takes the
    // foreground: once it is there (or has not come within 5 s), back in the
    // window the focus is where it was.
    zotest::WaitUntil([&] {
        for (HWND h : Consoles())
            if (std::find(consoles.begin(), consoles.end(), h) == consoles.end()) return true;
        return false;
    });
    ASSERT_TRUE(zotest::WaitUntil([&] {
        if (GetForegroundWindow() != tool.window) SetForegroundWindow(tool.window);
        return FocusIndex(tool.window) == kTabOrder[kAddress];
    }));

    // With that module chosen, Enter on save, on the module list and on the
    // refresh button does nothing. Enter in the address field, now holding
    // another module's address, reads that one; keys are handled in order,
    // so once its request is logged, one made by an Enter before it would be
    // there too.
    // Each step: Tab (or Shift+Tab) from one place of kTabOrder to the
    // next, and Enter there when asked.
    const struct {
        int from, to;
        bool shift, enter;
    } steps[] = {{kAddress, kAddress + 1, false, false}, {kAddress + 1, kSave, false, true},
                 {kSave, 0, false, true},                {0, kSave, true, false},
                 {kSave, kSave - 1, true, true},         {kSave - 1, kAddress, true, false}};
    for (const auto& step : steps) {
        ASSERT_EQ(TabFrom(tool.window, kTabOrder[step.from], step.shift), kTabOrder[step.to]) << "to " << step.to;
        if (step.enter) Press(tool.window, VK_RETURN);
    }
    SendMessageW(controls[kTabOrder[kAddress]], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"198.51.100.103"));
    Press(tool.window, VK_RETURN);
    ASSERT_TRUE(zotest::WaitUntil([&] {
        auto now = sim.Log();
        return !now.empty() && now.back().module == 2;
    }));
    auto log = sim.Log();
    ASSERT_EQ(log.size(), 2u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].module, i == 0 ? 1 : 2);
        EXPECT_EQ(log[i].bytes, "get_net_modle_param");
    }
}

TEST_F(ProgramInUse, TheSearchButtonCountsTheHostsAskedAtLeastOnceASecondAndReadsAsBeforeAtTheEnd) {
    HWND search = controls[2];
    ASSERT_EQ(Text(search), L"搜索联网模块");
    SendMessageW(search, BM_CLICK, 0, 0);
    using Clock = std::chrono::steady_clock;
    auto lastChange = Clock::now();
    std::wstring last;
    unsigned lastCount = 0, lastTotal = 0, changes = 0;
    double longestMs = 0;
    bool ended = zotest::WaitUntil([&] {
        std::wstring now = Text(search);
        if (now == last) return false;
        auto t = Clock::now();
        longestMs = std::max(longestMs, std::chrono::duration<double, std::milli>(t - lastChange).count());
        lastChange = t;
        last = now;
        if (now == L"搜索联网模块") return true;
        unsigned count = 0, total = 0;
        EXPECT_EQ(swscanf(now.c_str(), L"搜索中 %u/%u", &count, &total), 2) << std::string(now.begin(), now.end());
        // Every adapter's /24 and a broadcast from each: at least one /24.
        EXPECT_GE(total, 254u);
        lastTotal = total;
        EXPECT_GE(count, lastCount);
        EXPECT_FALSE(IsWindowEnabled(search));
        lastCount = count;
        ++changes;
        return false;
    }, 30000);
    ASSERT_TRUE(ended) << "the search did not end; the button reads " << std::string(last.begin(), last.end());
    EXPECT_TRUE(zotest::WaitUntil([&] { return IsWindowEnabled(search) != FALSE; }));
    // Only the three hosts that answered the broadcast are not asked again.
    EXPECT_GE(lastCount + 10, lastTotal);
    EXPECT_GE(changes, 10u);
    // Updated at least once a second (with room for a busy machine).
    EXPECT_LT(longestMs, 1500.0);
    EXPECT_EQ(SendMessageW(controls[0], CB_GETCOUNT, 0, 0), 3);
}

TEST(Search, EndsAtOnceWhenTheWindowGoes) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 3"));
    apptest::TraceSink trace;
    MainFrm* frame = new MainFrm;
    ASSERT_NE(apptest::ShowFrame(*frame), nullptr);
    frame->searchButton.Click();
    ASSERT_TRUE(zotest::PumpUntil([&] { return frame->moduleBox.GetCount() == 3; }, 20000));
    EXPECT_TRUE(frame->Sweeping());
    auto start = std::chrono::steady_clock::now();
    delete frame;
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(ms, 1000.0) << "the search's wait ends when the window goes";
}

TEST(ModuleList, ItsDropDownIsAsWideAsItsWidestMac) {
    apptest::TraceSink trace;
    MainFrm* frame = new MainFrm;
    ASSERT_NE(apptest::ShowFrame(*frame), nullptr);
    HWND box = frame->moduleBox.Handle();
    RECT r;
    GetWindowRect(box, &r);
    const char* macs[] = {"5C:CF:7F:00:00:01", "5C:CF:7F:00:00:02", "5C:CF:7F:FF:FF:FF:WIDE-NAME"};
    for (const char* mac : macs) apptest::Inject(*frame, apptest::Report(mac));
    ASSERT_TRUE(apptest::Settle(*frame));
    ASSERT_EQ(frame->moduleBox.GetCount(), 3);
    HDC dc = GetDC(box);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(box, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (const std::wstring& e : apptest::Entries(frame->moduleBox)) {
        SIZE size = {};
        GetTextExtentPoint32W(dc, e.c_str(), static_cast<int>(e.size()), &size);
        widest = std::max<int>(widest, size.cx);
    }
    ReleaseDC(box, dc);
    ASSERT_GT(widest, r.right - r.left) << "the entries are wider than the box itself";
    EXPECT_GE(SendMessageW(box, CB_GETDROPPEDWIDTH, 0, 0), widest + GetSystemMetrics(SM_CXVSCROLL));
    delete frame;
}
