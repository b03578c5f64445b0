// The frame's keyboard: Enter never presses a button, it raises enterEvent,
// except in a control that wants it; a drop-down with its list open is one,
// and Enter there closes the list and chooses the entry.
#include <gtest/gtest.h>

#include "support/Host.h"
#include "support/Pump.h"
#include "window/ComboBox.h"
#include "window/Edit.h"

namespace {

struct EnterCount {
    int calls = 0;
    void OnEnter(zo::IWnd*, zo::Frame*) { ++calls; }
};

// The key as the message loop hands it to the frame first; true when the
// frame consumed it. Not consumed, it goes on to the control as in the loop.
bool Key(zo::Frame& frame, HWND to, UINT message, WPARAM key) {
    MSG m = {};
    m.hwnd = to;
    m.message = message;
    m.wParam = key;
    if (SendMessageW(frame.Handle(), zo::WM_PRETRANSLATE, 0, reinterpret_cast<LPARAM>(&m))) return true;
    TranslateMessage(&m);
    DispatchMessageW(&m);
    zotest::PumpMessages();
    return false;
}

TEST(FrameEnter, AnOpenListTakesEnterAndChoosesAClosedOneRaisesTheEvent) {
    zo::Frame frame;
    ASSERT_TRUE(zotest::ShowHost(frame, 400, 300));
    EnterCount count;
    frame.enterEvent.Add(&count, &EnterCount::OnEnter);
    zo::ComboBox box;
    box.createInfo->height = 200;
    ASSERT_TRUE(box.Create(frame.Handle()));
    for (const wchar_t* t : {L"first", L"second", L"third"}) box.InsertItem(zo::NPOS, t);
    box.SetSelection(0);
    // The keys go where the focus is: the box's text field.
    HWND field = GetWindow(box.Handle(), GW_CHILD);
    ASSERT_TRUE(field);
    SetFocus(field);

    // Closed: Enter is the frame's.
    EXPECT_TRUE(Key(frame, field, WM_KEYDOWN, VK_RETURN));
    EXPECT_EQ(count.calls, 1);

    // Open, moved down one entry: Enter closes the list on that entry and
    // the frame raises nothing.
    SendMessageW(box.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_TRUE(SendMessageW(box.Handle(), CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_FALSE(Key(frame, field, WM_KEYDOWN, VK_DOWN));
    EXPECT_FALSE(Key(frame, field, WM_KEYDOWN, VK_RETURN));
    EXPECT_FALSE(SendMessageW(box.Handle(), CB_GETDROPPEDSTATE, 0, 0)) << "Enter closed the list";
    EXPECT_EQ(box.GetSelection(), 1) << "and chose the entry";
    EXPECT_EQ(count.calls, 1);
    // The Enter's character and release that follow are the frame's again.
    EXPECT_TRUE(Key(frame, field, WM_CHAR, L'\r'));
    EXPECT_TRUE(Key(frame, field, WM_KEYUP, VK_RETURN));
    EXPECT_EQ(count.calls, 1) << "only a key going down raises the event";
}

TEST(FrameEnter, AMultiLineEditGetsEnterOnlyWithWantReturn) {
    zo::Frame frame;
    ASSERT_TRUE(zotest::ShowHost(frame, 400, 300));
    EnterCount count;
    frame.enterEvent.Add(&count, &EnterCount::OnEnter);
    zo::Edit plain, wants;
    plain.createInfo->style |= ES_MULTILINE;
    wants.createInfo->style |= ES_MULTILINE | ES_WANTRETURN;
    ASSERT_TRUE(plain.Create(frame.Handle()));
    ASSERT_TRUE(wants.Create(frame.Handle()));
    EXPECT_TRUE(Key(frame, plain.Handle(), WM_KEYDOWN, VK_RETURN));
    EXPECT_FALSE(Key(frame, wants.Handle(), WM_KEYDOWN, VK_RETURN));
    EXPECT_EQ(count.calls, 1);
}

} // namespace
