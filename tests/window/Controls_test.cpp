// Standard controls on real windows: creation defaults and styles, the
// subclass that routes their messages through the object, the private
// WM_GETICTRL answer, colours on real device contexts and read back from the
// screen, the edit's change handler, the combo box list and the failure box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Child.h"
#include "support/ChildBox.h"
#include "support/Host.h"
#include "support/MemoryCanvas.h"
#include "support/Pump.h"
#include "support/Texts.h"
#include "support/WindowImage.h"
#include "window/Button.h"
#include "window/ComboBox.h"
#include "window/Edit.h"
#include "window/Font.h"
#include "window/Frame.h"
#include "window/GroupBox.h"
#include "window/Label.h"

namespace {

using zo::ICtrl;
using zo::IWnd;
using zo::Message;

using zotest::ClassName;

DWORD Style(HWND h) { return static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)); }
DWORD ExStyle(HWND h) { return static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)); }

std::wstring Text(const zo::WndPtr& w) {
    zo::String s;
    w.GetText(s);
    return s.Handle() ? s.Handle() : L"";
}

// A command as the recorder logs it: who saw it, its id and code, its source.
std::string Entry(const char* who, unsigned code, const void* src, unsigned id = 0) {
    return std::string(who) + ":" + std::to_string(id) + ":" + std::to_string(code) + ":" +
           std::to_string(reinterpret_cast<uintptr_t>(src));
}

// What reaches the events and handlers of the controls under test.
struct Recorder {
    std::vector<std::string> log;
    std::vector<zo::Edit*> changed;
    HWND handleAtCreate = nullptr;
    int setTexts = 0;

    unsigned onlyCode = 0;   // when set, other notifications are not logged

    void OnCommand(unsigned short id, unsigned short code, IWnd* src) { Log("parent", id, code, src); }
    void OnOwnCommand(unsigned short id, unsigned short code, IWnd* src) { Log("own", id, code, src); }
    void Log(const char* who, unsigned id, unsigned code, IWnd* src) {
        if (!onlyCode || code == onlyCode) log.push_back(Entry(who, code, src, id));
    }
    void OnChange(zo::Edit* e) { changed.push_back(e); }
    void OnCreate(IWnd* w) {
        log.push_back("create:" + std::to_string(reinterpret_cast<uintptr_t>(w)));
        handleAtCreate = w->Handle();
    }
    void OnSetText(Message*, IWnd*) { ++setTexts; }
};

class ControlsTest : public ::testing::Test {
protected:
    zo::Frame parent;

    void SetUp() override { ASSERT_TRUE(zotest::ShowHost(parent, 400, 300)); }
    void TearDown() override { zotest::PumpMessages(); }
};

TEST_F(ControlsTest, EachKindMakesItsSystemClassWithTheControlDefaults) {
    zo::Edit edit;
    zo::Button button;
    zo::GroupBox group;
    zo::Label label;
    ICtrl* all[] = {&edit, &button, &group, &label};
    const wchar_t* classes[] = {L"edit", L"button", L"button", L"static"};
    // Only controls that take input are tab stops.
    const DWORD tabStop[] = {WS_TABSTOP, WS_TABSTOP, 0, 0};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        HWND h = all[i]->Create(parent);
        ASSERT_TRUE(h);
        EXPECT_EQ(h, all[i]->Handle());
        EXPECT_EQ(0, _wcsicmp(classes[i], ClassName(h).c_str()));
        EXPECT_EQ(WS_CHILD | WS_VISIBLE | tabStop[i], Style(h) & (WS_CHILD | WS_VISIBLE | WS_TABSTOP));
        EXPECT_EQ(parent.Handle(), GetParent(h));
        RECT r;
        ASSERT_TRUE(all[i]->GetRect(r));
        EXPECT_EQ((zo::Rect32{10, 10, 110, 110}), zo::Rect32(r)) << "at 10, 10 and 100 x 100";
        EXPECT_EQ(reinterpret_cast<LRESULT>(parent.ControlFont()), SendMessageW(h, WM_GETFONT, 0, 0));
        EXPECT_EQ(nullptr, all[i]->Create(parent)) << "one window per object";
    }
    EXPECT_EQ(0x00D8E9ECu, button.backColor);
    EXPECT_EQ(0x00FFFFFFu, edit.backColor);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_CLIENTEDGE), ExStyle(edit) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(Style(edit) & ES_AUTOHSCROLL);
    EXPECT_EQ(static_cast<DWORD>(BS_GROUPBOX), Style(group) & BS_TYPEMASK);
    EXPECT_EQ(static_cast<DWORD>(BS_PUSHBUTTON), Style(button) & BS_TYPEMASK);
}

TEST_F(ControlsTest, ComboBoxIsAnEditableDropDownWithAScrollBarAndNoTabStop) {
    zo::ComboBox combo;
    EXPECT_EQ(0x10200242u, combo.createInfo->style);
    HWND h = combo.Create(parent);
    ASSERT_TRUE(h);
    EXPECT_EQ(0, _wcsicmp(L"combobox", ClassName(h).c_str()));
    DWORD style = Style(h);
    EXPECT_EQ(static_cast<DWORD>(CBS_DROPDOWN), style & 3) << "drop-down with an edit field";
    EXPECT_TRUE(style & CBS_HASSTRINGS);
    EXPECT_TRUE(style & CBS_AUTOHSCROLL);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & WS_TABSTOP);
    // The edit field and the list are windows of their own; the scroll bar
    // is the list's, shown once the items outgrow it.
    for (int i = 0; i < 40; ++i) combo.InsertItem(zo::NPOS, L"item");
    COMBOBOXINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(h, &info));
    EXPECT_TRUE(info.hwndItem);
    ASSERT_TRUE(info.hwndList);
    EXPECT_TRUE(Style(info.hwndList) & WS_VSCROLL);
}

TEST_F(ControlsTest, ControlsAnswerTheirObjectAndOtherWindowsZero) {
    zo::Edit edit;
    zo::Label label;
    zo::ComboBox combo;
    ASSERT_TRUE(edit.Create(parent));
    ASSERT_TRUE(label.Create(parent));
    ASSERT_TRUE(combo.Create(parent));
    EXPECT_EQ(static_cast<ICtrl*>(&edit), zo::GetICtrl(edit));
    EXPECT_EQ(reinterpret_cast<LRESULT>(static_cast<ICtrl*>(&label)), SendMessageW(label, 0x5FF7, 0, 0));
    EXPECT_EQ(static_cast<ICtrl*>(&combo), zo::GetICtrl(combo));
    EXPECT_EQ(static_cast<IWnd*>(&edit), zo::GetIWnd(edit)) << "the control is a window object too";

    EXPECT_EQ(0, SendMessageW(parent, 0x5FF7, 0, 0)) << "a framework window that is no control";
    HWND plain = CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    ASSERT_TRUE(plain);
    EXPECT_EQ(0, SendMessageW(plain, 0x5FF7, 0, 0)) << "a window of no framework object";
}

TEST_F(ControlsTest, SubclassRunsTheTableThenTheControlsOwnProcedure) {
    Recorder rec;
    zo::Edit edit;
    edit.createEvent.Add(&rec, &Recorder::OnCreate);
    edit.AddMessageHandler(WM_SETTEXT, WM_SETTEXT, &rec, &Recorder::OnSetText);
    HWND h = edit.Create(parent);
    ASSERT_TRUE(h);
    EXPECT_EQ(std::vector<std::string>{"create:" + std::to_string(reinterpret_cast<uintptr_t>(static_cast<IWnd*>(&edit)))},
              rec.log);
    EXPECT_EQ(h, rec.handleAtCreate) << "the create event sees the handle";
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(edit.procedure.Procedure()), GetWindowLongPtrW(h, GWLP_WNDPROC));
    EXPECT_TRUE(edit.defaultProc);
    EXPECT_NE(reinterpret_cast<WNDPROC>(DefWindowProcW), edit.defaultProc);

    edit.SetText(L"模块 42");
    EXPECT_EQ(1, rec.setTexts);
    EXPECT_EQ(L"模块 42", Text(edit)) << "the edit class still stores the text";
    EXPECT_EQ(5, SendMessageW(h, WM_GETTEXTLENGTH, 0, 0));
}

TEST_F(ControlsTest, DestroyingTheObjectDestroysTheWindowAndAGoneWindowCanBeRemade) {
    zo::Button* button = new zo::Button;
    HWND h = button->Create(parent);
    ASSERT_TRUE(h);
    delete static_cast<ICtrl*>(button);   // owners may hold controls by their base
    EXPECT_FALSE(IsWindow(h));

    zo::Edit edit;
    HWND first = edit.Create(parent);
    ASSERT_TRUE(first);
    SetFocus(first);
    ASSERT_TRUE(DestroyWindow(first));
    EXPECT_EQ(nullptr, edit.Handle()) << "WM_NCDESTROY went through the subclass";
    HWND second = edit.Create(parent);
    ASSERT_TRUE(second);
    EXPECT_EQ(static_cast<ICtrl*>(&edit), zo::GetICtrl(second));
    SetFocus(second);   // the object goes while its window has the focus
}

TEST_F(ControlsTest, EditChangeHandlerRunsOncePerChangeWhileTheParentStillSeesIt) {
    Recorder rec;
    zo::Edit edit;
    parent.commandEvent.Add(&rec, &Recorder::OnCommand);
    edit.commandEvent.Add(&rec, &Recorder::OnOwnCommand);
    ASSERT_TRUE(edit.Create(parent));
    SendMessageW(edit, WM_CHAR, L'a', 1);   // unbound: changes call nothing
    EXPECT_TRUE(rec.changed.empty());

    edit.changeHandler.Bind(&rec, &Recorder::OnChange);
    rec.log.clear();
    rec.onlyCode = EN_CHANGE;   // typing also brings EN_UPDATE
    SendMessageW(edit, WM_CHAR, L'b', 1);
    SendMessageW(edit, WM_CHAR, L'c', 1);
    EXPECT_EQ(L"abc", Text(edit));
    EXPECT_EQ((std::vector<zo::Edit*>{&edit, &edit}), rec.changed);
    std::string parentSaw = Entry("parent", EN_CHANGE, static_cast<IWnd*>(&edit));
    std::string ownSaw = Entry("own", EN_CHANGE, static_cast<IWnd*>(&edit));
    EXPECT_EQ((std::vector<std::string>{parentSaw, ownSaw, parentSaw, ownSaw}), rec.log);

    // Other notifications reach the events but not the change handler.
    rec.changed.clear();
    rec.onlyCode = 0;
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(0, EN_SETFOCUS), reinterpret_cast<LPARAM>(edit.Handle()));
    EXPECT_TRUE(rec.changed.empty());
    EXPECT_EQ(Entry("own", EN_SETFOCUS, static_cast<IWnd*>(&edit)), rec.log.back());
}

TEST_F(ControlsTest, EditWrapperLimitsSelectsReplacesAndLocks) {
    zo::Edit edit;
    ASSERT_TRUE(edit.Create(parent));
    edit.SetLimit(4);
    for (wchar_t c : std::wstring(L"123456")) SendMessageW(edit, WM_CHAR, c, 1);
    EXPECT_EQ(L"1234", Text(edit));
    edit.Select(1, 3);
    edit.ReplaceSelection(L"x");
    EXPECT_EQ(L"1x4", Text(edit));
    EXPECT_FALSE(Style(edit) & ES_READONLY);
    edit.SetReadOnly(true);
    EXPECT_TRUE(Style(edit) & ES_READONLY);
    SendMessageW(edit, WM_CHAR, L'z', 1);
    EXPECT_EQ(L"1x4", Text(edit));
}

TEST_F(ControlsTest, ButtonClickReachesParentThenTheButtonAndChecksToggle) {
    Recorder rec;
    zo::Button button;
    button.createInfo->style |= BS_AUTOCHECKBOX;
    button.createInfo->title = L"保存";
    parent.commandEvent.Add(&rec, &Recorder::OnCommand);
    button.commandEvent.Add(&rec, &Recorder::OnOwnCommand);
    ASSERT_TRUE(button.Create(parent));
    EXPECT_EQ(L"保存", Text(button));
    EXPECT_EQ(static_cast<unsigned>(BST_UNCHECKED), button.GetCheck());
    button.Click();
    EXPECT_EQ(static_cast<unsigned>(BST_CHECKED), button.GetCheck());
    EXPECT_EQ((std::vector<std::string>{Entry("parent", BN_CLICKED, static_cast<IWnd*>(&button)),
                                        Entry("own", BN_CLICKED, static_cast<IWnd*>(&button))}),
              rec.log);
    button.SetCheck(BST_UNCHECKED);
    EXPECT_EQ(static_cast<unsigned>(BST_UNCHECKED), button.GetCheck());
    button.Enable(false);
    EXPECT_FALSE(IsWindowEnabled(button));
}

TEST_F(ControlsTest, LabelShowsAnIcon) {
    zo::Label label;
    label.createInfo->style |= SS_ICON;
    ASSERT_TRUE(label.Create(parent));
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    ASSERT_TRUE(icon);
    label.SetIcon(icon);
    EXPECT_EQ(reinterpret_cast<LRESULT>(icon), SendMessageW(label, STM_GETICON, 0, 0));
}

TEST_F(ControlsTest, ComboBoxListInsertsSelectsReadsAndClears) {
    zo::ComboBox combo;
    ASSERT_TRUE(combo.Create(parent));
    EXPECT_EQ(0, combo.GetCount());
    EXPECT_EQ(-1, combo.GetSelection());
    EXPECT_EQ(0, combo.InsertItem(zo::NPOS, L"beta"));
    EXPECT_EQ(1, combo.InsertItem(zo::NPOS, L"gamma"));
    EXPECT_EQ(0, combo.InsertItem(0, L"AC:CF:23:00:11:22"));
    EXPECT_EQ(3, combo.GetCount());

    zo::String s;
    const wchar_t* expected[] = {L"AC:CF:23:00:11:22", L"beta", L"gamma"};
    for (unsigned i = 0; i < 3; ++i) {
        ASSERT_TRUE(combo.GetItemText(i, s));
        EXPECT_TRUE(s == expected[i]) << i;
    }
    EXPECT_FALSE(combo.GetItemText(3, s));
    EXPECT_EQ(0u, s.Length()) << "an item that is not there leaves the text empty";
    EXPECT_FALSE(combo.GetItemText(zo::NPOS, s));

    EXPECT_EQ(1, combo.SelectText(L"be"));
    EXPECT_EQ(1, combo.GetSelection());
    EXPECT_EQ(L"beta", Text(combo));
    EXPECT_EQ(CB_ERR, combo.SelectText(L"delta"));
    combo.SetSelection(2);
    EXPECT_EQ(2, combo.GetSelection());
    combo.SetSelection(-1);
    EXPECT_EQ(-1, combo.GetSelection());
    combo.Clear();
    EXPECT_EQ(0, combo.GetCount());
}

// Paints a canvas with the brush a colour answer gave; one pixel of it.
COLORREF FillWith(zotest::MemoryCanvas& canvas, LRESULT brush) {
    RECT r = {0, 0, 16, 16};
    FillRect(canvas.Dc(), &r, reinterpret_cast<HBRUSH>(brush));
    return GetPixel(canvas.Dc(), 8, 8);
}

TEST_F(ControlsTest, LabelColourAnswerIsTransparentTextOnTheBackColourBrush) {
    zo::Label label;
    label.textColor = RGB(200, 0, 0);
    ASSERT_TRUE(label.Create(parent));
    zotest::MemoryCanvas s(16, 16);
    SetBkMode(s.Dc(), OPAQUE);
    LRESULT brush = SendMessageW(parent, WM_CTLCOLORSTATIC, s.Param(), reinterpret_cast<LPARAM>(label.Handle()));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH)), brush);
    EXPECT_EQ(TRANSPARENT, GetBkMode(s.Dc()));
    EXPECT_EQ(RGB(200, 0, 0), GetTextColor(s.Dc()));
    EXPECT_EQ(RGB(236, 233, 216), GetDCBrushColor(s.Dc()));
    EXPECT_EQ(RGB(236, 233, 216), FillWith(s, brush));

    label.backColor = RGB(0, 0, 255);
    brush = SendMessageW(parent, WM_CTLCOLORSTATIC, s.Param(), reinterpret_cast<LPARAM>(label.Handle()));
    EXPECT_EQ(RGB(0, 0, 255), FillWith(s, brush));
}

TEST_F(ControlsTest, EditColourAnswerIsAnOpaqueWhiteBackground) {
    zo::Edit edit;
    edit.textColor = RGB(0, 90, 0);
    ASSERT_TRUE(edit.Create(parent));
    zotest::MemoryCanvas s(16, 16);
    SetBkColor(s.Dc(), RGB(1, 2, 3));
    SetBkMode(s.Dc(), OPAQUE);
    LRESULT brush = SendMessageW(parent, WM_CTLCOLOREDIT, s.Param(), reinterpret_cast<LPARAM>(edit.Handle()));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH)), brush);
    EXPECT_EQ(OPAQUE, GetBkMode(s.Dc()));
    EXPECT_EQ(RGB(255, 255, 255), GetBkColor(s.Dc()));
    EXPECT_EQ(RGB(0, 90, 0), GetTextColor(s.Dc()));
    EXPECT_EQ(RGB(255, 255, 255), FillWith(s, brush));
}

TEST_F(ControlsTest, PaintedControlsShowTheirBackColourOnScreen) {
    zo::Label label;
    label.backColor = RGB(30, 160, 90);
    label.createInfo->title = L"";
    zo::Edit edit;
    edit.createInfo->x = 150;
    ASSERT_TRUE(label.Create(parent));
    ASSERT_TRUE(edit.Create(parent));
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    zotest::PumpMessages();

    zotest::ClientImage image;
    ASSERT_TRUE(zotest::CaptureClient(label, image));
    EXPECT_EQ(RGB(30, 160, 90), image.At(5, 5));
    EXPECT_EQ(RGB(30, 160, 90), image.At(image.width - 5, image.height - 5));
    ASSERT_TRUE(zotest::CaptureClient(edit, image));
    EXPECT_EQ(RGB(255, 255, 255), image.At(image.width - 5, image.height - 5));
}

// A control that cannot be made: a child window without a parent.
ZO_CHILD_ROLE(ControlWithoutParent) {
    Recorder rec;
    zo::Button button;
    button.createEvent.Add(&rec, &Recorder::OnCreate);
    HWND h = button.Create(nullptr);
    return !h && !button.Handle() && rec.log.empty() ? 0 : 1;
}

TEST(ControlFailure, CreateWarnsWithTheSystemTextAndLeavesTheObjectWithoutWindow) {
    DWORD exitCode;
    EXPECT_EQ(zotest::SystemText(ERROR_TLW_WITH_WSCHILD),
              zotest::ChildBoxText("ControlWithoutParent", L"ICtrl.Create", &exitCode));
    EXPECT_EQ(0u, exitCode);
}

} // namespace
