#include "support/AppWindow.h"

#include <cstring>

namespace apptest {

HWND ShowFrame(MainFrm& frame, int clientWidth, int clientHeight) {
    HWND h = frame.Create(nullptr);
    if (!h) return nullptr;
    if (clientWidth > 0) SetClientSize(h, clientWidth, clientHeight);
    ShowWindow(h, SW_SHOWNOACTIVATE);
    zotest::PumpMessages();
    return h;
}

void SetClientSize(HWND h, int width, int height) {
    RECT r = {0, 0, width, height};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)));
    SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    zotest::PumpMessages();
}

void Inject(MainFrm& frame, const std::string& bytes, const char* sender) {
    std::vector<char> copy(bytes.begin(), bytes.end());
    copy.push_back(0);
    zo::SOCKADDR from;
    from.SetIp(zo::IP(sender));
    from.SetPortW(6646);
    frame.OnDatagram(copy.data(), static_cast<int>(bytes.size()), from);
}

bool Settle(MainFrm& frame, DWORD ms) {
    return zotest::PumpUntil([&] { return frame.Queue().Count() == 0; }, ms);
}

std::wstring TextOf(const zo::WndPtr& w) {
    zo::String s;
    w.GetText(s);
    return s.Handle() ? s.Handle() : L"";
}

std::vector<std::wstring> Entries(const zo::ComboBox& box) {
    std::vector<std::wstring> out;
    zo::String s;
    for (int i = 0, n = box.GetCount(); i < n; ++i) {
        box.GetItemText(static_cast<unsigned>(i), s);
        out.push_back(s.Handle() ? s.Handle() : L"");
    }
    return out;
}

std::string Report(const char* mac, const char* extra) {
    std::string r = "{";
    if (mac) r += std::string("\"mac\":\"") + mac + "\"";
    if (*extra) r += std::string(mac ? "," : "") + extra;
    return r + "}";
}

} // namespace apptest
