#include "support/TraceSink.h"

#include "core/Print.h"

namespace zotest {

TraceSink::TraceSink() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &TraceSink::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZoTestTraceSink";
    RegisterClassW(&wc);
    window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    zo::SetOutputDevice(window);
}

TraceSink::~TraceSink() {
    zo::SetOutputDevice(nullptr);
    Destroy();
}

void TraceSink::Destroy() {
    if (window) DestroyWindow(window);
    window = nullptr;
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

std::wstring TraceSink::All() const {
    std::wstring all;
    for (const auto& line : lines) all += line;
    return all;
}

} // namespace zotest
