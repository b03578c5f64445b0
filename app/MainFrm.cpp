// The main window: construction, controls and layout, the handlers that
// wire them to the module core, and the hand-over of datagrams to the UI
// thread.
#include "app/MainFrm.h"

#include <chrono>
#include <cstring>
#include <initializer_list>

#include "app/Notices.h"
#include "app/Resource.h"
#include "app/module/Address.h"
#include "app/module/Destination.h"
#include "app/module/Exchange.h"
#include "app/module/Finder.h"
#include "core/Print.h"
#include "core/StringList.h"
#include "data/HeapTrim.h"
#include "data/WndPosKeeper.h"
#include "window/Dpi.h"

namespace {

const UINT_PTR kDrainTimer = 1;
const UINT_PTR kProgressTimer = 2;

HICON LoadAppIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

const wchar_t* Or(const zo::String& s) { return s.Handle() ? s.Handle() : L""; }

// Finds the local address and posts it to the window (in wParam, in
// network order); it runs on a thread of its own.
DWORD WINAPI LookUpLocalAddress(void* window) {
    zo::IP local = proto::LocalAddress();
    PostMessageW(static_cast<HWND>(window), MainFrm::WM_LOCAL_ADDRESS, static_cast<WPARAM>(local.ToLong()), 0);
    return 0;
}

} // namespace

MainFrm::MainFrm() {
    for (int id = 0; id < mainlayout::kControlCount; ++id)
        if (const wchar_t* title = mainlayout::kTitles[id]) Control(static_cast<mainlayout::Control>(id))->createInfo->title = title;
    infoEdit.createInfo->style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL;
    infoEdit.createInfo->style &= ~WS_TABSTOP;   // it takes no input
    moduleBox.fitListToEntries = true;   // similar macs differ only at their end
    // The boxes take input, so the keyboard stops at them.
    for (zo::ComboBox* box : {&moduleBox, &baudBox, &hostBox, &apBox}) box->createInfo->style |= WS_TABSTOP;

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
    dpiEvent.Add(this, &MainFrm::OnDpi);
    enterEvent.Add(this, &MainFrm::OnEnter);
    AddMessageHandler(WM_DATAGRAMS, WM_DATAGRAMS, this, &MainFrm::OnDatagrams);
    AddMessageHandler(WM_TIMER, WM_TIMER, this, &MainFrm::OnTimer);
    AddMessageHandler(WM_SEARCH_DONE, WM_SEARCH_DONE, this, &MainFrm::OnSearchDone);
    AddMessageHandler(WM_VERIFY_DONE, WM_VERIFY_DONE, this, &MainFrm::OnVerifyDone);
    AddMessageHandler(WM_LOCAL_ADDRESS, WM_LOCAL_ADDRESS, this, &MainFrm::OnLocalAddress);
    AddMessageHandler(WM_SHOWN, WM_SHOWN, this, &MainFrm::OnShown);
    AddMessageHandler(WM_DESTROY, WM_DESTROY, this, &MainFrm::OnDestroy);

    // Requests of the UI thread go out of one socket that may broadcast;
    // replies come to port 6643 whatever port a request left from.
    sender.OpenBroadcast(proto::kModulePort);
    receiver.datagramHandler.Bind(this, &MainFrm::OnDatagram);
    // The port is claimed now; receiving starts once the window is shown
    // (OnShown), and whatever comes meanwhile waits in the socket's buffer.
    receiver.Bind(proto::kToolPort);

    // The layout tree is built now so the smallest client size follows
    // from it; the controls are attached once they exist.
    mainlayout::Build(root, nodes);
    root.limitsView = true;
    // The first window, before any saved place, is made at least that large;
    // the window corrects it to its own DPI.
    root.SizeViewForCreation(zo::SystemDpi());
}

MainFrm::~MainFrm() {
    // No reply handler runs from here on, so nothing reaches the jobs either.
    receiver.Stop();
    search.Stop();
    verify.Stop();
    modules.Clear();
    selected = nullptr;
    sender.Close();
    if (smallIcon) DestroyIcon(smallIcon);
    if (bigIcon) DestroyIcon(bigIcon);
    zo::WndPosKeeper::Instance()->Unregister(this);
}

zo::ICtrl* MainFrm::Control(mainlayout::Control id) {
    using namespace mainlayout;
    zo::ICtrl* const byId[kControls] = {
        &moduleBox, &moduleGroup, &searchButton, &serialGroup, &serverGroup, &baudBox, &baudLabel,
        &hostLabel, &portLabel, &hostBox, &portEdit, &wifiGroup, &apLabel, &apBox,
        &apRefreshButton, &passLabel, &passEdit, &infoEdit, &addressEdit, &refreshButton, &saveButton};
    static_assert(sizeof(byId) / sizeof(byId[0]) == kControlCount, "one control an id");
    return id >= 0 && id < kControlCount ? byId[id] : nullptr;
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
    using namespace mainlayout;
    HWND me = Handle();
    zo::Font* font = zo::GetDefaultFont();
    font->SetSize(20);
    font->Realize(dpi);
    HFONT small = buttonFont.Handle() ? buttonFont.Handle() : font->Handle();

    // Every control is made where the layout puts it: moving and sizing
    // 21 windows after their creation took longer than creating them there.
    // The tree is arranged now, with no window in it yet.
    root.Update(nullptr);
    for (unsigned i = 0; i < kNodes; ++i) {
        zo::ICtrl* c = Control(kRows[i].control);
        if (!nodes[i] || !c) continue;
        zo::CreateStruct* cs = c->createInfo.Get();
        cs->x = nodes[i]->x;
        cs->y = nodes[i]->y;
        cs->width = nodes[i]->cx;
        cs->height = nodes[i]->cy;
    }
    for (int id = 0; id < kControlCount; ++id) Control(static_cast<mainlayout::Control>(id))->Create(me);
    searchButton.Send(WM_SETFONT, reinterpret_cast<WPARAM>(small), TRUE);
    apRefreshButton.Send(WM_SETFONT, reinterpret_cast<WPARAM>(small), TRUE);
    zo::StringList rates, hosts;
    rates.Split(mainlayout::kBaudRates, L",");
    for (unsigned i = 0; i < rates.Count(); ++i) baudBox.InsertItem(zo::NPOS, rates[i].Handle());
    // The default host now; the local address follows it when found.
    hosts.Split(mainlayout::kDefaultHosts, L",");
    for (unsigned i = 0; i < hosts.Count(); ++i)
        if (hosts[i].Length()) hostBox.InsertItem(zo::NPOS, hosts[i].Handle());

    // Each control was made on its node's rectangle, so it is attached
    // without being placed again.
    for (unsigned i = 0; i < kNodes; ++i)
        if (zo::ICtrl* c = Control(kRows[i].control))
            if (nodes[i]) nodes[i]->AttachPlaced(c->Handle());
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
    // it. The thread holds only the window it posts to, so it is never
    // waited for; a window gone by then ignores it.
    if (HANDLE t = CreateThread(nullptr, 0, LookUpLocalAddress, Handle(), 0, nullptr))
        CloseHandle(t);
    else
        Post(WM_LOCAL_ADDRESS, static_cast<WPARAM>(proto::LocalAddress().ToLong()));
}

void MainFrm::OnCommand(unsigned short, unsigned short code, zo::IWnd* source) {
    if (!source) return;
    if (source == &searchButton)
        StartSearch();
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

void MainFrm::Warn(const wchar_t* text, const wchar_t* caption) {
    MessageBoxW(Handle(), text, caption, MB_ICONERROR | MB_OK);
}

void MainFrm::ShowModule(ModleParam* record) {
    if (!record) return;
    hostBox.SetText(Or(record->serv_host));
    zo::String text;
    text.Format(L"%d", record->serv_port);
    portEdit.SetText(text.Handle());

    // Each box shows exactly this module's value, so a later save cannot
    // write the previous module's baud rate or access point into this one.
    text.Format(L"%d", record->serial_rate);
    if (baudBox.SelectExact(text.Handle()) < 0) {
        baudBox.SetSelection(-1);
        baudBox.SetText(text.Handle());
    }
    const wchar_t* ssid = Or(record->ap_ssid);
    if (!*ssid) {
        apBox.SetSelection(-1);
        apBox.SetText(L"");
    } else if (apBox.SelectExact(ssid) < 0) {
        // The box is bounded: a flood of ever new names for one module
        // pushes the oldest out.
        while (apBox.GetCount() >= kMaxApNames) apBox.Send(CB_DELETESTRING, 0);
        int i = apBox.InsertItem(zo::NPOS, ssid);
        if (i >= 0) apBox.SetSelection(i);
    }
    passEdit.SetText(Or(record->ap_pass));
    addressEdit.SetText(proto::Dotted(record->ether_ip).c_str());
    selected = record;
    ShowInfo(*record);
}

void MainFrm::ShowInfo(const ModleParam& record) {
    zo::String text;
    proto::AddressLines(record, text);
    if (savedLine.Length() && savedMac == record.mac) text += savedLine;
    infoEdit.SetText(text.Handle());
}

void MainFrm::StartSearch() {
    // A second click while a search runs starts nothing: the button is
    // disabled on the click and enabled again when the search ends.
    if (searching) return;
    std::vector<proto::Adapter> adapters;
    proto::LocalAdapters(adapters);
    proto::SweepPlan plan = proto::EveryAdapterPlan(adapters, localAddress);
    searchPlanned = proto::PlannedRequests(plan);
    proto::Finder* finder = new proto::Finder(plan);
    unsigned lanes = finder->Lanes();
    if (!search.Start(finder, lanes, kSweepIntervalMs, Handle(), WM_SEARCH_DONE, ++searchNumber)) return;
    searching = true;
    searchButton.Enable(false);
    ShowProgress();
    SetTimer(Handle(), kProgressTimer, kProgressMs, nullptr);
}

void MainFrm::ShowProgress() {
    zo::String text;
    if (searching)
        text.Format(L"搜索中 %u/%u", search.Sent(), searchPlanned);
    else
        text = L"搜索联网模块";
    searchButton.SetText(text.Handle());
}

void MainFrm::OnTimer(zo::Message* m, zo::IWnd*) {
    if (m->wParam == kProgressTimer) {
        m->flags |= zo::Message::handled;
        ShowProgress();
    } else if (m->wParam == kDrainTimer) {
        m->flags |= zo::Message::handled;
        if (uiWindow.load()) DrainQueue();
    }
}

void MainFrm::OnSearchDone(zo::Message* m, zo::IWnd*) {
    if (m->wParam != searchNumber) return;
    search.Finish();
    searching = false;
    KillTimer(Handle(), kProgressTimer);
    ShowProgress();
    searchButton.Enable(true);
}

void MainFrm::OnLocalAddress(zo::Message* m, zo::IWnd*) {
    localAddress = zo::IP(static_cast<unsigned long>(m->wParam));
    zo::String dotted;
    dotted = localAddress.ToString();
    hostBox.InsertItem(zo::NPOS, dotted.Handle());
}

void MainFrm::SendToModule(const char* data, int length) {
    if (!selected || !data) return;
    // The socket may broadcast: a request meant for one module goes only
    // to an address that can be one module's.
    zo::String refusal;
    proto::RefusalText(selected->ether_ip, refusal);
    if (refusal.Length()) return Warn(refusal.Handle());
    if (length == 0) length = static_cast<int>(strlen(data));
    sender.SendTo(data, length, proto::kModulePort, selected->ether_ip);
}

void MainFrm::Save() {
    if (!selected) return Warn(L"请先选择一个模块");
    zo::String refusal;
    proto::RefusalText(selected->ether_ip, refusal);
    if (refusal.Length()) return Warn(refusal.Handle());
    zo::String baud, host, port, ssid, pass;
    baudBox.GetText(baud);
    hostBox.GetText(host);
    portEdit.GetText(port);
    apBox.GetText(ssid);
    passEdit.GetText(pass);
    proto::SettingsTexts texts = {Or(baud), Or(host), Or(port), Or(ssid), Or(pass), Or(selected->mac)};
    zo::Memory<char> bytes;
    proto::SaveProblem problem;
    int n = proto::BuildSave(*selected, texts, bytes, problem);
    if (n <= 0) {
        notices::SaveRefused(problem, refusal);
        return Warn(refusal.Handle());
    }
    // A second save ends the first one's verification.
    verify.Stop();
    savedLine = L"";
    proto::ExchangeOptions options;
    proto::Exchange* save = new proto::Exchange(selected->ether_ip, std::string(bytes.data, static_cast<size_t>(n)),
                                                *selected, proto::Intended(*selected, texts), options);
    if (!verify.Start(save, 1, kSweepIntervalMs, Handle(), WM_VERIFY_DONE, ++verifyNumber))
        Warn(L"保存没有发送：网络不可用。");
}

void MainFrm::OnVerifyDone(zo::Message* m, zo::IWnd*) {
    if (m->wParam != verifyNumber) return;
    proto::Exchange* e = static_cast<proto::Exchange*>(verify.Finish());
    if (!e) return;
    zo::String text;
    switch (e->result) {
    case proto::Exchange::kOk: {
        SYSTEMTIME now;
        GetLocalTime(&now);
        savedMac = e->intended.mac;
        savedLine.Format(L"已保存 %02u:%02u:%02u\r\n", now.wHour, now.wMinute, now.wSecond);
        if (selected && selected->mac == savedMac) ShowInfo(*selected);
        return;
    }
    case proto::Exchange::kDiffers: notices::NotTaken(e->intended, e->reported, text); break;
    case proto::Exchange::kSilentAfterSave:
        text.Format(L"保存已发送，但模块 %s 之后没有回答，不知道它是否接受了这些值。", Or(e->intended.mac));
        break;
    default: text = L"保存没有完成。"; break;
    }
    MessageBoxW(Handle(), text.Handle(), L"保存", MB_ICONWARNING | MB_OK);
}

void MainFrm::RefreshByAddress() {
    zo::String text;
    addressEdit.GetText(text);
    // An empty address asks every module on the segment (a broadcast read);
    // a text that is no address is refused, not read as one.
    zo::IP ip;
    if (text.Length() && !proto::ParseAddress(text.Handle(), ip)) {
        zo::String refusal;
        notices::NotAnAddress(text.Handle(), refusal);
        return Warn(refusal.Handle());
    }
    sender.SendTo(proto::kReadRequest, static_cast<int>(strlen(proto::kReadRequest)), proto::kModulePort, ip);
}

void MainFrm::ChooseModule() {
    int i = moduleBox.GetSelection();
    zo::String mac;
    if (i < 0 || !moduleBox.GetItemText(static_cast<unsigned>(i), mac)) return;
    ModleParam* record = modules.Find(mac.Handle());
    if (!record) return;
    // A new choice ends the verification of a save to another module.
    if (record != selected) verify.Stop();
    ShowModule(record);
}

void MainFrm::FillAccessPoints(const wchar_t* text) {
    zo::String shown;
    apBox.GetText(shown);
    zo::StringList names;
    proto::AccessPointNames(text, names);
    // A list may name thousands: the box's list is redrawn once, not once a
    // name, and keeps at most kMaxApNames names.
    apBox.Send(WM_SETREDRAW, FALSE);
    apBox.Clear();
    apBox.InsertItem(zo::NPOS, Or(shown));
    for (unsigned i = 0; i < names.Count() && i + 1 < kMaxApNames; ++i) apBox.InsertItem(zo::NPOS, names[i].Handle());
    apBox.Send(WM_SETREDRAW, TRUE);
    apBox.SelectText(Or(shown));
}

void MainFrm::OnDatagram(char* data, int length, zo::SOCKADDR& from) {
    // A running search or verification sees every datagram too.
    search.Deliver(data, length, from.GetIp());
    verify.Deliver(data, length, from.GetIp());
    Datagram* d = new Datagram;
    if (!d) return;
    d->Read(data, length, from);
    HWND h = uiWindow.load();
    if (queue.Push(d) && h) PostMessageW(h, WM_DATAGRAMS, 0, 0);
}

void MainFrm::HandleDatagram(Datagram& d) {
    if (d.apList) {
        FillAccessPoints(Or(d.text));
    } else {
        zo::Print(L"%s", Or(d.text));
        bool added = false;
        ModleParam* record = d.parsed ? modules.File(d.report, d.utf8, added, GetTickCount()) : nullptr;
        if (record) {
            if (added) moduleBox.InsertItem(zo::NPOS, Or(record->mac));
            // While one module is known its reports refresh the boxes.
            if (moduleBox.GetCount() == 1) {
                moduleBox.SetSelection(0);
                ShowModule(record);
            }
        }
    }
    zo::PrintA("recv: %d,%s", d.length, d.from.GetIp().ToString());
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

void MainFrm::OnDestroy(zo::Message*, zo::IWnd*) {
    uiWindow.store(nullptr);
    KillTimer(Handle(), kDrainTimer);
    KillTimer(Handle(), kProgressTimer);
    search.Stop();
    verify.Stop();
}
