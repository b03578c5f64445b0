// hostile_flood: sends datagrams a module would never send to the tool's
// port 6643 on 127.0.0.1, paced evenly over a time, to reproduce by hand
// what the robustness tests do. Loopback only; run it inside the private
// test network like every program of the project.
//
// hostile_flood KIND COUNT MS
//   KIND  report   full-size (65 507-byte) reports of one mac, a 65 000-letter server name
//         list     full-size "+CWLAP:" lists (about 2400 names)
//         macs     small reports, each of a mac not seen before
//   COUNT datagrams to send; MS the time they are spread over
// Prints the count sent. Exit code 0, 1 when a socket fails, 2 on bad arguments.
#include <cstdio>
#include <cwchar>
#include <string>

#include "core/Win.h"
#include "net/IP.h"
#include "net/SOCKADDR.h"
#include "net/Socket.h"

namespace {

const size_t kMaxDatagram = 65507;

std::string Datagram(const std::wstring& kind, int k) {
    std::string d;
    if (kind == L"report") {
        d = "{\"mac\":\"DE:AD:BE:EF:00:03\",\"ether_ip\":1701065670,\"serv_host\":\"";
        d.resize(kMaxDatagram - 2, 'h');
        d += "\"}";
    } else if (kind == L"list") {
        d = "+CWLAP:";
        for (int n = 0; d.size() < kMaxDatagram - 40; ++n) d += "AP" + std::to_string(n) + "\n-50,02:11:22:33:44:55,6\n";
        d.resize(kMaxDatagram);
    } else {
        char mac[32];
        snprintf(mac, sizeof(mac), "DE:AD:%02X:%02X:%02X:%02X", k >> 24 & 255, k >> 16 & 255, k >> 8 & 255, k & 255);
        d = std::string("{\"mac\":\"") + mac + "\",\"ether_ip\":1701065670}";
    }
    return d;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: hostile_flood report|list|macs COUNT MS\n");
        return 2;
    }
    std::wstring kind = argv[1];
    int count = _wtoi(argv[2]);
    DWORD ms = static_cast<DWORD>(_wtoi(argv[3]));
    if ((kind != L"report" && kind != L"list" && kind != L"macs") || count <= 0) {
        fprintf(stderr, "hostile_flood: bad arguments\n");
        return 2;
    }
    if (zo::StartWinsock() != 0) return 1;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return 1;
    zo::SOCKADDR to;
    to.SetIp(zo::IP("127.0.0.1"));
    to.SetPortW(6643);
    int sent = 0;
    DWORD start = GetTickCount();
    for (int k = 0; k < count; ++k) {
        std::string d = Datagram(kind, k);
        if (sendto(s, d.data(), static_cast<int>(d.size()), 0, to, zo::SOCKADDR::Size()) >= 0) ++sent;
        while (GetTickCount() - start < static_cast<DWORD>(static_cast<long long>(k) * ms / count)) Sleep(1);   // pacing
    }
    closesocket(s);
    WSACleanup();
    printf("%d sent\n", sent);
    return 0;
}
