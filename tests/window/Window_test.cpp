// Window objects on real windows: creation and attachment, the built-in
// handling that raises typed events, size limits, the private messages, the
// main-window life cycle and the message loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Child.h"
#include "support/ChildBox.h"
#include "support/Host.h"
#include "support/Pump.h"
#include "support/Texts.h"
#include "window/Frame.h"
#include "window/MessageLoop.h"

namespace {

using zo::IWnd;
using zo::Message;

// Records what the events and table handlers of a window bring.
struct Recorder {
    std::vector<std::string> log;
    std::vector<zo::Twin16> sizes;
    bool keepOpen = false;
    unsigned skipFlags = 0;
    int leaves = 0;
    int destroys = 0;

    void OnSize(zo::Twin16 s, IWnd*) { sizes.push_back(s); }
    void OnClose(bool& cancel, IWnd*) {
        log.push_back("close");
        cancel = keepOpen;
    }
    void OnCreate(IWnd*) { log.push_back("create"); }
    void OnCommandA(unsigned short id, unsigned short code, IWnd* src) { Command("A", id, code, src); }
    void OnCommandB(unsigned short id, unsigned short code, IWnd* src) { Command("B", id, code, src); }
    void Command(const char* who, unsigned id, unsigned code, IWnd* src) {
        log.push_back(std::string(who) + ":" + std::to_string(id) + ":" + std::to_string(code) + ":" +
                      std::to_string(reinterpret_cast<uintptr_t>(src)));
    }
    void OnMouse(zo::Mouse* m, IWnd*) {
        if (m->message == WM_MOUSELEAVE) ++leaves;
    }
    void Skip(Message* m, IWnd*) { m->flags |= skipFlags; }
    void OnDestroy(Message*, IWnd*) { ++destroys; }
};

std::string Src(const void* p) { return std::to_string(reinterpret_cast<uintptr_t>(p)); }

using zotest::ClassName;

// A child window that answers WM_GETICTRL with a stand-in pointer, as a
// control does, so the parent's colour and notification routing can be seen.
struct FakeControl {
    zo::View view;
    std::vector<std::string> calls;
    LRESULT answer = 0;

    FakeControl() {
        view.AddMessageHandler(zo::WM_GETICTRL, zo::WM_GETICTRL, this, &FakeControl::OnGetICtrl);
    }
    zo::ICtrl* Ctrl() { return reinterpret_cast<zo::ICtrl*>(this); }
    void OnGetICtrl(Message* m, IWnd*) {
        m->result = reinterpret_cast<LRESULT>(Ctrl());
        m->flags |= Message::handled;
    }
    void OnColor(Message* m, zo::ICtrl* c) {
        calls.push_back("color:" + Src(c) + ":" + std::to_string(m->message));
        m->result = answer;
        m->flags |= Message::handled;
    }
    void OnNotify(Message*, zo::ICtrl* from) { calls.push_back("notify:" + Src(from)); }
};

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { zotest::PumpMessages(); }
};

TEST_F(WindowTest, CreationMakesAFrameworkClassWindowBoundToItsObject) {
    zo::Frame f;
    f.createInfo->title = L"网络模块设置工具";
    HWND h = f.Create(nullptr);
    ASSERT_TRUE(h);
    EXPECT_EQ(&f, zo::GetIWnd(h));
    EXPECT_EQ(nullptr, zo::GetICtrl(h)) << "a window, not a control";
    EXPECT_EQ(nullptr, f.Create(nullptr)) << "a second window for one object";
    EXPECT_EQ(WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS, GetWindowLongW(h, GWL_STYLE) & ~WS_CLIPCHILDREN);
    RECT r;
    ASSERT_TRUE(f.GetRect(r));
    EXPECT_EQ((zo::Rect32{200, 200, 700, 500}), zo::Rect32(r));
    zo::String text;
    EXPECT_EQ(8, f.GetText(text));
    EXPECT_TRUE(text == L"网络模块设置工具");
    // Class names end in the class style: CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS.
    std::wstring cls = ClassName(h);
    EXPECT_EQ(0u, cls.find(L"Form.View."));
    EXPECT_EQ(L".B", cls.substr(cls.size() - 2));

    zo::View child;   // sign-extended position, in the parent's client coordinates
    child.createInfo->classStyle = CS_DBLCLKS | CS_PARENTDC;
    child.createInfo->x = 30;
    child.createInfo->y = -40;
    child.createInfo->width = 120;
    child.createInfo->height = 60;
    ASSERT_TRUE(child.Create(h));
    EXPECT_EQ(L".88", ClassName(child).substr(ClassName(child).size() - 3));
    ASSERT_TRUE(child.GetRect(r));
    EXPECT_EQ((zo::Rect32{30, -40, 150, 20}), zo::Rect32(r));
    zo::Twin16 size;
    ASSERT_TRUE(child.GetClientSize(size));
    EXPECT_EQ(zo::Twin16(120, 60), size);
}

TEST_F(WindowTest, DestroyedWindowCanBeCreatedAgainForTheSameObject) {
    Recorder rec;
    zo::Frame f;
    f.createEvent.Add(&rec, &Recorder::OnCreate);
    f.sizeEvent.Add(&rec, &Recorder::OnSize);
    HWND first = f.Create(nullptr);
    ASSERT_TRUE(first);
    std::wstring cls = ClassName(first);
    ASSERT_TRUE(DestroyWindow(first));
    EXPECT_EQ(nullptr, f.Handle()) << "WM_NCDESTROY clears the handle";

    HWND second = f.Create(nullptr);
    ASSERT_TRUE(second);
    EXPECT_EQ(cls, ClassName(second));
    EXPECT_EQ(&f, zo::GetIWnd(second));
    EXPECT_EQ((std::vector<std::string>{"create", "create"}), rec.log);
    SetWindowPos(second, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    zo::Twin16 client;
    f.GetClientSize(client);
    ASSERT_FALSE(rec.sizes.empty());
    EXPECT_EQ(client, rec.sizes.back()) << "the second window reaches the object's events";

    // Creation parameters shared with another object outlive the first owner.
    zo::Frame* other = new zo::Frame;
    other->createInfo = f.createInfo;
    EXPECT_EQ(2u, f.createInfo.RefCount());
    ASSERT_TRUE(other->Create(nullptr));
    EXPECT_EQ(cls, ClassName(other->Handle()));
    delete other;
    EXPECT_EQ(1u, f.createInfo.RefCount());
    EXPECT_TRUE(f.CreateInfo()->className == cls.c_str());
}

TEST_F(WindowTest, CloseHandlerCanKeepTheWindow) {
    Recorder rec;
    zo::Frame f;
    f.closeEvent.Add(&rec, &Recorder::OnClose);
    HWND h = f.Create(nullptr);
    ASSERT_TRUE(h);
    rec.keepOpen = true;
    EXPECT_EQ(0, SendMessageW(h, WM_CLOSE, 0, 0));
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(h, f.Handle());
    rec.keepOpen = false;
    SendMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(h)) << "the default procedure destroys an uncancelled close";
    EXPECT_EQ(nullptr, f.Handle());
    EXPECT_EQ(2u, rec.log.size());
}

TEST_F(WindowTest, SizeEventSkipsMinimisingAndCarriesTheClientSize) {
    Recorder rec;
    zo::Frame f;
    f.sizeEvent.Add(&rec, &Recorder::OnSize);
    HWND h = zotest::ShowHost(f, 300, 200);
    ASSERT_TRUE(h);
    rec.sizes.clear();
    SendMessageW(h, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    EXPECT_TRUE(rec.sizes.empty());
    SendMessageW(h, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(640, 480));
    ASSERT_EQ(1u, rec.sizes.size());
    EXPECT_EQ(zo::Twin16(640, 480), rec.sizes[0]);

    // A real minimise of the window raises nothing either.
    rec.sizes.clear();
    ShowWindow(h, SW_MINIMIZE);
    zotest::PumpMessages();
    EXPECT_TRUE(IsIconic(h));
    EXPECT_TRUE(rec.sizes.empty());
}

TEST_F(WindowTest, MinimumTrackSizeIsTheClientLimitPlusTheRealFrame) {
    zo::Frame f;
    f.minClientSize = zo::Twin32(650, 400);
    f.maxClientSize = zo::Twin32(900, 700);
    HWND h = f.Create(nullptr);
    ASSERT_TRUE(h);
    RECT wr, cr;
    GetWindowRect(h, &wr);
    GetClientRect(h, &cr);
    int fw = (wr.right - wr.left) - cr.right;
    int fh = (wr.bottom - wr.top) - cr.bottom;

    // The limits asked for, from tracking sizes that start at min and max.
    auto track = [h](int min, int max) {
        MINMAXINFO info = {};
        info.ptMinTrackSize = {min, min};
        info.ptMaxTrackSize = {max, max};
        SendMessageW(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        return zo::Rect32(info.ptMinTrackSize.x, info.ptMinTrackSize.y, info.ptMaxTrackSize.x, info.ptMaxTrackSize.y);
    };
    EXPECT_EQ((zo::Rect32{650 + fw, 400 + fh, 900 + fw, 700 + fh}), track(0, 5000));
    EXPECT_EQ((zo::Rect32{2000, 2000, 10, 10}), track(2000, 10)) << "values already stricter are kept";

    // Sizing the window below or above the limits stops at the client limits.
    auto clientAfterSizing = [&](int size) {
        SetWindowPos(h, nullptr, 0, 0, size, size, SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(h, &cr);
        return zo::Twin32(cr.right, cr.bottom);
    };
    EXPECT_EQ(zo::Twin32(650, 400), clientAfterSizing(100));
    EXPECT_EQ(zo::Twin32(900, 700), clientAfterSizing(3000));
}

TEST_F(WindowTest, CommandReachesParentWithControlAsSourceThenTheControl) {
    Recorder rec;
    zo::Frame parent;
    parent.commandEvent.Add(&rec, &Recorder::OnCommandA);
    ASSERT_TRUE(parent.Create(nullptr));

    // A standard button bound to a window object keeps behaving as a button.
    HWND b = CreateWindowExW(0, L"Button", L"ok", WS_CHILD | WS_VISIBLE, 10, 10, 80, 30, parent, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(b);
    IWnd button;
    ASSERT_TRUE(button.AttachWindow(b));
    button.commandEvent.Add(&rec, &Recorder::OnCommandB);
    EXPECT_EQ(&button, zo::GetIWnd(b));

    SendMessageW(b, BM_CLICK, 0, 0);
    std::string click = ":0:" + std::to_string(BN_CLICKED) + ":" + Src(&button);
    EXPECT_EQ((std::vector<std::string>{"A" + click, "B" + click}), rec.log);

    // A menu or accelerator command has no source and reaches the parent only.
    rec.log.clear();
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(101, 0), 0);
    EXPECT_EQ((std::vector<std::string>{"A:101:0:0"}), rec.log);

    // A non-framework source is passed as null and not reflected.
    rec.log.clear();
    HWND plain = CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(7, 3), reinterpret_cast<LPARAM>(plain));
    EXPECT_EQ((std::vector<std::string>{"A:7:3:0"}), rec.log);
}

// Whether the system is tracking the pointer's leave of h right now.
bool TrackingLeave(HWND h) {
    TRACKMOUSEEVENT q = {sizeof(q), TME_QUERY, nullptr, 0};
    return TrackMouseEvent(&q) && q.hwndTrack == h && (q.dwFlags & TME_LEAVE);
}

void CancelTracking(HWND h) {
    TRACKMOUSEEVENT t = {sizeof(t), TME_CANCEL | TME_LEAVE, h, 0};
    TrackMouseEvent(&t);
}

TEST_F(WindowTest, LeaveTrackingIsRequestedOncePerVisit) {
    Recorder rec;
    zo::Frame f;
    f.mouseEvent.Add(&rec, &Recorder::OnMouse);
    HWND h = zotest::ShowHost(f, 300, 200);
    ASSERT_TRUE(h);
    UpdateWindow(h);
    // Tracking only starts while the pointer is over the window.
    RECT wr;
    GetWindowRect(h, &wr);
    SetCursorPos((wr.left + wr.right) / 2, (wr.top + wr.bottom) / 2);
    zotest::PumpMessages();
    CancelTracking(h);
    SendMessageW(h, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(f.armLeave);
    ASSERT_FALSE(TrackingLeave(h));

    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(f.armLeave);
    EXPECT_TRUE(TrackingLeave(h));
    // Without a leave in between, a second move asks for nothing: tracking
    // cancelled behind its back stays cancelled.
    CancelTracking(h);
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(11, 10));
    EXPECT_FALSE(TrackingLeave(h));

    SendMessageW(h, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(f.armLeave);
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(12, 10));
    EXPECT_TRUE(TrackingLeave(h));

    // The pointer really leaving ends in one WM_MOUSELEAVE that re-arms.
    rec.leaves = 0;
    SetCursorPos(wr.left - 50 > 0 ? wr.left - 50 : wr.right + 50, wr.top);
    ASSERT_TRUE(zotest::PumpUntil([&] { return rec.leaves >= 1; }, 5000));
    EXPECT_TRUE(f.armLeave);
}

TEST_F(WindowTest, SkipBuiltInSuppressesTypedEvents) {
    Recorder rec;
    zo::Frame f;
    f.closeEvent.Add(&rec, &Recorder::OnClose);
    f.sizeEvent.Add(&rec, &Recorder::OnSize);
    f.commandEvent.Add(&rec, &Recorder::OnCommandA);
    f.AddMessageHandler(0, 0xFFFF, &rec, &Recorder::Skip);
    HWND h = f.Create(nullptr);
    ASSERT_TRUE(h);
    rec.skipFlags = Message::skipBuiltIn;
    rec.keepOpen = true;
    SendMessageW(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10));
    SendMessageW(h, WM_COMMAND, 5, 0);
    EXPECT_EQ(0, SendMessageW(h, zo::WM_GETIWND, 0, 0)) << "not even the object is answered";
    SendMessageW(h, WM_CLOSE, 0, 0);   // the close handler would have kept it
    EXPECT_TRUE(rec.log.empty());
    EXPECT_TRUE(rec.sizes.empty());
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(nullptr, f.Handle()) << "WM_NCDESTROY was skipped too, yet the handle is not kept";
}

TEST_F(WindowTest, ColourMessagesGoToTheControlsHandler) {
    zo::Frame parent;
    HWND p = parent.Create(nullptr);
    ASSERT_TRUE(p);
    HDC dc = GetDC(p);

    // Asked about itself, a window answers 0 without the default procedure
    // (which would hand out a brush).
    EXPECT_EQ(0, SendMessageW(p, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(p)));
    HWND plain = CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 10, 10, p, nullptr, nullptr, nullptr);
    EXPECT_NE(0, SendMessageW(p, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(plain)));

    FakeControl ctl;
    ASSERT_TRUE(ctl.view.Create(p));
    ctl.answer = 0x1234;
    ctl.view.colorHandler.Bind(&ctl, &FakeControl::OnColor);
    EXPECT_EQ(0x1234, SendMessageW(p, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                   reinterpret_cast<LPARAM>(ctl.view.Handle())));
    EXPECT_EQ((std::vector<std::string>{"color:" + Src(ctl.Ctrl()) + ":" + std::to_string(WM_CTLCOLORBTN)}),
              ctl.calls);
    ReleaseDC(p, dc);
}

TEST_F(WindowTest, NotifyRunsOwnHandlerThenTheSources) {
    FakeControl outer, inner;
    zo::Frame top;
    ASSERT_TRUE(top.Create(nullptr));
    ASSERT_TRUE(outer.view.Create(top));
    ASSERT_TRUE(inner.view.Create(outer.view));
    outer.view.notifyHandler.Bind(&outer, &FakeControl::OnNotify);
    inner.view.notifyHandler.Bind(&inner, &FakeControl::OnNotify);

    NMHDR hdr = {inner.view.Handle(), 0, 0};
    SendMessageW(outer.view, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    std::string from = "notify:" + Src(inner.Ctrl());
    EXPECT_EQ(std::vector<std::string>{from}, outer.calls);
    EXPECT_EQ(std::vector<std::string>{from}, inner.calls);

    // The frame is no control: only the source's handler runs.
    outer.calls.clear();
    inner.calls.clear();
    hdr.hwndFrom = outer.view.Handle();
    SendMessageW(top, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_EQ(std::vector<std::string>{"notify:" + Src(outer.Ctrl())}, outer.calls);
    EXPECT_TRUE(inner.calls.empty());
}

TEST_F(WindowTest, ShowAsMainTwiceQuitsOnceWhenTheWindowGoes) {
    Recorder rec;
    zo::Frame f;
    HWND h = f.ShowAsMain();
    ASSERT_TRUE(h);
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_EQ(nullptr, f.ShowAsMain()) << "the window exists already";
    f.AddMessageHandler(WM_DESTROY, WM_DESTROY, &rec, &Recorder::OnDestroy);
    EXPECT_EQ(2u, f.GetMessageDelegate(WM_DESTROY, WM_DESTROY)->Count()) << "quit handler added once";

    PostMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, zo::RunMessageLoop());
    EXPECT_EQ(1, rec.destroys);
    EXPECT_EQ(nullptr, f.Handle());
}

struct LoopProbe {
    HWND window = nullptr;
    int seen = 0;
    int nested = -1;
    bool OnFilter(MSG* m) {
        if (m->message != WM_APP + 1) return false;
        ++seen;
        return true;
    }
    void OnApp(Message* m, IWnd*) {
        if (m->message != WM_APP + 2) return;
        // A loop nested in a handler ends on its own quit and must leave the
        // record (and its filters) of the loop around it alone.
        PostMessageW(window, WM_APP + 1, 0, 0);
        PostQuitMessage(7);
        nested = zo::RunMessageLoop();
        PostMessageW(window, WM_APP + 1, 0, 0);
        PostQuitMessage(3);
    }
};

TEST_F(WindowTest, LoopFiltersConsumeMessagesAndNestedLoopsKeepTheRecord) {
    LoopProbe probe;
    Recorder rec;
    zo::Frame f;
    f.AddMessageHandler(WM_APP, WM_APP + 2, &probe, &LoopProbe::OnApp);
    f.AddMessageHandler(WM_APP + 1, WM_APP + 1, &rec, &Recorder::OnDestroy);   // counts dispatches
    probe.window = f.Create(nullptr);
    ASSERT_TRUE(probe.window);

    zo::MessageLoop* loop = zo::GetMessageLoop();
    zo::MessageLoop::Filter* unbound = new zo::MessageLoop::Filter;
    zo::MessageLoop::Filter* filter = new zo::MessageLoop::Filter;
    filter->Bind(&probe, &LoopProbe::OnFilter);
    ASSERT_TRUE(loop->AddFilter(unbound));
    ASSERT_TRUE(loop->AddFilter(filter));

    PostMessageW(probe.window, WM_APP + 1, 0, 0);
    PostMessageW(probe.window, WM_APP + 2, 0, 0);
    EXPECT_EQ(3, zo::RunMessageLoop());
    EXPECT_EQ(7, probe.nested);
    EXPECT_EQ(3, probe.seen) << "the filter worked before, inside and after the nested loop";
    EXPECT_EQ(0, rec.destroys) << "consumed messages are not dispatched";
    EXPECT_EQ(0u, zo::GetMessageLoop()->filters.Count()) << "the record went with the outer loop";
}

TEST_F(WindowTest, AcceleratorsBecomeCommands) {
    Recorder rec;
    zo::Frame f;
    f.commandEvent.Add(&rec, &Recorder::OnCommandA);
    HWND h = f.Create(nullptr);
    ASSERT_TRUE(h);
    ACCEL accel = {FVIRTKEY, VK_F5, 55};
    HACCEL table = CreateAcceleratorTableW(&accel, 1);
    zo::GetMessageLoop()->accelerators = table;
    PostMessageW(h, WM_KEYDOWN, VK_F5, 0);
    PostQuitMessage(0);
    zo::RunMessageLoop();
    DestroyAcceleratorTable(table);
    EXPECT_EQ((std::vector<std::string>{"A:55:1:0"}), rec.log);
}

// Failed window operations warn in a box; they run in a child process whose
// box the test closes.
ZO_CHILD_ROLE(CreateChildWithoutParent) {
    zo::View v;   // a child style without a parent cannot be created
    HWND h = v.Create(nullptr);
    bool clean = !h && !v.Handle() && !zo::CreatingWindow();
    // The next framework window of the thread is not taken for the failed one.
    zo::Frame f;
    return clean && f.Create(nullptr) && zo::GetIWnd(f.Handle()) == &f ? 0 : 1;
}

ZO_CHILD_ROLE(AttachNonWindow) {
    IWnd w;
    bool failed = !w.AttachWindow(reinterpret_cast<HWND>(uintptr_t(0x7FFF0)));
    return failed && !w.Handle() ? 0 : 1;
}

TEST(WindowFailure, CreateWarnsWithTheSystemTextAndReturnsNull) {
    DWORD exitCode;
    EXPECT_EQ(zotest::SystemText(ERROR_TLW_WITH_WSCHILD),
              zotest::ChildBoxText("CreateChildWithoutParent", L"View.Create", &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST(WindowFailure, AttachingANonWindowWarnsAndChangesNothing) {
    DWORD exitCode;
    EXPECT_NE(L"(no box)", zotest::ChildBoxText("AttachNonWindow", L"要绑定的句柄不是一个窗口句柄.", &exitCode));
    EXPECT_EQ(0u, exitCode);
}

} // namespace
