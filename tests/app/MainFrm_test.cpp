// The main window in this process, fed as its receive thread feeds it:
// controls, fonts, layout, showing and merging modules, access-point lists,
// datagrams that come before the window, and a flood that must not freeze it.
// ZO_TEST_RUN_SERIAL: every window binds port 6643.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/module/ModuleProtocol.h"
#include "support/AppWindow.h"
#include "support/Texts.h"

using namespace apptest;

namespace {

RECT ClientRectOf(const zo::WndPtr& w) {
    RECT r = {};
    w.GetRect(r);
    return r;
}

int FontHeight(const zo::WndPtr& w) {
    HFONT f = reinterpret_cast<HFONT>(w.Send(WM_GETFONT));
    LOGFONTW lf = {};
    if (!f || !GetObjectW(f, sizeof(lf), &lf)) return 0;
    return lf.lfHeight;
}

void Choose(MainFrm& f, int index) {
    f.moduleBox.SetSelection(index);
    SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(f.moduleBox.Handle()));
}

// 198.51.100.101 as a report carries it: the first octet in the lowest byte.
const char kAddress101[] = "1701065670";

} // namespace

class MainFrmTest : public ::testing::Test {
protected:
    void Show() { ASSERT_NE(ShowFrame(f), nullptr); }

    TraceSink trace;
    MainFrm f;
};

TEST_F(MainFrmTest, WindowHasItsTitleAndTwentyOneControlsWithTextsStylesAndFonts) {
    Show();
    EXPECT_EQ(TextOf(f), L"网络模块设置工具");
    EXPECT_TRUE(GetWindowLongW(f.Handle(), GWL_EXSTYLE) & WS_EX_COMPOSITED);

    struct Row {
        const zo::ICtrl* control;
        const wchar_t* className;
        const wchar_t* text;   // null: not checked (boxes and edits)
        int font;
    };
    const Row rows[] = {
        {&f.moduleBox, L"ComboBox", nullptr, 20},        {&f.moduleGroup, L"Button", L"网络模块", 20},
        {&f.searchButton, L"Button", L"搜索联网模块", 16}, {&f.serialGroup, L"Button", L"串口设置", 20},
        {&f.serverGroup, L"Button", L"服务器设置", 20},    {&f.baudBox, L"ComboBox", nullptr, 20},
        {&f.baudLabel, L"Static", L"串口速率:", 20},       {&f.hostLabel, L"Static", L"IP地址/域名:", 20},
        {&f.portLabel, L"Static", L"端口:", 20},           {&f.hostBox, L"ComboBox", nullptr, 20},
        {&f.portEdit, L"Edit", L"", 20},                   {&f.wifiGroup, L"Button", L"WIFI 设置", 20},
        {&f.apLabel, L"Static", L"可用WIFI:", 20},         {&f.apBox, L"ComboBox", L"", 20},
        {&f.apRefreshButton, L"Button", L"刷新", 16},      {&f.passLabel, L"Static", L"密码:", 20},
        {&f.passEdit, L"Edit", L"", 20},                   {&f.infoEdit, L"Edit", L"", 20},
        {&f.addressEdit, L"Edit", L"", 20},                {&f.refreshButton, L"Button", L"刷新", 20},
        {&f.saveButton, L"Button", L"保存", 20},
    };
    int children = 0;
    for (HWND c = GetWindow(f.Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
    EXPECT_EQ(children, 21);
    for (const Row& r : rows) {
        HWND h = r.control->Handle();
        ASSERT_NE(h, nullptr) << r.className;
        EXPECT_EQ(GetParent(h), f.Handle());
        std::wstring cls = zotest::ClassName(h);
        EXPECT_EQ(_wcsicmp(cls.c_str(), r.className), 0) << cls;
        if (r.text) {
            EXPECT_EQ(TextOf(*r.control), r.text);
        }
        EXPECT_EQ(FontHeight(*r.control), r.font) << (r.text ? r.text : cls.c_str());
    }
    // Editable drop-down lists with strings and a scrolling text field (the
    // system moves the scroll bar style to the list part).
    for (const zo::ComboBox* box : {&f.baudBox, &f.moduleBox, &f.apBox, &f.hostBox})
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(box->Handle(), GWL_STYLE)) & 0x10000242u, 0x10000242u);
    for (const zo::GroupBox* g : {&f.serialGroup, &f.serverGroup, &f.moduleGroup, &f.wifiGroup})
        EXPECT_EQ(GetWindowLongW(g->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(f.infoEdit.Handle(), GWL_STYLE)) & 0x00200844u, 0x00200844u);

    EXPECT_EQ(Entries(f.baudBox), (std::vector<std::wstring>{L"9600", L"19200", L"38400", L"57600", L"115200"}));
    EXPECT_EQ(f.baudBox.GetSelection(), -1);
    // The local address is looked up on a thread once the window is shown
    // and joins the default host when it comes.
    zo::String local;
    local = proto::LocalAddress().ToString();
    EXPECT_TRUE(zotest::PumpUntil([&] { return f.hostBox.GetCount() >= 2; }));
    EXPECT_EQ(Entries(f.hostBox), (std::vector<std::wstring>{L"modules.example.com", local.Handle()}));
    EXPECT_EQ(f.hostBox.GetSelection(), -1);
}

TEST_F(MainFrmTest, LayoutFitsTheSmallestClientAndOnlyTheWeightedNodesGrow) {
    Show();
    // The smallest client area is what the layout tree needs.
    EXPECT_EQ(f.minClientSize, zo::Twin32(720, 540));
    SetClientSize(f.Handle(), 720, 540);

    struct Row {
        const zo::ICtrl* control;
        RECT at;   // left, top, right, bottom at 720 x 540
        int growX, growY;   // at 920 x 640
    };
    const Row rows[] = {
        {&f.serialGroup, {10, 10, 360, 100}, 0, 0},     {&f.baudLabel, {20, 63, 130, 90}, 0, 0},
        {&f.baudBox, {150, 60, 350, 90}, 0, 0},         {&f.moduleGroup, {380, 10, 710, 100}, 200, 0},
        {&f.moduleBox, {390, 60, 480, 90}, 200, 0},     {&f.searchButton, {500, 60, 700, 90}, 0, 0},
        {&f.serverGroup, {10, 130, 710, 220}, 200, 0},    {&f.hostLabel, {20, 183, 140, 210}, 0, 0},
        {&f.hostBox, {150, 180, 350, 210}, 0, 0},       {&f.portLabel, {470, 183, 540, 210}, 0, 0},
        {&f.portEdit, {540, 180, 700, 210}, 0, 0},      {&f.wifiGroup, {10, 250, 710, 340}, 200, 0},
        {&f.apLabel, {20, 303, 140, 330}, 0, 0},        {&f.apBox, {150, 300, 350, 330}, 0, 0},
        {&f.apRefreshButton, {360, 300, 420, 330}, 0, 0}, {&f.passLabel, {470, 303, 530, 330}, 0, 0},
        {&f.passEdit, {540, 300, 700, 330}, 0, 0},      {&f.infoEdit, {10, 380, 530, 530}, 200, 100},
        {&f.addressEdit, {560, 380, 710, 410}, 0, 0},   {&f.refreshButton, {560, 430, 710, 470}, 0, 0},
        {&f.saveButton, {560, 490, 710, 530}, 0, 0},
    };
    auto isCombo = [&](const zo::ICtrl* c) {
        return c == &f.baudBox || c == &f.moduleBox || c == &f.apBox || c == &f.hostBox;
    };
    auto isGroup = [&](const zo::ICtrl* c) {
        return c == &f.serialGroup || c == &f.serverGroup || c == &f.moduleGroup || c == &f.wifiGroup;
    };
    std::vector<RECT> small;
    for (const Row& r : rows) {
        RECT got = ClientRectOf(*r.control);
        small.push_back(got);
        EXPECT_EQ(got.left, r.at.left) << TextOf(*r.control);
        EXPECT_EQ(got.top, r.at.top) << TextOf(*r.control);
        EXPECT_EQ(got.right, r.at.right) << TextOf(*r.control);
        // A drop-down box is as tall as its font makes it, whatever it is given.
        if (!isCombo(r.control)) {
            EXPECT_EQ(got.bottom, r.at.bottom) << TextOf(*r.control);
        }
        // At the smallest size every control is wholly visible...
        EXPECT_TRUE(got.left >= 0 && got.top >= 0 && got.right <= 720 && got.bottom <= 540);
    }
    // ...and none lies over another but the group boxes around their rows.
    for (size_t i = 0; i < small.size(); ++i)
        for (size_t j = i + 1; j < small.size(); ++j) {
            if (isGroup(rows[i].control) || isGroup(rows[j].control)) continue;
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &small[i], &small[j]))
                << TextOf(*rows[i].control) << " / " << TextOf(*rows[j].control);
        }

    SetClientSize(f.Handle(), 920, 640);
    for (size_t i = 0; i < small.size(); ++i) {
        RECT got = ClientRectOf(*rows[i].control);
        EXPECT_EQ(got.right - got.left, small[i].right - small[i].left + rows[i].growX) << TextOf(*rows[i].control);
        EXPECT_EQ(got.bottom - got.top, small[i].bottom - small[i].top + rows[i].growY) << TextOf(*rows[i].control);
    }
    EXPECT_EQ(ClientRectOf(f.saveButton).left, 760);   // the right column follows the right edge

    // The user cannot size it below the smallest client area.
    SetClientSize(f.Handle(), 300, 200);
    RECT client;
    GetClientRect(f.Handle(), &client);
    EXPECT_GE(client.right, 720);
    EXPECT_GE(client.bottom, 540);
}

TEST_F(MainFrmTest, ChoosingAModuleShowsExactlyItsValues) {
    Show();
    std::string common = std::string("\"serv_port\":8899,\"ap_pass\":\"p/w\",\"ether_ip\":") + kAddress101 +
                         ",\"ether_gate\":23344070,\"wifi_ip\":33859776";
    Inject(f, Report("AA", (common + ",\"serv_host\":\"a.example.com\",\"serial_rate\":115200,\"ap_ssid\":\"Office\"").c_str()));
    Inject(f, Report("BB", (common + ",\"serial_rate\":4800,\"ap_ssid\":\"\\u529e\\u516c\\u5ba4\"").c_str()));
    Inject(f, Report("CC", "\"serial_rate\":1,\"ap_ssid\":\"\""));
    ASSERT_TRUE(Settle(f));
    ASSERT_EQ(Entries(f.moduleBox), (std::vector<std::wstring>{L"AA", L"BB", L"CC"}));

    // host|port|baud|baud selection|ssid|access points listed|password|address
    const struct {
        int index;
        const wchar_t* shown;
    } cases[] = {
        {0, L"a.example.com|8899|115200|4|Office|1|p/w|198.51.100.101"},
        // 4800 is not listed: shown as it is, nothing selected (not the previous 115200).
        {1, L"|8899|4800|-1|办公室|2|p/w|198.51.100.101"},
        // 1 is not 19200; an empty name empties the box and adds nothing.
        {2, L"|0|1|-1||2||0.0.0.0"},
        // Choosing again appends nothing twice.
        {1, L"|8899|4800|-1|办公室|2|p/w|198.51.100.101"},
        {0, L"a.example.com|8899|115200|4|Office|2|p/w|198.51.100.101"},
    };
    for (const auto& c : cases) {
        Choose(f, c.index);
        EXPECT_EQ(TextOf(f.hostBox) + L"|" + TextOf(f.portEdit) + L"|" + TextOf(f.baudBox) + L"|" +
                      std::to_wstring(f.baudBox.GetSelection()) + L"|" + TextOf(f.apBox) + L"|" +
                      std::to_wstring(f.apBox.GetCount()) + L"|" + TextOf(f.passEdit) + L"|" + TextOf(f.addressEdit),
                  c.shown)
            << c.index;
        EXPECT_EQ(f.selected, f.modules.Element(static_cast<unsigned>(c.index)));
    }
    Choose(f, 0);
    EXPECT_EQ(TextOf(f.infoEdit), L"网卡IP:   198.51.100.101\r\n网关IP:   198.51.100.1\r\n"
                                  L"WIFIIP:   192.168.4.2\r\nWIFI网关: 0.0.0.0\r\n");
}

TEST_F(MainFrmTest, ReportsMergeByMacAndRefreshTheBoxesOnlyWhileOneModuleIsKnown) {
    Show();
    Inject(f, Report("AA", "\"serv_host\":\"first\",\"serv_port\":1"));
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(TextOf(f.hostBox), L"first");
    f.hostBox.SetText(L"typed by the user");
    // One module known: its next report overwrites the boxes.
    Inject(f, Report("AA", "\"serv_host\":\"second\",\"serv_port\":2"));
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(TextOf(f.hostBox), L"second");
    EXPECT_EQ(f.modules.Count(), 1u);

    // Reports without a mac, an empty datagram and an array share the empty-text record.
    Inject(f, Report(nullptr, "\"serv_host\":\"anonymous\""));
    Inject(f, std::string());
    Inject(f, "[1,2]");
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(Entries(f.moduleBox), (std::vector<std::wstring>{L"AA", L""}));
    EXPECT_EQ(f.modules.Element(1)->serv_host, L"");   // the array came last: all defaults
    EXPECT_EQ(f.modules.Element(1)->serial_rate, 9600);

    // Two known: a report about the shown module changes its record only.
    Choose(f, 0);
    Inject(f, Report("AA", "\"serv_host\":\"third\",\"serv_port\":3"));
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(f.modules.Element(0)->serv_host, L"third");
    EXPECT_EQ(TextOf(f.hostBox), L"second");
    EXPECT_EQ(TextOf(f.portEdit), L"2");
    EXPECT_EQ(f.moduleBox.GetCount(), 2);
    // Every datagram is traced last with its length and sender.
    EXPECT_EQ(trace.CountOf(L"recv: "), 6u);
    EXPECT_TRUE(trace.Has(L"recv: 0,198.51.100.101"));
}

TEST_F(MainFrmTest, AccessPointListsPairLinesAndKeepTheVisibleText) {
    Show();
    f.apBox.SetText(L"typed");
    Inject(f, "+CWLAP:a\n1\nb\n2\n");
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(Entries(f.apBox), (std::vector<std::wstring>{L"typed", L"a", L"b"}));
    EXPECT_EQ(TextOf(f.apBox), L"typed");
    Inject(f, "+CWLAP:a\n1\nb");
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(Entries(f.apBox), (std::vector<std::wstring>{L"typed", L"a"}));
    EXPECT_TRUE(trace.Has(L"recv: 15,198.51.100.101"));
    // The bare prefix is no list: it fails as JSON and is only traced.
    size_t before = trace.lines.size();
    Inject(f, "+CWLAP:");
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(Entries(f.apBox), (std::vector<std::wstring>{L"typed", L"a"}));
    EXPECT_EQ(f.modules.Count(), 0u);
    ASSERT_EQ(trace.lines.size(), before + 2);
    EXPECT_EQ(trace.lines[before], L"+CWLAP:\r\n");
    EXPECT_EQ(trace.lines[before + 1], L"recv: 7,198.51.100.101\r\n");
}

TEST_F(MainFrmTest, DatagramsBeforeTheWindowExistsAreListedInOrderOnceItDoes) {
    for (const char* mac : {"03", "01", "02"}) Inject(f, Report(mac));
    EXPECT_EQ(f.Queue().Count(), 3u);
    Show();
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(Entries(f.moduleBox), (std::vector<std::wstring>{L"03", L"01", L"02"}));
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(f.modules.Element(i)->mac, Entries(f.moduleBox)[i].c_str());
}

TEST_F(MainFrmTest, AFloodOfDatagramsLeavesTheWindowAnswering) {
    Show();
    HWND h = f.Handle();
    std::atomic<bool> done{false}, stop{false};
    // Another thread floods the window as the receive thread would...
    std::thread flood([&] {
        for (int i = 0; i < 20000 && !stop; ++i) Inject(f, Report(std::to_string(i % 2000).c_str()));
        done = true;
    });
    // ...while a third keeps asking it something and times its answers.
    std::atomic<DWORD> worst{0};
    std::thread pinger([&] {
        while (!done) {
            DWORD t = GetTickCount();
            DWORD_PTR r;
            SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
            DWORD took = GetTickCount() - t;
            if (took > worst) worst = took;
            Sleep(20);   // paces the probes; nothing waits on this
        }
    });
    bool drained = zotest::PumpUntil([&] { return done.load() && f.Queue().Count() == 0; }, 60000);
    // Both threads end on every path: a joinable thread left behind would
    // end the whole test program instead of failing this test.
    stop = true;
    flood.join();
    pinger.join();
    ASSERT_TRUE(drained);
    EXPECT_EQ(f.modules.Count(), 2000u);
    EXPECT_EQ(f.moduleBox.GetCount(), 2000);
    // A frozen window would keep the prober waiting for seconds.
    EXPECT_LT(worst.load(), 1000u);
}

TEST_F(MainFrmTest, AFloodOfNewAccessPointNamesAndOverlongTextsStaysBounded) {
    Show();
    // One module reporting ever new access points: the box keeps the newest
    // kMaxApNames, the module's own shown.
    for (int i = 0; i < 1000; ++i)
        Inject(f, Report("5C:CF:7F:00:00:01", ("\"ap_ssid\":\"ap-" + std::to_string(i) + "\"").c_str()));
    ASSERT_TRUE(Settle(f, 30000));
    EXPECT_LE(f.apBox.GetCount(), MainFrm::kMaxApNames);
    EXPECT_GE(f.apBox.GetCount(), MainFrm::kMaxApNames - 1);
    EXPECT_EQ(TextOf(f.apBox), L"ap-999");
    // A report's texts are kept at most as long as a module holds them, cut
    // ones marked, and the cut is traced.
    Inject(f, Report("5C:CF:7F:00:00:01", ("\"serv_host\":\"" + std::string(60000, 'h') + "\"").c_str()));
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(f.modules.Element(0)->serv_host.Length(), proto::kMaxHost);
    EXPECT_EQ(f.modules.Element(0)->serv_host.Element(proto::kMaxHost - 1), L'\xFFFD');
    EXPECT_EQ(trace.CountOf(L"(serv_host); they were cut"), 1u);
}
