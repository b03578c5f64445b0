// The window at 96, 120, 144 and 192 DPI: the real program started under
// each of the prefix's LogPixels places every control where the 96-DPI
// program has it, scaled, inside its client area, with its fonts scaled;
// and a window told that its DPI changed takes the suggested rectangle and
// lays itself out again.
// ZO_TEST_RUN_SERIAL: it changes the shared prefix's DPI (and puts back the
// value it found) and the windows bind port 6643.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "data/ConfigTestFiles.h"
#include "support/AppWindow.h"
#include "support/LogPixels.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/Texts.h"
#include "window/Dpi.h"

namespace {

using zotest::LogPixels;

// What each DPI makes of the 96-DPI window, worked out here rather than by
// the program's own scaling: the factor, the smallest client area, the fonts.
struct Scale {
    int dpi, num, den;
    int clientWidth, clientHeight;
    int font, smallFont;   // 20 and 16 pixels at 96 DPI
};
const Scale kScales[] = {
    {120, 5, 4, 900, 675, 25, 20},
    {144, 3, 2, 1080, 810, 30, 24},
    {192, 2, 1, 1440, 1080, 40, 32},
};

struct Control {
    std::wstring className;
    RECT at;       // in the client area
    int font;      // pixel height, asked of the control itself
};

struct Shot {
    RECT client = {};
    std::vector<Control> controls;   // in creation order
};

Shot Measure(HWND window) {
    Shot s;
    GetClientRect(window, &s.client);
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        Control k;
        k.className = zotest::ClassName(c);
        GetWindowRect(c, &k.at);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&k.at), 2);
        DWORD_PTR height = 0;
        SendMessageTimeoutW(c, zo::WM_GETFONTHEIGHT, 0, 0, SMTO_NORMAL, 5000, &height);
        k.font = static_cast<int>(height);
        s.controls.push_back(k);
    }
    return s;
}

// Starts the program with no saved place under the prefix's present DPI; a
// place file already there is kept aside and put back.
bool MeasureProgram(Shot& shot) {
    const configtest::KeptAside config(zotest::BesideMe(L"ModuleTool.Json"));
    zotest::Program tool;
    if (!tool.Start()) return false;
    shot = Measure(tool.window);
    return tool.Close(5000) == 0;
}

bool IsCombo(const Control& c) { return _wcsicmp(c.className.c_str(), L"ComboBox") == 0; }

// Every control of `got` is that of `base` (96 DPI) scaled by the factor,
// within a pixel of rounding (a drop-down box's height follows its font),
// inside the client area, its font scaled.
void ExpectScaled(const Shot& base, const Shot& got, const Scale& k) {
    SCOPED_TRACE(k.dpi);
    ASSERT_EQ(got.controls.size(), base.controls.size());
    for (size_t i = 0; i < base.controls.size(); ++i) {
        const Control& b = base.controls[i];
        const Control& g = got.controls[i];
        SCOPED_TRACE(i);
        const LONG want[] = {b.at.left * k.num / k.den, b.at.top * k.num / k.den, b.at.right * k.num / k.den,
                             b.at.bottom * k.num / k.den};
        const LONG have[] = {g.at.left, g.at.top, g.at.right, g.at.bottom};
        for (int e = 0; e < (IsCombo(g) ? 3 : 4); ++e) EXPECT_LE(std::labs(have[e] - want[e]), 1L) << "edge " << e;
        EXPECT_TRUE(g.at.left >= 0 && g.at.top >= 0 && g.at.right <= got.client.right &&
                    g.at.bottom <= got.client.bottom);
        EXPECT_EQ(g.font, b.font == 16 ? k.smallFont : k.font);
    }
}

} // namespace

TEST(Dpi, TheProgramScalesItsLayoutSmallestSizeAndFontsToTheDisplaysDpi) {
    ZO_REQUIRE_TEST_NETWORK();
    Shot base;
    {
        LogPixels at96(96);
        ASSERT_TRUE(at96.ok);
        ASSERT_TRUE(MeasureProgram(base));
    }
    ASSERT_EQ(base.controls.size(), 21u);
    EXPECT_EQ(base.client.right, 720);
    EXPECT_EQ(base.client.bottom, 540);
    // The two fonts at 96 DPI: 20 pixels, 16 on the two small buttons.
    int small = 0;
    for (const Control& c : base.controls) small += c.font == 16;
    EXPECT_EQ(small, 2);
    for (const Scale& k : kScales) {
        LogPixels scaled(static_cast<DWORD>(k.dpi));
        ASSERT_TRUE(scaled.ok);
        Shot got;
        ASSERT_TRUE(MeasureProgram(got)) << k.dpi;
        EXPECT_EQ(got.client.right, k.clientWidth);
        EXPECT_EQ(got.client.bottom, k.clientHeight);
        ExpectScaled(base, got, k);
    }
}

TEST(Dpi, AWindowToldOfANewDpiTakesTheSuggestedRectangleAndLaysItselfOutAgain) {
    apptest::TraceSink trace;
    MainFrm* frame = new MainFrm;
    ASSERT_NE(apptest::ShowFrame(*frame, 720, 540), nullptr);
    ASSERT_EQ(frame->dpi, 96) << "the test program runs at 96 DPI";
    Shot base = Measure(frame->Handle());
    const Scale back = {96, 1, 1, 720, 540, 20, 16};
    for (const Scale& k : {kScales[1], kScales[0], kScales[2], back}) {
        const int dpi = k.dpi;
        // The system suggests the window scaled about its place.
        RECT frameRect = {0, 0, k.clientWidth, k.clientHeight};
        AdjustWindowRectEx(&frameRect, static_cast<DWORD>(GetWindowLongW(frame->Handle(), GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(frame->Handle(), GWL_EXSTYLE)));
        OffsetRect(&frameRect, 40 - frameRect.left, 30 - frameRect.top);
        SendMessageW(frame->Handle(), zo::kDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frameRect));
        zotest::PumpMessages();
        RECT now;
        GetWindowRect(frame->Handle(), &now);
        EXPECT_TRUE(EqualRect(&now, &frameRect)) << dpi;
        EXPECT_EQ(frame->minClientSize, zo::Twin32(k.clientWidth, k.clientHeight));
        Shot got = Measure(frame->Handle());
        ExpectScaled(base, got, k);
    }
    delete frame;
}
