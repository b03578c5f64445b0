#include "support/AppWindow.h"

#include <cstring>

namespace apptest {

TraceSink::TraceSink() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &TraceSink::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"AppTestTraceSink";
    RegisterClassW(&wc);
    window = CreateWindowW(L"AppTestTraceSink", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    zo::SetOutputDevice(window);
}

TraceSink::~TraceSink() {
    zo::SetOutputDevice(nullptr);
    DestroyWindow(window);
}

LRESULT CALLBACK TraceSink::Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == zo::WM_OUTPUT_LINE) {
        auto* self = reinterpret_cast<TraceSink*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self && l) self->lines.emplace_back(reinterpret_cast<const wchar_t*>(l));
        return 0;
    }
    return DefWindowProcW(h, msg, w, l);
}

bool TraceSink::Has(const std::wstring& text) const { return CountOf(text) > 0; }

size_t TraceSink::CountOf(const std::wstring& text) const {
    size_t n = 0;
    for (const auto& line : lines)
        if (line.find(text) != std::wstring::npos) ++n;
    return n;
}

HWND ShowFrame(MainFrm& frame, int clientWidth, int clientHeight) {
    HWND h = frame.Create(nullptr);
    if (!h) return nullptr;
    if (clientWidth > 0) {
        RECT r = {0, 0, clientWidth, clientHeight};
        AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)));
        SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(h, SW_SHOWNOACTIVATE);
    zotest::PumpMessages();
    return h;
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
