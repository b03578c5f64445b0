// Scroll views on real windows: bars from the content size, line and page
// steps, positions kept in range, keys and wheel turned into scroll
// messages, thumb tracking, and what later WM_SIZE handlers see.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/Host.h"
#include "support/Pump.h"
#include "window/Frame.h"

namespace {

using zo::IWnd;
using zo::Message;
using zo::ScrollView;

typedef std::vector<std::pair<UINT, unsigned>> Scrolls;   // message, code

struct ScrollProbe {
    std::vector<std::pair<int, int>> shifts;
    Scrolls scrolls;
    std::vector<zo::Twin16> sizesAfter;               // what a later WM_SIZE handler sees
    std::vector<zo::Twin16> sizeEvents;

    void OnScrolled(int dx, int dy, ScrollView*) { shifts.push_back({dx, dy}); }
    void OnScrollMessage(Message* m, IWnd*) {
        scrolls.push_back({m->message, static_cast<unsigned>(m->wParam & 0xFFFF)});
    }
    void OnSizeMessage(Message* m, IWnd*) {
        sizesAfter.push_back(zo::Twin16::FromParam(static_cast<uintptr_t>(m->lParam)));
    }
    void OnSize(zo::Twin16 s, IWnd*) { sizeEvents.push_back(s); }
};

class ScrollTest : public ::testing::Test {
protected:
    void SetUp() override {
        vBar = GetSystemMetrics(SM_CXVSCROLL);
        hBar = GetSystemMetrics(SM_CYHSCROLL);
        ASSERT_TRUE(zotest::ShowHost(frame, 700, 600));
        view.createInfo->x = 0;
        view.createInfo->y = 0;
        // With both bars shown the client area is 400 x 300.
        view.createInfo->width = static_cast<int16_t>(400 + vBar);
        view.createInfo->height = static_cast<int16_t>(300 + hBar);
        view.scrollEvent.Add(&probe, &ScrollProbe::OnScrolled);
        view.AddMessageHandler(WM_HSCROLL, WM_VSCROLL, &probe, &ScrollProbe::OnScrollMessage);
        view.AddMessageHandler(WM_SIZE, WM_SIZE, &probe, &ScrollProbe::OnSizeMessage);
        view.sizeEvent.Add(&probe, &ScrollProbe::OnSize);
        ASSERT_TRUE(view.Create(frame));
    }
    void TearDown() override { zotest::PumpMessages(); }

    SCROLLINFO Info(int bar) {
        SCROLLINFO si = {sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(view, bar, &si);
        return si;
    }
    LONG Style() { return GetWindowLongW(view, GWL_STYLE); }
    void Send(UINT msg, unsigned code) { SendMessageW(view, msg, code, 0); }

    int vBar = 0, hBar = 0;
    zo::Frame frame;
    ScrollView view;
    ScrollProbe probe;
};

TEST_F(ScrollTest, ContentLargerThanClientShowsBothBarsWithItsSteps) {
    EXPECT_FALSE(Style() & (WS_HSCROLL | WS_VSCROLL));
    view.SetContentSize(1000, 500);
    EXPECT_TRUE(Style() & WS_HSCROLL);
    EXPECT_TRUE(Style() & WS_VSCROLL);
    zo::Twin16 client;
    ASSERT_TRUE(view.GetClientSize(client));
    ASSERT_EQ(zo::Twin16(400, 300), client);
    EXPECT_EQ(zo::Twin32(601, 201), zo::Twin32(view.maxScrollX, view.maxScrollY)) << "ends";
    EXPECT_EQ(zo::Twin32(40, 30), zo::Twin32(view.hLine, view.vLine)) << "a tenth of the client a line";
    EXPECT_EQ(zo::Twin32(360, 270), zo::Twin32(view.hPage, view.vPage)) << "the client less a line a page";
    SCROLLINFO h = Info(SB_HORZ), v = Info(SB_VERT);
    EXPECT_EQ((zo::Rect32{1000, 400, 500, 300}), (zo::Rect32{h.nMax, int(h.nPage), v.nMax, int(v.nPage)}))
        << "the bars' ranges and pages";

    // The bars came one after the other, each resizing the client; handlers
    // after the bar logic and the size event end with the final size.
    ASSERT_FALSE(probe.sizesAfter.empty());
    EXPECT_EQ(zo::Twin16(400, 300), probe.sizesAfter.back());
    ASSERT_FALSE(probe.sizeEvents.empty());
    EXPECT_EQ(zo::Twin16(400, 300), probe.sizeEvents.back());
}

TEST_F(ScrollTest, OneBarCanMakeTheOtherNeeded) {
    // Without bars the client is (400 + vBar) x (300 + hBar); a bar for one
    // axis takes room from the other.
    const struct {
        int width, height;
        bool h, v;
    } cases[] = {
        {1000, 300, true, false},   // fits beside the horizontal bar exactly
        {1000, 301, true, true},    // one pixel more needs the vertical bar too
        {400, 1000, false, true},
        {401, 1000, true, true},
        {400 + vBar, 300 + hBar, false, false},   // the whole client without bars
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        view.SetContentSize(c.width, c.height);
        EXPECT_EQ(c.h, (Style() & WS_HSCROLL) != 0);
        EXPECT_EQ(c.v, (Style() & WS_VSCROLL) != 0);
        zo::Twin16 client;
        view.GetClientSize(client);
        EXPECT_EQ(zo::Twin32(c.h ? c.width - client.x + 1 : 0, c.v ? c.height - client.y + 1 : 0),
                  zo::Twin32(view.maxScrollX, view.maxScrollY));
    }
}

TEST_F(ScrollTest, StepsMoveWithinRangeAndReportEachShift) {
    view.SetContentSize(1000, 500);
    probe.shifts.clear();
    Send(WM_VSCROLL, SB_LINEDOWN);
    EXPECT_EQ(30, view.scrollPos.y);
    Send(WM_VSCROLL, SB_PAGEDOWN);   // 300 is past the end
    EXPECT_EQ(201, view.scrollPos.y);
    EXPECT_EQ(201, GetScrollPos(view, SB_VERT));
    Send(WM_VSCROLL, SB_PAGEDOWN);   // at the end already: no shift
    Send(WM_VSCROLL, SB_LINEDOWN);
    Send(WM_VSCROLL, SB_THUMBPOSITION);
    Send(WM_VSCROLL, SB_ENDSCROLL);
    Send(WM_VSCROLL, SB_LINEUP);
    Send(WM_VSCROLL, SB_TOP);
    EXPECT_EQ(0, view.scrollPos.y);
    Send(WM_HSCROLL, SB_RIGHT);
    Send(WM_HSCROLL, SB_PAGELEFT);
    Send(WM_HSCROLL, SB_LINELEFT);
    EXPECT_EQ(201, view.scrollPos.x);
    Send(WM_HSCROLL, SB_LEFT);
    Send(WM_HSCROLL, SB_LINELEFT);   // at 0 already
    EXPECT_EQ((std::vector<std::pair<int, int>>{{0, -30}, {0, -171}, {0, 30}, {0, 171}, {-601, 0}, {360, 0},
                                                 {40, 0}, {201, 0}}),
              probe.shifts);

    // A bar control of the window's own (lParam set) is not the window's bar.
    SendMessageW(view, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(frame.Handle()));
    EXPECT_EQ(0, view.scrollPos.x);
}

TEST_F(ScrollTest, SmallerContentHidesTheBarsAndScrollsBackToZero) {
    view.SetContentSize(1000, 500);
    Send(WM_HSCROLL, SB_RIGHT);
    Send(WM_VSCROLL, SB_BOTTOM);
    ASSERT_EQ(601, view.scrollPos.x);
    view.SetContentSize(100, 50);
    EXPECT_FALSE(Style() & (WS_HSCROLL | WS_VSCROLL));
    EXPECT_EQ(zo::Twin32(0, 0), view.scrollPos);
    EXPECT_EQ(zo::Twin32(0, 0), zo::Twin32(view.maxScrollX, view.maxScrollY));
    zo::Twin16 client;
    view.GetClientSize(client);
    EXPECT_EQ(client.x / 10, view.hLine);

    // Growing the client past the end pulls the position back to the new end.
    view.SetContentSize(1000, 500);
    Send(WM_HSCROLL, SB_RIGHT);
    SetWindowPos(view, nullptr, 0, 0, 500 + vBar, 300 + hBar, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(501, view.maxScrollX);
    EXPECT_EQ(501, view.scrollPos.x);
    EXPECT_EQ(501, GetScrollPos(view, SB_HORZ));
}

TEST_F(ScrollTest, WheelAndKeysBecomeScrollMessages) {
    view.SetContentSize(1000, 500);
    probe.scrolls.clear();
    SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 0);
    EXPECT_EQ((Scrolls{{WM_VSCROLL, SB_LINEUP}, {WM_VSCROLL, SB_LINEDOWN}}), probe.scrolls);
    EXPECT_EQ(30, view.scrollPos.y) << "one line per wheel message";

    probe.scrolls.clear();
    view.wheelMessage = WM_HSCROLL;
    SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 0);
    view.wheelMessage = 0;
    SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ((Scrolls{{WM_HSCROLL, SB_LINEDOWN}}), probe.scrolls);

    const struct {
        WPARAM key;
        UINT msg;
        unsigned code;
    } keys[] = {
        {VK_PRIOR, WM_VSCROLL, SB_PAGEUP}, {VK_NEXT, WM_VSCROLL, SB_PAGEDOWN},
        {VK_END, WM_VSCROLL, SB_BOTTOM},   {VK_HOME, WM_VSCROLL, SB_TOP},
        {VK_LEFT, WM_HSCROLL, SB_LINELEFT}, {VK_UP, WM_VSCROLL, SB_LINEUP},
        {VK_RIGHT, WM_HSCROLL, SB_LINERIGHT}, {VK_DOWN, WM_VSCROLL, SB_LINEDOWN},
    };
    for (const auto& k : keys) {
        probe.scrolls.clear();
        SendMessageW(view, WM_KEYDOWN, k.key, 0);
        EXPECT_EQ((Scrolls{{k.msg, k.code}}), probe.scrolls) << "key " << k.key;
    }
    probe.scrolls.clear();
    SendMessageW(view, WM_KEYDOWN, VK_SPACE, 0);
    view.keyScroll = false;
    SendMessageW(view, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_TRUE(probe.scrolls.empty());
}

TEST_F(ScrollTest, DraggingTheThumbTracksItsPosition) {
    view.SetContentSize(1000, 500);
    ShowWindow(view, SW_SHOW);
    UpdateWindow(frame);
    SCROLLBARINFO sbi = {};
    sbi.cbSize = sizeof(sbi);
    ASSERT_TRUE(GetScrollBarInfo(view, OBJID_VSCROLL, &sbi));
    POINT grab = {(sbi.rcScrollBar.left + sbi.rcScrollBar.right) / 2,
                  sbi.rcScrollBar.top + (sbi.xyThumbTop + sbi.xyThumbBottom) / 2};
    // The bar's tracking loop reads the moves and the release from the queue
    // once the press starts it.
    POINT move = {grab.x, grab.y + 60};
    ScreenToClient(view, &move);
    PostMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(move.x, move.y));
    PostMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(move.x, move.y));
    probe.shifts.clear();
    probe.scrolls.clear();
    SendMessageW(view, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(grab.x, grab.y));

    bool tracked = false;
    for (auto& s : probe.scrolls) tracked |= s.first == WM_VSCROLL && s.second == SB_THUMBTRACK;
    ASSERT_TRUE(tracked);
    EXPECT_GT(view.scrollPos.y, 0);
    EXPECT_LE(view.scrollPos.y, view.maxScrollY);
    EXPECT_EQ(view.scrollPos.y, GetScrollPos(view, SB_VERT));
    int moved = 0;
    for (auto& s : probe.shifts) moved += s.second;
    EXPECT_EQ(-view.scrollPos.y, moved);
}

TEST_F(ScrollTest, ThumbTrackWithoutBarInfoUsesTheMessagePosition) {
    ScrollView bare;
    ASSERT_TRUE(bare.Create(frame));
    SCROLLINFO si = {sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
    ASSERT_FALSE(GetScrollInfo(bare, SB_VERT, &si)) << "the window has never had a bar";
    SendMessageW(bare, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 77), 0);
    EXPECT_EQ(77, bare.scrollPos.y);
}

} // namespace
