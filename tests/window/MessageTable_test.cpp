// The per-window message table: ranges, their order, what handlers see and
// set, and the records built for mouse handlers.
#include <gtest/gtest.h>

#include <string>

#include "window/IWnd.h"

using zo::IWnd;
using zo::Message;
using zo::NPOS;

namespace {

struct Table : IWnd {
    unsigned Ranges() const { return msgKeys.Count(); }
};

struct Handlers {
    std::string trail;
    IWnd* seenWindow = nullptr;
    void Wide(Message* m, IWnd* w) {
        trail += "W";
        seenWindow = w;
        m->result = 1;
        m->flags |= Message::handled;
    }
    void Narrow(Message* m, IWnd*) {
        trail += "N";
        m->result = 2;
        m->flags |= Message::skipBuiltIn;
    }
    void Other(Message* m, IWnd*) {
        trail += "O" + std::to_string(m->result);
    }
};

TEST(MessageTable, EveryMatchingRangeRunsInRegistrationOrder) {
    Table wnd;
    Handlers h;
    wnd.AddMessageHandler(0x100, 0x108, &h, &Handlers::Wide);
    wnd.AddMessageHandler(0x102, 0x102, &h, &Handlers::Narrow);
    Message m = wnd.RunMessageTable(nullptr, 0x102, 0, 0);
    EXPECT_EQ("WN", h.trail);
    EXPECT_EQ(2, m.result);   // the later handler's answer stands
    EXPECT_EQ(unsigned(Message::handled | Message::skipBuiltIn), m.flags);
    EXPECT_EQ(&wnd, h.seenWindow);

    h.trail.clear();
    m = wnd.RunMessageTable(nullptr, 0x101, 0, 0);
    EXPECT_EQ("W", h.trail);
    h.trail.clear();
    m = wnd.RunMessageTable(nullptr, 0x109, 0, 0);
    EXPECT_EQ("", h.trail);
    EXPECT_EQ(0u, m.flags);

    Table reversed;
    Handlers r;
    reversed.AddMessageHandler(0x102, 0x102, &r, &Handlers::Narrow);
    reversed.AddMessageHandler(0x100, 0x108, &r, &Handlers::Wide);
    m = reversed.RunMessageTable(nullptr, 0x102, 0, 0);
    EXPECT_EQ("NW", r.trail);
    EXPECT_EQ(1, m.result);
}

TEST(MessageTable, ARangeRegisteredTwiceIsOneKeyWithBothHandlers) {
    Table wnd;
    Handlers h;
    EXPECT_EQ(0u, wnd.AddMessageHandler(5, 5, &h, &Handlers::Wide));
    EXPECT_EQ(1u, wnd.AddMessageHandler(5, 5, &h, &Handlers::Other));
    EXPECT_EQ(1u, wnd.Ranges());
    EXPECT_EQ(wnd.GetMessageDelegate(5, 5), wnd.GetMessageDelegate(5, 5));
    EXPECT_EQ(2u, wnd.GetMessageDelegate(5, 5)->Count());
    wnd.RunMessageTable(nullptr, 5, 0, 0);
    EXPECT_EQ("WO1", h.trail);
}

TEST(MessageTable, HandlersSeeTheMessageAsReceived) {
    struct Seen {
        Message copy{nullptr, 0, 0, 0};
        void Look(Message* m, IWnd*) { copy = *m; }
    } seen;
    Table wnd;
    wnd.AddMessageHandler(WM_MOUSEMOVE, WM_MOUSEMOVE, &seen, &Seen::Look);
    HWND fake = reinterpret_cast<HWND>(uintptr_t(0x1234));
    wnd.RunMessageTable(fake, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 7));
    EXPECT_EQ(fake, seen.copy.hwnd);
    EXPECT_EQ(UINT(WM_MOUSEMOVE), seen.copy.message);
    EXPECT_EQ(WPARAM(MK_LBUTTON), seen.copy.wParam);
    EXPECT_EQ(MAKELPARAM(-5, 7), seen.copy.lParam);
    EXPECT_EQ(0, seen.copy.result);
    EXPECT_EQ(0u, seen.copy.flags);
}

TEST(MessageTable, RemovingAHandlerLeavesTheRangeAndNeverCreatesOne) {
    Table wnd;
    Handlers h;
    wnd.AddMessageHandler(1, 9, &h, &Handlers::Wide);
    wnd.AddMessageHandler(1, 9, &h, &Handlers::Narrow);
    EXPECT_TRUE(wnd.RemoveMessageHandler(1, 9, &h, &Handlers::Wide));
    EXPECT_FALSE(wnd.RemoveMessageHandler(1, 9, &h, &Handlers::Wide));
    EXPECT_FALSE(wnd.RemoveMessageHandler(2, 9, &h, &Handlers::Narrow));
    EXPECT_EQ(1u, wnd.Ranges());
    wnd.RunMessageTable(nullptr, 3, 0, 0);
    EXPECT_EQ("N", h.trail);
}

struct Registrar {
    Table* wnd = nullptr;
    Handlers* h = nullptr;
    void AddRange(Message*, IWnd*) { wnd->AddMessageHandler(0x200, 0x2FF, h, &Handlers::Other); }
};

TEST(MessageTable, ARangeAddedDuringDispatchIsReachedAtOnce) {
    Table wnd;
    Handlers h;
    Registrar r{&wnd, &h};
    wnd.AddMessageHandler(0x210, 0x210, &r, &Registrar::AddRange);
    wnd.RunMessageTable(nullptr, 0x210, 0, 0);
    EXPECT_EQ("O0", h.trail);
}

TEST(MouseRecords, TakeTheMessageApartWithSignedCoordinates) {
    Message m(nullptr, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, WORD(-120)), MAKELPARAM(-3, -40));
    zo::Mouse mouse(&m);
    EXPECT_EQ(UINT(WM_MOUSEWHEEL), mouse.message);
    EXPECT_EQ(MK_SHIFT, mouse.keys);
    EXPECT_EQ(-120, static_cast<short>(mouse.extra));
    EXPECT_EQ(-3, mouse.x);
    EXPECT_EQ(-40, mouse.y);
    EXPECT_EQ(&m, mouse.msg);

    Message n(nullptr, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(1900, 2));
    zo::NcMouse nc(&n);
    EXPECT_EQ(UINT(HTCAPTION), nc.hitTest);
    EXPECT_EQ(1900, nc.x);
    EXPECT_EQ(2, nc.y);
    EXPECT_EQ(&n, nc.msg);
}

} // namespace
