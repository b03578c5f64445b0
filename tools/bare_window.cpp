// bare_window: the tool's main window made with nothing but the Windows API:
// the same 21 controls of the same classes, styles, texts and fonts, at the
// places the tool's layout gives them at its smallest size, with the tool's
// icon and manifest (common controls 6). No framework, no sockets, no
// configuration file. The start-up benchmark measures it beside the tool and
// the minimal program: what this window costs the system to make, whatever
// code makes it. Closing it ends the program with 0.
#include <initializer_list>

#include "app/Resource.h"
#include "tools/PlainWindow.h"

namespace {

const DWORD kBox = WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | CBS_DROPDOWN;
const DWORD kInfo = ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL;

struct Control {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;      // on top of WS_CHILD | WS_VISIBLE
    bool small;       // the 16-pixel button font instead of the 20-pixel one
    RECT at;          // left, top, right, bottom in the client area
};

// In the tool's creation order.
const Control kControls[] = {
    {L"ComboBox", L"", kBox, false, {390, 60, 480, 90}},
    {L"Button", L"网络模块", WS_TABSTOP | BS_GROUPBOX, false, {380, 10, 710, 100}},
    {L"Button", L"搜索联网模块", WS_TABSTOP, true, {500, 60, 700, 90}},
    {L"Button", L"串口设置", WS_TABSTOP | BS_GROUPBOX, false, {10, 10, 360, 100}},
    {L"Button", L"服务器设置", WS_TABSTOP | BS_GROUPBOX, false, {10, 130, 710, 220}},
    {L"ComboBox", L"", kBox, false, {150, 60, 350, 90}},
    {L"Static", L"串口速率:", WS_TABSTOP, false, {20, 63, 130, 90}},
    {L"Static", L"IP地址/域名:", WS_TABSTOP, false, {20, 183, 140, 210}},
    {L"Static", L"端口:", WS_TABSTOP, false, {470, 183, 540, 210}},
    {L"ComboBox", L"", kBox, false, {150, 180, 350, 210}},
    {L"edit", L"", WS_TABSTOP | ES_AUTOHSCROLL, false, {540, 180, 700, 210}},
    {L"Button", L"WIFI 设置", WS_TABSTOP | BS_GROUPBOX, false, {10, 250, 710, 340}},
    {L"Static", L"可用WIFI:", WS_TABSTOP, false, {20, 303, 140, 330}},
    {L"ComboBox", L"", kBox, false, {150, 300, 350, 330}},
    {L"Button", L"刷新", WS_TABSTOP, true, {360, 300, 420, 330}},
    {L"Static", L"密码:", WS_TABSTOP, false, {470, 303, 530, 330}},
    {L"edit", L"", WS_TABSTOP | ES_AUTOHSCROLL, false, {540, 300, 700, 330}},
    {L"edit", L"", WS_TABSTOP | ES_AUTOHSCROLL | kInfo, false, {10, 380, 530, 530}},
    {L"edit", L"", WS_TABSTOP | ES_AUTOHSCROLL, false, {560, 380, 710, 410}},
    {L"Button", L"刷新", WS_TABSTOP, false, {560, 430, 710, 470}},
    {L"Button", L"保存", WS_TABSTOP, false, {560, 490, 710, 530}},
};

const wchar_t* const kEntries[][6] = {
    {L"9600", L"19200", L"38400", L"57600", L"115200", nullptr},   // the baud rates, the second box
    {L"modules.example.com", nullptr},                             // the hosts, the third
};

HFONT MakeFont(int height) {
    LOGFONTW lf = {};
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    return CreateFontIndirectW(&lf);
}

} // namespace

int wmain() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!plain::RegisterClassNamed(instance, L"BareWindow")) return 1;
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS, exStyle = WS_EX_CONTROLPARENT | WS_EX_COMPOSITED;
    RECT frame = {0, 0, 720, 540};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    HWND main = CreateWindowExW(exStyle, L"BareWindow", L"网络模块设置工具 (bare)", style, 200, 200,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                nullptr);
    if (!main) return 1;
    for (int size : {16, 32}) {
        HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
        SendMessageW(main, WM_SETICON, size == 16 ? ICON_SMALL : ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
    HFONT font = MakeFont(20), small = MakeFont(16);
    int box = 0;   // drop-down boxes made so far
    for (const Control& c : kControls) {
        HWND h = CreateWindowExW(c.className[0] == L'e' ? WS_EX_CLIENTEDGE : 0, c.className, c.text,
                                 WS_CHILD | WS_VISIBLE | c.style, c.at.left, c.at.top, c.at.right - c.at.left,
                                 c.at.bottom - c.at.top, main, nullptr, instance, nullptr);
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
