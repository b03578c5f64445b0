// MainFrm: the tool's only window. It owns the controls, the layout tree,
// the module records and both endpoints, and wires the buttons and the
// module list to the protocol. One thread owns the data: the records,
// `selected` and the controls are touched on the UI thread only; the
// receive thread decodes and parses each datagram and hands the result over
// through a bounded queue, and the sweep thread only sends and posts.
#pragma once
#include <atomic>

#include "app/DatagramQueue.h"
#include "app/module/ModleParam.h"
#include "core/ObjectList.h"
#include "net/StopSignal.h"
#include "net/Thread.h"
#include "net/UDPReceiver.h"
#include "net/UDPSender.h"
#include "window/Button.h"
#include "window/ComboBox.h"
#include "window/Edit.h"
#include "window/Font.h"
#include "window/Frame.h"
#include "window/GroupBox.h"
#include "window/Label.h"
#include "window/TopLayout.h"

class MainFrm : public zo::Frame {
public:
    // Private messages of the window: datagrams are waiting; the sweep
    // ended; the local address was found (wParam, network order); the
    // window is up (posted by OnCreate, so it comes after the first showing)
    // and the receive and look-up threads may start.
    static const UINT WM_DATAGRAMS = WM_APP + 0x101;
    static const UINT WM_SWEEP_DONE = WM_APP + 0x102;
    static const UINT WM_LOCAL_ADDRESS = WM_APP + 0x103;
    static const UINT WM_SHOWN = WM_APP + 0x104;
    // The UI thread spends at most this long on the queue per turn of the
    // loop, then lets input and painting through before it goes on.
    static const DWORD kDrainSliceMs = 8;
    static const DWORD kSweepIntervalMs = 50;
    static const unsigned kSweepHosts = 254;
    // How often the search button shows how far a sweep is.
    static const UINT kProgressMs = 250;

    // stopEvent false makes the sweep's stop signal without an event, as the
    // system leaves it when it has none to give.
    explicit MainFrm(bool stopEvent = true);
    ~MainFrm();

    zo::TopLayout root;
    zo::GroupBox serialGroup;
    zo::GroupBox serverGroup;
    zo::GroupBox moduleGroup;
    zo::GroupBox wifiGroup;
    zo::ComboBox baudBox;
    zo::ComboBox moduleBox;
    zo::ComboBox apBox;
    zo::ComboBox hostBox;
    zo::Label baudLabel;
    zo::Label hostLabel;
    zo::Label portLabel;
    zo::Label apLabel;
    zo::Label passLabel;
    zo::Edit portEdit;
    zo::Edit passEdit;
    zo::Edit infoEdit;
    zo::Edit addressEdit;
    zo::Button searchButton;
    zo::Button apRefreshButton;
    zo::Button refreshButton;
    zo::Button saveButton;
    zo::UDPReceiver receiver;
    zo::UDPSender sender;
    zo::Font buttonFont;
    zo::ObjectList<ModleParam> modules;
    ModleParam* selected = nullptr;

    void OnCreate(zo::IWnd* window);
    void OnDpi(int dpi, zo::View*);
    void OnEnter(zo::IWnd* focused, zo::Frame*);
    void OnCommand(unsigned short id, unsigned short code, zo::IWnd* source);
    void ShowModule(ModleParam* record);

    // Protocol operations (the UI thread unless said otherwise).
    void SweepModules(const char* request, int length);   // its own thread
    void SendToModule(const char* data, int length);
    bool CollectSettings(zo::String& out);
    void OnDatagram(char* data, int length, zo::SOCKADDR& from);   // receive thread
    void FillAccessPoints(const wchar_t* text);
    ModleParam* MergeReport(const zo::Json& report, bool& existed);
    ModleParam* FindModule(const wchar_t* mac);

    // The host name that heads the server list, followed by its ",".
    static const wchar_t kDefaultHosts[];
    static const wchar_t kBaudRates[];

    // The layout node of that name ("A", "D1b3", ...); null when none.
    zo::Layout* Node(const wchar_t* name) const;
    bool Sweeping() const { return sweeping.load(); }
    const DatagramQueue& Queue() const { return queue; }

private:
    void BuildLayout();
    void AttachControls();
    void Save();
    void RefreshByAddress();
    void ChooseModule();
    void StartSweep();
    void ShowProgress();
    void HandleDatagram(Datagram& d);
    void DrainQueue();
    void RefusedNewModule();
    void OnDatagrams(zo::Message* m, zo::IWnd*);
    void OnDrainTimer(zo::Message* m, zo::IWnd*);
    void OnProgressTimer(zo::Message* m, zo::IWnd*);
    void OnSweepDone(zo::Message* m, zo::IWnd*);
    void OnLocalAddress(zo::Message* m, zo::IWnd*);
    void OnShown(zo::Message* m, zo::IWnd*);
    void OnDestroy(zo::Message* m, zo::IWnd*);
    void WakeUi();

    zo::ICtrl* ControlAt(int index);   // in creation order; null when none
    static const unsigned kLayoutNodes = 25;
    zo::Layout* nodes[kLayoutNodes] = {};   // owned by root's tree

    DatagramQueue queue;               // receive thread to UI thread
    static const DWORD kRefusalBurstMs = 1000;
    bool refusingModules = false;      // a new mac was refused (list full)
    DWORD lastRefusal = 0;             // when the last one was
    std::atomic<HWND> uiWindow{nullptr};   // set once the controls exist
    zo::Thread sweepThread;            // the running sweep, if any
    zo::StopSignal sweepStop;          // set to end a sweep early
    std::atomic<bool> sweeping{false};
    std::atomic<unsigned> sweepSent{0};   // hosts the running sweep has asked
    HICON smallIcon = nullptr;         // owned; the window shows them
    HICON bigIcon = nullptr;
};
