// Reading typed addresses and macs.
#include "app/module/Address.h"

#include <cwchar>

namespace proto {

bool ParseAddress(const wchar_t* text, zo::IP& out) {
    if (!text) return false;
    unsigned long value = 0;
    const wchar_t* p = text;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *p++ != L'.') return false;
        unsigned v = 0, digits = 0;
        const wchar_t* start = p;
        while (*p >= L'0' && *p <= L'9' && digits < 4) {
            v = v * 10 + static_cast<unsigned>(*p++ - L'0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || v > 255 || (digits > 1 && *start == L'0')) return false;
        value |= static_cast<unsigned long>(v) << (8 * part);   // the first octet is the lowest byte
    }
    if (*p) return false;
    out = zo::IP(value);
    return true;
}

std::wstring AddressRefusal(const wchar_t* text) {
    return L"\"" + std::wstring(text ? text : L"") +
           L"\" is not an IPv4 address (four decimal numbers 0-255 joined by dots, no leading zeros)";
}

bool ParseMac(const wchar_t* text, std::wstring& out) {
    if (!text) return false;
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t') ++p;
    std::wstring mac;
    wchar_t separator = 0;
    for (int pair = 0; pair < 6; ++pair) {
        if (pair > 0) {
            if (*p != L':' && *p != L'-') return false;
            if (separator && *p != separator) return false;   // one separator throughout
            separator = *p++;
            mac += L':';
        }
        for (int d = 0; d < 2; ++d, ++p) {
            wchar_t c = *p;
            if (c >= L'a' && c <= L'f') c = static_cast<wchar_t>(c - L'a' + L'A');
            if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) return false;
            mac += c;
        }
    }
    while (*p == L' ' || *p == L'\t') ++p;
    if (*p) return false;
    out = mac;
    return true;
}

bool SameMac(const wchar_t* reported, const std::wstring& wanted) {
    std::wstring a, b;
    if (ParseMac(reported, a) && ParseMac(wanted.c_str(), b)) return a == b;
    return std::wstring(reported ? reported : L"") == wanted;
}

std::wstring Dotted(zo::IP address) {
    unsigned long v = address.ToLong();
    wchar_t text[16];
    swprintf(text, 16, L"%lu.%lu.%lu.%lu", v & 255, (v >> 8) & 255, (v >> 16) & 255, (v >> 24) & 255);
    return text;
}

} // namespace proto
