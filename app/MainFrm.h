// MainFrm: the tool's only window. It owns the controls, the layout tree,
// the module list and the endpoints, and wires the buttons and the module
// list to the module core. One thread owns the data: the records,
// `selected` and the controls are touched on the UI thread only; the
// receive thread decodes and parses each datagram and hands it over through
// a bounded queue (and a copy to a running search or save), and the search
// and the save's verification run the core's engine on threads of their
// own, which post their end.
#pragma once
#include <atomic>

#include "app/DatagramQueue.h"
#include "app/MainLayout.h"
#include "app/module/EngineThread.h"
#include "app/module/ModuleList.h"
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
    // Private messages: datagrams are waiting; the search ended (wParam: its
    // number); the local address was found (wParam, network order); the
    // window is up (posted by OnCreate, so it comes after the first showing)
    // and the receive and look-up threads may start; a save's verification
    // ended (wParam: its number).
    enum : UINT { WM_DATAGRAMS = WM_APP + 0x101, WM_SEARCH_DONE, WM_LOCAL_ADDRESS, WM_SHOWN, WM_VERIFY_DONE };
    // The UI thread spends at most this long on the queue per turn of the
    // loop, then lets input and painting through before it goes on.
    static const DWORD kDrainSliceMs = 8;
    // Each network is asked one host every 50 ms, so modules are not flooded.
    static const DWORD kSweepIntervalMs = 50;
    // How often the search button shows how far a search is.
    static const UINT kProgressMs = 250;
    // The access-point box keeps at most this many names.
    static constexpr int kMaxApNames = 256;

    MainFrm();
    ~MainFrm();

    zo::TopLayout root;
    zo::GroupBox serialGroup, serverGroup, moduleGroup, wifiGroup;
    zo::ComboBox baudBox, moduleBox, apBox, hostBox;
    zo::Label baudLabel, hostLabel, portLabel, apLabel, passLabel;
    zo::Edit portEdit, passEdit, infoEdit, addressEdit;
    zo::Button searchButton, apRefreshButton, refreshButton, saveButton;
    zo::UDPReceiver receiver;
    zo::UDPSender sender;
    zo::Font buttonFont;
    proto::ModuleList modules;
    ModleParam* selected = nullptr;

    void OnCreate(zo::IWnd* window);
    void OnDpi(int dpi, zo::View*);
    void OnEnter(zo::IWnd* focused, zo::Frame*);
    void OnCommand(unsigned short id, unsigned short code, zo::IWnd* source);
    void ShowModule(ModleParam* record);
    void SendToModule(const char* data, int length);
    void OnDatagram(char* data, int length, zo::SOCKADDR& from);   // receive thread
    void FillAccessPoints(const wchar_t* text);


    bool Sweeping() const { return search.Running() || searching; }
    bool Verifying() const { return verify.Running(); }
    const DatagramQueue& Queue() const { return queue; }

private:
    zo::ICtrl* Control(mainlayout::Control id);
    void Save();
    void RefreshByAddress();
    void ChooseModule();
    void StartSearch();
    void ShowProgress();
    void ShowInfo(const ModleParam& record);
    void HandleDatagram(Datagram& d);
    void DrainQueue();
    void Warn(const wchar_t* text, const wchar_t* caption = L"Error");
    void OnDatagrams(zo::Message* m, zo::IWnd*);
    void OnTimer(zo::Message* m, zo::IWnd*);
    void OnSearchDone(zo::Message* m, zo::IWnd*);
    void OnVerifyDone(zo::Message* m, zo::IWnd*);
    void OnLocalAddress(zo::Message* m, zo::IWnd*);
    void OnShown(zo::Message* m, zo::IWnd*);
    void OnDestroy(zo::Message* m, zo::IWnd*);

    zo::Layout* nodes[mainlayout::kNodes] = {};   // owned by root's tree
    DatagramQueue queue;                // receive thread to UI thread
    std::atomic<HWND> uiWindow{nullptr};   // set once the controls exist
    proto::EngineThread search;         // the running search, if any
    proto::EngineThread verify;         // the running save's verification
    bool searching = false;             // between the click and its end
    unsigned searchPlanned = 0;         // requests the search may send
    WPARAM searchNumber = 0, verifyNumber = 0;   // a stale end is ignored
    zo::String savedMac, savedLine;     // "已保存 HH:MM:SS" of the last good save
    zo::IP localAddress;                // the first local address, once found
    HICON smallIcon = nullptr;          // owned; the window shows them
    HICON bigIcon = nullptr;
};
