// The running program as the end-to-end tests reach it from outside: its
// port on 127.0.0.1, what ui_driver.exe prints about it, and the top-level
// windows it and its trace console open.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "net/Socket.h"
#include "support/Winsock.h"

namespace zotest {

// The program's port 6643 on 127.0.0.1.
inline zo::SOCKADDR ToolOnLoopback() {
    zo::SOCKADDR to;
    to.SetIp(zo::IP("127.0.0.1"));
    to.SetPortW(6643);
    return to;
}

// Sends one datagram there from a socket of its own.
inline bool SendToTool(const std::string& bytes) {
    Winsock ws;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (!ws.Started() || s == INVALID_SOCKET) return false;
    zo::SOCKADDR to = ToolOnLoopback();
    bool sent = sendto(s, bytes.data(), static_cast<int>(bytes.size()), 0, to, zo::SOCKADDR::Size()) >= 0;
    closesocket(s);
    return sent;
}

// The working set from the driver's "mem" step ("private N working N"),
// wherever in out it is.
inline bool ReadWorkingSet(const std::string& out, unsigned long long& working) {
    size_t at = out.find("private");
    unsigned long long privateBytes = 0;
    return at != std::string::npos &&
           sscanf(out.c_str() + at, "private %llu working %llu", &privateBytes, &working) == 2;
}

// What the driver's "churn" step reports.
struct Churn {
    unsigned worst = 0, choices = 0, clicks = 0;
};
inline bool ReadChurn(const std::string& out, Churn& c) {
    return sscanf(out.c_str(), "worst answer %u ms, %u choices, %u clicks", &c.worst, &c.choices, &c.clicks) == 3;
}

// Top-level windows of a class, of any process.
inline std::vector<HWND> TopWindows(const wchar_t* cls) {
    std::vector<HWND> out;
    for (HWND h = FindWindowExW(nullptr, nullptr, cls, nullptr); h; h = FindWindowExW(nullptr, h, cls, nullptr))
        out.push_back(h);
    return out;
}

// A window's child windows in creation order.
inline std::vector<HWND> Children(HWND window) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    return out;
}

} // namespace zotest
