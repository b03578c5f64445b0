// udp_burst PORT COUNT SIZE: sends COUNT datagrams to 127.0.0.1:PORT as fast
// as it can, each of SIZE bytes (0: varied sizes), in the format of
// BurstDatagram.h. Loopback only. Prints what it sent; exit code 0 when
// every send succeeded, 1 otherwise, 2 on bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "BurstDatagram.h"
#include "net/Socket.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: udp_burst PORT COUNT SIZE (SIZE 0: varied)\n");
        return 2;
    }
    int port = _wtoi(argv[1]), count = _wtoi(argv[2]), size = _wtoi(argv[3]);
    if (port <= 0 || port > 65535 || count < 0 || (size != 0 && size < burst::HeaderSize) || size > 65507) {
        fprintf(stderr, "udp_burst: bad arguments\n");
        return 2;
    }
    if (zo::StartWinsock() != 0) return 1;
    zo::Socket s;
    if (!s.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) return 1;
    zo::SOCKADDR to;
    to.SetIp(zo::IP("127.0.0.1"));
    to.SetPortW(static_cast<unsigned short>(port));
    static char buf[65507];
    int failed = 0;
    DWORD start = GetTickCount();
    for (int i = 0; i < count; ++i) {
        int n = size ? size : burst::VariedSize(uint32_t(i));
        burst::Fill(buf, uint32_t(i), n);
        if (s.SendTo(buf, n, 0, to, zo::SOCKADDR::Size()) != n) ++failed;
    }
    DWORD ms = GetTickCount() - start;
    printf("udp_burst: %d datagrams in %lu ms, %d failed\n", count, ms, failed);
    s.Close();
    WSACleanup();
    return failed ? 1 : 0;
}
