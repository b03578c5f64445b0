// The main window: construction, controls and layout, the handlers that
// wire them to the protocol, and the hand-over of datagrams to the UI thread.
#include "app/MainFrm.h"

#include <chrono>
#include <cstring>
#include <initializer_list>

#include "app/Destination.h"
#include "app/MainLayout.h"
#include "app/ModuleProtocol.h"
#include "app/Resource.h"
#include "core/Print.h"
#include "core/StringList.h"
#include "data/HeapTrim.h"
#include "data/WndPosKeeper.h"
#include "window/Dpi.h"

const wchar_t MainFrm::kDefaultHosts[] = L"modules.example.com,";
const wchar_t MainFrm::kBaudRates[] = L"9600,19200,38400,57600,115200";

namespace {

const UINT_PTR kDrainTimer = 1;
const UINT_PTR kProgressTimer = 2;

HICON LoadAppIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

// Selects the entry whose text is exactly text; -1 when none is.
int SelectExact(const zo::ComboBox& box, const wchar_t* text) {
    zo::String item;
    for (int i = 0, n = box.GetCount(); i < n; ++i) {
        if (box.GetItemText(static_cast<unsigned>(i), item) && item == text) {
            box.SetSelection(i);
            return i;
        }
    }
    return -1;
}

// Finds the local address and posts it to the window (in wParam, in
// network order); it runs on a thread of its own.
DWORD WINAPI LookUpLocalAddress(void* window) {
    zo::IP local = proto::LocalAddress();
    PostMessageW(static_cast<HWND>(window), MainFrm::WM_LOCAL_ADDRESS, static_cast<WPARAM>(local.ToLong()), 0);
    return 0;
}

} // namespace

MainFrm::MainFrm(bool stopEvent) : sweepStop(stopEvent) {
    serialGroup.createInfo->title = L"串口设置";
    serverGroup.createInfo->title = L"服务器设置";
    moduleGroup.createInfo->title = L"网络模块";
    wifiGroup.createInfo->title = L"WIFI 设置";
    baudLabel.createInfo->title = L"串口速率:";
    hostLabel.createInfo->title = L"IP地址/域名:";
    portLabel.createInfo->title = L"端口:";
    apLabel.createInfo->title = L"可用WIFI:";
    passLabel.createInfo->title = L"密码:";
    infoEdit.createInfo->style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL;
    infoEdit.createInfo->style &= ~WS_TABSTOP;   // it takes no input
    moduleBox.fitListToEntries = true;   // similar macs differ only at their end
    // The boxes take input, so the keyboard stops at them.
    for (zo::ComboBox* box : {&moduleBox, &baudBox, &hostBox, &apBox}) box->createInfo->style |= WS_TABSTOP;
    searchButton.createInfo->title = L"搜索联网模块";
    apRefreshButton.createInfo->title = L"刷新";
    refreshButton.createInfo->title = L"刷新";
    saveButton.createInfo->title = L"保存";

    buttonFont.SetSize(16);
    buttonFont.Realize();
    createInfo->exStyle |= WS_EX_COMPOSITED;
    root.SetView(this);
    createInfo->title = L"网络模块设置工具";

    zo::WndPosKeeper* keeper = zo::WndPosKeeper::Instance();
    keeper->restoreFlags = zo::WndPosKeeper::restoreAll;
    keeper->Register(this, L"main");

    createEvent.Add(this, &MainFrm::OnCreate);
    commandEvent.Add(this, &MainFrm::OnCommand);
    AddMessageHandler(WM_DATAGRAMS, WM_DATAGRAMS, this, &MainFrm::OnDatagrams);
    AddMessageHandler(WM_TIMER, WM_TIMER, this, &MainFrm::OnDrainTimer);
    AddMessageHandler(WM_TIMER, WM_TIMER, this, &MainFrm::OnProgressTimer);
    dpiEvent.Add(this, &MainFrm::OnDpi);
    enterEvent.Add(this, &MainFrm::OnEnter);
    AddMessageHandler(WM_SWEEP_DONE, WM_SWEEP_DONE, this, &MainFrm::OnSweepDone);
    AddMessageHandler(WM_LOCAL_ADDRESS, WM_LOCAL_ADDRESS, this, &MainFrm::OnLocalAddress);
    AddMessageHandler(WM_SHOWN, WM_SHOWN, this, &MainFrm::OnShown);
    AddMessageHandler(WM_DESTROY, WM_DESTROY, this, &MainFrm::OnDestroy);

    // Requests go out of one socket that may broadcast; replies come to
    // port 6643 whatever port a request left from.
    zo::Socket* s = sender.GetSocket();
    if (s->Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {
        BOOL on = TRUE;
        s->SetSockOpt(SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof(on));
        zo::SOCKADDR all;
        all.SetIp(zo::IP(zo::IP::None));
        all.SetPortW(proto::kModulePort);
        s->Connect(all);
    }
    receiver.datagramHandler.Bind(this, &MainFrm::OnDatagram);
    // The port is claimed now; receiving starts once the window is shown
    // (OnShown), and whatever comes meanwhile waits in the socket's buffer.
    receiver.Bind(proto::kToolPort);

    // The layout tree is built now so the smallest client size follows
    // from it; the controls are attached once they exist.
    BuildLayout();
    root.limitsView = true;
    // The first window, before any saved place, is made at least that large
    // at the DPI it will most likely have; the window corrects it to its own.
    int startDpi = zo::SystemDpi();
    minClientSize = root.MinClientSize(startDpi);
    RECT frame = {0, 0, minClientSize.x, minClientSize.y};
    zo::AdjustWindowRectForDpi(&frame, createInfo->style, createInfo->exStyle, startDpi);
    if (createInfo->width < frame.right - frame.left) createInfo->width = static_cast<int16_t>(frame.right - frame.left);
    if (createInfo->height < frame.bottom - frame.top) createInfo->height = static_cast<int16_t>(frame.bottom - frame.top);
}

MainFrm::~MainFrm() {
    // No reply handler runs from here on.
    receiver.Stop();
    // The sweep uses the sending socket: it ends (within one interval) first.
    sweepStop.Set();
    if (sweepThread.Handle()) sweepThread.Wait(INFINITE);
    sweepThread.Close();
    modules.Clear();
    selected = nullptr;
    sender.Close();
    if (smallIcon) DestroyIcon(smallIcon);
    if (bigIcon) DestroyIcon(bigIcon);
    zo::WndPosKeeper::Instance()->Unregister(this);
}

void MainFrm::BuildLayout() {
    static_assert(kLayoutNodes == mainlayout::kNodes, "one node per row of the table");
    mainlayout::Build(root, nodes);
}

zo::ICtrl* MainFrm::ControlAt(int index) {
    // The order the controls are made in (OnCreate), which the table uses.
    zo::ICtrl* const order[mainlayout::kControls] = {
        &moduleBox, &moduleGroup, &searchButton, &serialGroup, &serverGroup, &baudBox, &baudLabel,
        &hostLabel, &portLabel, &hostBox, &portEdit, &wifiGroup, &apLabel, &apBox,
        &apRefreshButton, &passLabel, &passEdit, &infoEdit, &addressEdit, &refreshButton, &saveButton};
    return index >= 0 && index < static_cast<int>(mainlayout::kControls) ? order[index] : nullptr;
}

void MainFrm::AttachControls() {
    // Each control was made on its node's rectangle, so it is attached
    // without being placed again: a drop-down box, which keeps the height
    // its font gives it, would otherwise be resized twice for nothing.
    for (unsigned i = 0; i < kLayoutNodes; ++i)
        if (zo::ICtrl* c = ControlAt(mainlayout::kRows[i].control))
            if (nodes[i]) nodes[i]->window = c->Handle();
}

zo::Layout* MainFrm::Node(const wchar_t* name) const {
    for (unsigned i = 0; i < kLayoutNodes; ++i)
        if (nodes[i] && nodes[i]->name == name) return nodes[i];
    return nullptr;
}

void MainFrm::OnDpi(int atDpi, zo::View*) {
    // The layout follows by itself; fonts and icons are this window's own.
    buttonFont.Rescale(atDpi, Handle());
    HICON oldSmall = smallIcon, oldBig = bigIcon;
    smallIcon = LoadAppIcon(zo::ScaleToDpi(16, atDpi));
    bigIcon = LoadAppIcon(zo::ScaleToDpi(32, atDpi));
    if (smallIcon) Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    if (bigIcon) Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    if (oldSmall) DestroyIcon(oldSmall);
    if (oldBig) DestroyIcon(oldBig);
}

void MainFrm::OnCreate(zo::IWnd*) {
    HWND me = Handle();
    zo::Font* font = zo::GetDefaultFont();
    font->SetSize(20);
    font->Realize(dpi);
    HFONT small = buttonFont.Handle() ? buttonFont.Handle() : font->Handle();

    // Every control is made where the layout puts it: moving and sizing
    // 21 windows after their creation took longer than creating them there.
    // The tree is arranged now, with no window in it yet.
    root.Update(nullptr);
    for (unsigned i = 0; i < kLayoutNodes; ++i) {
        zo::ICtrl* c = ControlAt(mainlayout::kRows[i].control);
        if (!nodes[i] || !c) continue;
        zo::CreateStruct* cs = c->createInfo.Get();
        cs->x = nodes[i]->x;
        cs->y = nodes[i]->y;
        cs->width = nodes[i]->cx;
        cs->height = nodes[i]->cy;
    }

    moduleBox.Create(me);
    moduleGroup.Create(me);
    searchButton.Create(me);
    searchButton.Send(WM_SETFONT, reinterpret_cast<WPARAM>(small), TRUE);
    serialGroup.Create(me);
    serverGroup.Create(me);
    baudBox.Create(me);
    zo::StringList rates;
    rates.Split(kBaudRates, L",");
    for (unsigned i = 0; i < rates.Count(); ++i) baudBox.InsertItem(zo::NPOS, rates[i].Handle());
    baudLabel.Create(me);
    hostLabel.Create(me);
    portLabel.Create(me);
    hostBox.Create(me);
    // The default host now; the local address follows it when found.
    zo::StringList hostItems;
    hostItems.Split(kDefaultHosts, L",");
    for (unsigned i = 0; i < hostItems.Count(); ++i)
        if (hostItems[i].Length()) hostBox.InsertItem(zo::NPOS, hostItems[i].Handle());
    portEdit.Create(me);
    wifiGroup.Create(me);
    apLabel.Create(me);
    apBox.Create(me);
    apRefreshButton.Create(me);
    apRefreshButton.Send(WM_SETFONT, reinterpret_cast<WPARAM>(small), TRUE);
    passLabel.Create(me);
    passEdit.Create(me);
    infoEdit.Create(me);
    addressEdit.Create(me);
    refreshButton.Create(me);
    saveButton.Create(me);

    AttachControls();
    // Datagrams that came before the window existed are waiting (queued, or
    // in the socket's buffer): from now on the receive thread wakes this
    // window, and this first wake takes whatever is already queued, in order.
    uiWindow.store(me);
    Post(WM_DATAGRAMS);
    // The threads start once the window has been shown: starting a thread
    // under Wine costs the window's creation and first showing several ms.
    Post(WM_SHOWN);
}

void MainFrm::OnShown(zo::Message*, zo::IWnd*) {
    receiver.Start();
    // The local address takes a name look-up that loads the resolver's
    // libraries (over 10 ms on a cold start), so a thread of its own finds
    // it and the host list gets it when it comes. The thread holds nothing
    // of this object, only the window it posts to, so it is never waited
    // for; a window gone by then ignores it.
    if (HANDLE t = CreateThread(nullptr, 0, LookUpLocalAddress, Handle(), 0, nullptr))
        CloseHandle(t);
    else
        Post(WM_LOCAL_ADDRESS, static_cast<WPARAM>(proto::LocalAddress().ToLong()));
}

void MainFrm::OnCommand(unsigned short, unsigned short code, zo::IWnd* source) {
    if (!source) return;
    if (source == &searchButton)
        StartSweep();
    else if (source == &saveButton)
        Save();
    else if (source == &apRefreshButton)
        SendToModule(proto::kApListRequest, 0);
    else if (source == &refreshButton)
        RefreshByAddress();
    if (source == &moduleBox && code == CBN_SELCHANGE) ChooseModule();
}

void MainFrm::OnEnter(zo::IWnd* focused, zo::Frame*) {
    // Enter reads the module whose address was typed; anywhere else it
    // does nothing, so no key saves by accident.
    if (focused == &addressEdit) RefreshByAddress();
}

void MainFrm::ShowModule(ModleParam* record) {
    if (!record) return;
    hostBox.SetText(record->serv_host.Handle() ? record->serv_host.Handle() : L"");
    zo::String text;
    text.Format(L"%d", record->serv_port);
    portEdit.SetText(text.Handle());

    // Each box shows exactly this module's value, so a later save cannot
    // write the previous module's baud rate or access point into this one.
    text.Format(L"%d", record->serial_rate);
    if (SelectExact(baudBox, text.Handle()) < 0) {
        baudBox.SetSelection(-1);
        baudBox.SetText(text.Handle());
    }
    const wchar_t* ssid = record->ap_ssid.Handle() ? record->ap_ssid.Handle() : L"";
    if (!*ssid) {
        apBox.SetSelection(-1);
        apBox.SetText(L"");
    } else if (SelectExact(apBox, ssid) < 0) {
        int i = apBox.InsertItem(zo::NPOS, ssid);
        if (i >= 0) apBox.SetSelection(i);
    }

    passEdit.SetText(record->ap_pass.Handle() ? record->ap_pass.Handle() : L"");
    zo::String dotted;
    dotted = record->ether_ip.ToString();
    addressEdit.SetText(dotted.Handle());
    proto::AddressLines(*record, text);
    infoEdit.SetText(text.Handle());
    selected = record;
}

void MainFrm::StartSweep() {
    // A second click while a sweep runs starts nothing: the button is
    // disabled here, on the click, and enabled again when the sweep ends.
    if (sweeping.load()) return;
    if (sweepThread.Handle()) {
        sweepThread.Wait(INFINITE);
        sweepThread.Close();
    }
    searchButton.Enable(false);
    sweeping.store(true);
    sweepSent.store(0);
    sweepStop.Reset();
    if (!sweepThread.StartThread(this, &MainFrm::SweepModules, proto::kReadRequest, 0)) {
        sweeping.store(false);
        searchButton.Enable(true);
        return;
    }
    ShowProgress();
    SetTimer(Handle(), kProgressTimer, kProgressMs, nullptr);
}

void MainFrm::ShowProgress() {
    zo::String text;
    if (sweeping.load())
        text.Format(L"搜索中 %u/%u", sweepSent.load(), kSweepHosts);
    else
        text = L"搜索联网模块";
    searchButton.SetText(text.Handle());
}

void MainFrm::OnProgressTimer(zo::Message* m, zo::IWnd*) {
    if (m->wParam != kProgressTimer) return;
    m->flags |= zo::Message::handled;
    ShowProgress();
}

void MainFrm::SweepModules(const char* request, int length) {
    if (length == 0) length = static_cast<int>(strlen(request));
    zo::IP local = proto::LocalAddress();
    for (unsigned k = 1; k <= kSweepHosts; ++k) {
        sender.SendTo(request, length, proto::kModulePort, proto::SweepHost(local, k));
        sweepSent.store(k);
        // Modules are not flooded: one request every 50 ms. The wait ends
        // early when the window goes, so the sweep never outlives it long.
        if (sweepStop.Wait(kSweepIntervalMs)) break;
    }
    HWND h = uiWindow.load();
    if (h) PostMessageW(h, WM_SWEEP_DONE, 0, 0);
}

void MainFrm::OnLocalAddress(zo::Message* m, zo::IWnd*) {
    zo::String dotted;
    dotted = zo::IP(static_cast<unsigned long>(m->wParam)).ToString();
    hostBox.InsertItem(zo::NPOS, dotted.Handle());
}

void MainFrm::OnSweepDone(zo::Message*, zo::IWnd*) {
    if (sweepThread.Handle()) {
        sweepThread.Wait(INFINITE);   // it posted this as its last act
        sweepThread.Close();
    }
    sweeping.store(false);
    KillTimer(Handle(), kProgressTimer);
    ShowProgress();
    searchButton.Enable(true);
}

void MainFrm::SendToModule(const char* data, int length) {
    if (!selected || !data) return;
    // The socket may broadcast: a request meant for one module (a save
    // carries the WiFi password) goes only to one module's address.
    zo::String refusal;
    proto::RefusalText(selected->ether_ip, refusal);
    if (refusal.Length()) {
        MessageBoxW(Handle(), refusal.Handle(), L"Error", MB_ICONERROR | MB_OK);
        return;
    }
    if (length == 0) length = static_cast<int>(strlen(data));
    sender.SendTo(data, length, proto::kModulePort, selected->ether_ip);
}

bool MainFrm::CollectSettings(zo::String& out) {
    if (!selected) return false;
    zo::String baud, host, port, ssid, pass;
    baudBox.GetText(baud);
    hostBox.GetText(host);
    portEdit.GetText(port);
    apBox.GetText(ssid);
    passEdit.GetText(pass);
    proto::SettingsTexts texts = {baud.Handle(), host.Handle(), port.Handle(),
                                  ssid.Handle(), pass.Handle(), selected->mac.Handle()};
    proto::BuildSettings(texts, out);
    return true;
}

void MainFrm::Save() {
    zo::String settings;
    if (!CollectSettings(settings)) {
        MessageBoxW(Handle(), L"请先选择一个模块", L"Error", MB_ICONERROR | MB_OK);
        return;
    }
    zo::Memory<char> bytes;
    int n = proto::BuildWriteRequest(settings, bytes);
    if (n > 0) SendToModule(bytes.data, n);
}

void MainFrm::RefreshByAddress() {
    zo::String text;
    addressEdit.GetText(text);
    zo::IP ip(text.Handle() ? text.Handle() : L"");
    sender.SendTo(proto::kReadRequest, static_cast<int>(strlen(proto::kReadRequest)), proto::kModulePort, ip);
}

void MainFrm::ChooseModule() {
    int i = moduleBox.GetSelection();
    zo::String mac;
    if (i < 0 || !moduleBox.GetItemText(static_cast<unsigned>(i), mac)) return;
    if (ModleParam* record = FindModule(mac.Handle())) ShowModule(record);
}

ModleParam* MainFrm::FindModule(const wchar_t* mac) { return proto::FindModule(modules, mac); }

ModleParam* MainFrm::MergeReport(const zo::Json& report, bool& existed) {
    return proto::MergeReport(modules, report, existed);
}

void MainFrm::FillAccessPoints(const wchar_t* text) {
    zo::String shown;
    apBox.GetText(shown);
    zo::StringList names;
    proto::AccessPointNames(text, names);
    // A list may name thousands: the box's list is redrawn once, not once a name.
    apBox.Send(WM_SETREDRAW, FALSE);
    apBox.Clear();
    apBox.InsertItem(zo::NPOS, shown.Handle() ? shown.Handle() : L"");
    for (unsigned i = 0; i < names.Count(); ++i) apBox.InsertItem(zo::NPOS, names[i].Handle());
    apBox.Send(WM_SETREDRAW, TRUE);
    apBox.SelectText(shown.Handle() ? shown.Handle() : L"");
}

void MainFrm::OnDatagram(char* data, int length, zo::SOCKADDR& from) {
    Datagram* d = new Datagram;
    if (!d) return;
    d->length = length;
    d->from = from;
    if (proto::IsApList(data, length)) {
        d->apList = true;
        proto::DecodeDatagram(data + proto::kApListPrefixLength, length - proto::kApListPrefixLength, d->text);
    } else {
        proto::DecodeDatagram(data, length, d->text);
        d->parsed = proto::ParseReport(d->text, d->report);
    }
    d->Seal();
    if (queue.Push(d)) WakeUi();
}

void MainFrm::WakeUi() {
    HWND h = uiWindow.load();
    if (h) PostMessageW(h, WM_DATAGRAMS, 0, 0);
}

void MainFrm::HandleDatagram(Datagram& d) {
    if (d.apList) {
        FillAccessPoints(d.text.Handle() ? d.text.Handle() : L"");
    } else {
        zo::Print(L"%s", d.text.Handle() ? d.text.Handle() : L"");
        if (d.parsed) {
            bool existed = false;
            ModleParam* record = MergeReport(d.report, existed);
            if (!record) RefusedNewModule();
            if (record) {
                if (!existed) moduleBox.InsertItem(zo::NPOS, record->mac.Handle() ? record->mac.Handle() : L"");
                // While one module is known its reports refresh the boxes.
                if (moduleBox.GetCount() == 1) {
                    moduleBox.SetSelection(0);
                    ShowModule(record);
                }
            }
        }
    }
    zo::PrintA("recv: %d,%s", d.length, d.from.GetIp().ToString());
}

void MainFrm::RefusedNewModule() {
    if (modules.Count() < proto::kMaxModules) return;   // no memory: nothing to say
    // A flood of new macs is traced once, not once a datagram: a burst ends
    // when no new mac has been refused for a while.
    DWORD now = GetTickCount();
    if (!refusingModules || now - lastRefusal > kRefusalBurstMs)
        zo::PrintA("recv: the module list is full (%u modules), reports of new modules are ignored",
                   proto::kMaxModules);
    refusingModules = true;
    lastRefusal = now;
}

void MainFrm::DrainQueue() {
    KillTimer(Handle(), kDrainTimer);
    // A second without datagrams after a burst gives back the heap pages it left.
    zo::HeapTrim::AfterQuiet(1000);
    auto start = std::chrono::steady_clock::now();
    while (Datagram* d = queue.Pop()) {
        HandleDatagram(*d);
        delete d;
        if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(kDrainSliceMs)) {
            // The rest waits for a timer, which comes after input and painting.
            SetTimer(Handle(), kDrainTimer, USER_TIMER_MINIMUM, nullptr);
            break;
        }
    }
    if (unsigned dropped = queue.TakeDropped())
        zo::PrintA("recv: %u datagrams dropped, too many were waiting", dropped);
}

void MainFrm::OnDatagrams(zo::Message* m, zo::IWnd*) {
    m->flags |= zo::Message::handled;
    if (uiWindow.load()) DrainQueue();
}

void MainFrm::OnDrainTimer(zo::Message* m, zo::IWnd*) {
    if (m->wParam != kDrainTimer) return;
    m->flags |= zo::Message::handled;
    if (uiWindow.load()) DrainQueue();
}

void MainFrm::OnDestroy(zo::Message*, zo::IWnd*) {
    uiWindow.store(nullptr);
    KillTimer(Handle(), kDrainTimer);
    KillTimer(Handle(), kProgressTimer);
    sweepStop.Set();
}
