// bare_window: the tool's main window made with nothing but the Windows API:
// the same 21 controls of the same classes, styles, texts and fonts, at the
// places the tool's layout table gives them at its smallest size, scaled to
// the DPI as the tool scales them, with the tool's icon and manifest (common
// controls 6, per-monitor DPI awareness). No framework, no sockets, no
// configuration file. The start-up benchmark measures it beside the tool and
// the minimal program: what this window costs the system to make, whatever
// code makes it. Closing it ends the program with 0.
#include <initializer_list>

#include "app/MainLayout.h"
#include "app/Resource.h"
#include "tools/PlainWindow.h"
#include "window/Dpi.h"

namespace {

const DWORD kBox = WS_TABSTOP | WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | CBS_DROPDOWN;
const DWORD kInfo = ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL;

struct Control {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;      // on top of WS_CHILD | WS_VISIBLE
    bool small;       // the 16-pixel button font instead of the 20-pixel one
};

// In the tool's creation order, the order of the layout table's indices.
const Control kControls[mainlayout::kControls] = {
    {L"ComboBox", L"", kBox, false},
    {L"Button", L"网络模块", BS_GROUPBOX, false},
    {L"Button", L"搜索联网模块", WS_TABSTOP, true},
    {L"Button", L"串口设置", BS_GROUPBOX, false},
    {L"Button", L"服务器设置", BS_GROUPBOX, false},
    {L"ComboBox", L"", kBox, false},
    {L"Static", L"串口速率:", 0, false},
    {L"Static", L"IP地址/域名:", 0, false},
    {L"Static", L"端口:", 0, false},
    {L"ComboBox", L"", kBox, false},
    {L"edit", L"", WS_TABSTOP | ES_AUTOHSCROLL, false},
    {L"Button", L"WIFI 设置", BS_GROUPBOX, false},
    {L"Static", L"可用WIFI:", 0, false},
    {L"ComboBox", L"", kBox, false},
    {L"Button", L"刷新", WS_TABSTOP, true},
    {L"Static", L"密码:", 0, false},
    {L"edit", L"", WS_TABSTOP | ES_AUTOHSCROLL, false},
    {L"edit", L"", ES_AUTOHSCROLL | kInfo, false},
    {L"edit", L"", WS_TABSTOP | ES_AUTOHSCROLL, false},
    {L"Button", L"刷新", WS_TABSTOP, false},
    {L"Button", L"保存", WS_TABSTOP, false},
};

const wchar_t* const kEntries[][6] = {
    {L"9600", L"19200", L"38400", L"57600", L"115200", nullptr},   // the baud rates, the second box
    {L"modules.example.com", nullptr},                             // the hosts, the third
};

HFONT MakeFont(int height, int dpi) {
    LOGFONTW lf = {};
    lf.lfHeight = zo::ScaleToDpi(height, dpi);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    return CreateFontIndirectW(&lf);
}

} // namespace

int wmain() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!plain::RegisterClassNamed(instance, L"BareWindow")) return 1;
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS, exStyle = WS_EX_CONTROLPARENT | WS_EX_COMPOSITED;
    // The tool places its controls once its window has a DPI; so does this.
    int dpi = zo::SystemDpi();
    RECT at[mainlayout::kControls];
    zo::Twin32 client = mainlayout::Place(dpi, at);
    RECT frame = {0, 0, client.x, client.y};
    zo::AdjustWindowRectForDpi(&frame, style, exStyle, dpi);
    HWND main = CreateWindowExW(exStyle, L"BareWindow", L"网络模块设置工具 (bare)", style, 200, 200,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                nullptr);
    if (!main) return 1;
    if (zo::WindowDpi(main) != dpi) {
        dpi = zo::WindowDpi(main);
        client = mainlayout::Place(dpi, at);
    }
    for (int size : {16, 32}) {
        int scaled = zo::ScaleToDpi(size, dpi);
        HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, scaled, scaled, LR_DEFAULTCOLOR);
        SendMessageW(main, WM_SETICON, size == 16 ? ICON_SMALL : ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
    HFONT font = MakeFont(20, dpi), small = MakeFont(16, dpi);
    int box = 0;   // drop-down boxes made so far
    for (unsigned i = 0; i < mainlayout::kControls; ++i) {
        const Control& c = kControls[i];
        const RECT& r = at[i];
        HWND h = CreateWindowExW(c.className[0] == L'e' ? WS_EX_CLIENTEDGE : 0, c.className, c.text,
                                 WS_CHILD | WS_VISIBLE | c.style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                 main, nullptr, instance, nullptr);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(c.small ? small : font), FALSE);
        if (c.style != kBox) continue;
        const wchar_t* const* e = box == 1 ? kEntries[0] : box == 2 ? kEntries[1] : nullptr;
        ++box;
        for (; e && *e; ++e) SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(*e));
    }
    ShowWindow(main, SW_SHOWNORMAL);
    UpdateWindow(main);
    int code = plain::RunLoop();
    DeleteObject(font);
    DeleteObject(small);
    return code;
}
