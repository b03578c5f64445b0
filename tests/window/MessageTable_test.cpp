// The per-window message table: ranges and their order, what handlers see
// and set, and the records built for mouse handlers.
#include <gtest/gtest.h>

#include <string>

#include "window/IWnd.h"

using zo::IWnd;
using zo::Message;

namespace {

struct Table : IWnd {
    unsigned Ranges() const { return msgKeys.Count(); }
};

struct Handlers {
    std::string trail;
    Message seen{nullptr, 0, 0, 0};
    IWnd* window = nullptr;
    Table* grow = nullptr;
    void Wide(Message* m, IWnd* w) {
        trail += "W";
        seen = *m;
        window = w;
        m->result = 1;
        m->flags |= Message::handled;
    }
    void Narrow(Message* m, IWnd*) {
        trail += "N";
        m->result = 2;
        m->flags |= Message::skipBuiltIn;
    }
    void Other(Message* m, IWnd*) { trail += "O" + std::to_string(m->result); }
    void AddRange(Message*, IWnd*) { grow->AddMessageHandler(0x200, 0x2FF, this, &Handlers::Other); }
};

TEST(MessageTable, EveryMatchingRangeRunsInRegistrationOrder) {
    Table wnd;
    Handlers h;
    wnd.AddMessageHandler(0x100, 0x108, &h, &Handlers::Wide);
    wnd.AddMessageHandler(0x102, 0x102, &h, &Handlers::Narrow);
    HWND fake = reinterpret_cast<HWND>(uintptr_t(0x1234));
    Message m = wnd.RunMessageTable(fake, 0x102, 7, -9);
    EXPECT_EQ("WN", h.trail);
    EXPECT_EQ(2, m.result);   // the later handler's answer stands
    EXPECT_EQ(unsigned(Message::handled | Message::skipBuiltIn), m.flags);
    EXPECT_EQ(&wnd, h.window);
    EXPECT_EQ(fake, h.seen.hwnd);   // as received, with nothing answered yet
    EXPECT_EQ(0x102u, h.seen.message);
    EXPECT_EQ(WPARAM(7), h.seen.wParam);
    EXPECT_EQ(LPARAM(-9), h.seen.lParam);
    EXPECT_EQ(0, h.seen.result);
    EXPECT_EQ(0u, h.seen.flags);

    h.trail.clear();
    wnd.RunMessageTable(nullptr, 0x101, 0, 0);
    m = wnd.RunMessageTable(nullptr, 0x109, 0, 0);
    EXPECT_EQ("W", h.trail);
    EXPECT_EQ(0u, m.flags);

    Table reversed;
    Handlers r;
    reversed.AddMessageHandler(0x102, 0x102, &r, &Handlers::Narrow);
    reversed.AddMessageHandler(0x100, 0x108, &r, &Handlers::Wide);
    EXPECT_EQ(1, reversed.RunMessageTable(nullptr, 0x102, 0, 0).result);
    EXPECT_EQ("NW", r.trail);
}

TEST(MessageTable, ARangeRegisteredTwiceIsOneKeyWithBothHandlers) {
    Table wnd;
    Handlers h;
    EXPECT_EQ(0u, wnd.AddMessageHandler(5, 5, &h, &Handlers::Wide));
    EXPECT_EQ(1u, wnd.AddMessageHandler(5, 5, &h, &Handlers::Other));
    EXPECT_EQ(1u, wnd.Ranges());
    wnd.RunMessageTable(nullptr, 5, 0, 0);
    EXPECT_EQ("WO1", h.trail);
}

TEST(MessageTable, RemovingAHandlerKeepsItsRangeAndNeverCreatesOne) {
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

TEST(MessageTable, ARangeAddedDuringDispatchIsReachedAtOnce) {
    Table wnd;
    Handlers h;
    h.grow = &wnd;
    wnd.AddMessageHandler(0x210, 0x210, &h, &Handlers::AddRange);
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

    Message n(nullptr, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(1900, -2));
    zo::NcMouse nc(&n);
    EXPECT_EQ(UINT(HTCAPTION), nc.hitTest);
    EXPECT_EQ(1900, nc.x);
    EXPECT_EQ(-2, nc.y);
    EXPECT_EQ(&n, nc.msg);
}

} // namespace
