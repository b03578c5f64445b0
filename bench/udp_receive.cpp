// Datagrams per second that UDPReceiver hands to a counting handler, against
// a bare recvfrom loop on the same port in the same run. For each payload
// size the udp_burst program (one process) fills the socket's buffer while
// the receiver is held back; then the time to drain it is measured, so the
// figure is the receive path alone, not the sender's speed. Both kinds must
// take in every datagram of every round at its full length: a rate counts
// only what arrived, so a receiver that lost or cut datagrams would
// otherwise look no slower, or faster. A failed round says why, for each
// kind; a round in which nothing was measured (another socket took its
// port, or the sender could not be started) runs again on a port free at
// that moment, at most three times a run.
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "../tests/support/Beside.h"
#include "BenchClock.h"
#include "net/UDPReceiver.h"

namespace {

const int PerRound = 2500;   // fits the enlarged receive buffer even at 1400 bytes
const int Rounds = 15;   // a busy machine slows many rounds of either kind: each keeps its best
const char Hold[] = "hold";   // 4 bytes: shorter than any burst datagram
const char Stop[] = "!";

// Why a round of one kind failed, for the round's line.
struct Why {
    char text[80] = "";
    bool again = false;   // nothing was measured: the port's bind refused, or no burst started
    bool Set(const char* what, unsigned long code) {
        snprintf(text, sizeof(text), "%s %lu", what, code);
        return false;
    }
    bool Set(const char* what) {
        snprintf(text, sizeof(text), "%s", what);
        return false;
    }
};

bool RunBurst(unsigned short port, int count, int size, Why& why) {
    DWORD code = zotest::RunProgram(zotest::BesideMe(L"udp_burst.exe"),
                                    std::to_wstring(port) + L" " + std::to_wstring(count) + L" " +
                                        std::to_wstring(size),
                                    60000, true);
    if (code == 0xFFFFFFFF) {
        why.again = true;
        return why.Set("udp_burst could not be started, error", GetLastError());
    }
    return code == 0 || why.Set("udp_burst ended with", code);
}

void SendLoopback(unsigned short port, const char* text, int length) {
    zo::Socket s;
    s.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    zo::SOCKADDR to;
    to.SetIp(zo::IP("127.0.0.1"));
    to.SetPortW(port);
    s.SendTo(text, length, 0, to, zo::SOCKADDR::Size());
    s.Close();
}

// The bare loop: the same socket set-up as UDPReceiver::Tune, then recvfrom
// until the stop datagram. Datagrams per second, or -1 on failure. No
// receive time-out (under Wine a socket with one receives on a slower
// path): should the stop datagram never come, a watchdog closes the socket.
double Bare(unsigned short port, int size, int* got, int* wrong, Why& why) {
    zo::Socket s;
    zo::SOCKADDR any;
    any.SetIp(zo::IP(htonl(INADDR_ANY)));
    any.SetPortW(port);
    if (!s.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP) || !s.Bind(any))
        return why.again = true, why.Set("the port's bind refused, error", WSAGetLastError()), -1;
    int bytes = zo::UDPReceiver::ReceiveBufferBytes;
    s.SetSockOpt(SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), 4);
    if (!RunBurst(port, PerRound, size, why)) return -1;
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([&] {
        if (WaitForSingleObject(finished, 10000) == WAIT_TIMEOUT) s.Close();
    });
    SendLoopback(port, Stop, 1);
    static char buffer[zo::UDPReceiver::BufferSize];
    zo::SOCKADDR from;
    int count = 0, bad = 0;
    double t0 = BenchNow();
    int n;
    for (;;) {
        int fromLength = 16;
        n = s.RecvFrom(buffer, sizeof(buffer), 0, from, &fromLength);
        if (n < 0 || n == 1) break;
        ++count;
        bad += n != size;
    }
    double t1 = BenchNow();
    SetEvent(finished);
    watchdog.join();
    CloseHandle(finished);
    s.Close();
    *got = count;
    *wrong = bad;
    if (n < 0) why.Set("no stop datagram within 10 s; datagrams taken:", static_cast<unsigned long>(count));
    return n < 0 ? -1 : count / (t1 - t0);
}

struct Counter {
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int size = 0;    // the length every burst datagram has
    int count = 0;
    int wrong = 0;   // burst datagrams of another length
    ~Counter() {
        CloseHandle(held);
        CloseHandle(go);
        CloseHandle(done);
    }
    void OnDatagram(char*, int length, zo::SOCKADDR&) {
        if (length == 1) {
            SetEvent(done);
        } else if (length == int(sizeof(Hold) - 1)) {
            SetEvent(held);
            WaitForSingleObject(go, INFINITE);
        } else {
            ++count;
            wrong += length != size;
        }
    }
};

double Receiver(unsigned short port, int size, int* got, int* wrong, Why& why) {
    Counter counter;
    counter.size = size;
    double rate = -1;
    {
        zo::UDPReceiver rx;
        rx.datagramHandler.Bind(&counter, &Counter::OnDatagram);
        if (!rx.Tune(port))
            return why.again = true, why.Set("the port's bind refused"), -1;
        SendLoopback(port, Hold, int(sizeof(Hold) - 1));
        if (WaitForSingleObject(counter.held, 5000) != WAIT_OBJECT_0) {
            why.Set("the hold datagram not handled; ms waited:", 5000);
        } else if (RunBurst(port, PerRound, size, why)) {
            SendLoopback(port, Stop, 1);
            double t0 = BenchNow();
            SetEvent(counter.go);
            if (WaitForSingleObject(counter.done, 10000) == WAIT_OBJECT_0)
                rate = counter.count / (BenchNow() - t0);
            else
                why.Set("no stop datagram within 10 s; datagrams taken:",
                        static_cast<unsigned long>(counter.count));
        }
        SetEvent(counter.go);
    }
    *got = counter.count;
    *wrong = counter.wrong;
    return rate;
}

unsigned short FreePort() {
    zo::Socket s;
    zo::SOCKADDR at;
    at.SetIp(zo::IP(htonl(INADDR_ANY)));
    s.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    unsigned short port = s.Bind(at) && s.GetSockAddr(at) ? at.GetPort() : 0;
    s.Close();
    return port;
}

} // namespace

int main() {
    zo::StartWinsock();
    unsigned short port = FreePort();
    printf("udp receive: %d datagrams per round, best of %d rounds, port %u\n", PerRound, Rounds, port);
    int status = 0;
    int renewed = 0;   // rounds run again because nothing was measured, at most 3 a run
    bool met = true;
    for (int size : {32, 300, 1400}) {
        double bare = 0, recv = 0;
        int whole = 0;   // rounds in which both took in every datagram at its length
        for (int r = 0; r < Rounds; ++r) {
            // Alternate which goes first so neither always meets a warmer system.
            int g1 = 0, g2 = 0, w1 = 0, w2 = 0;
            double b, u;
            Why whyBare, whyReceiver;
            if (r % 2) {
                u = Receiver(port, size, &g2, &w2, whyReceiver);
                b = Bare(port, size, &g1, &w1, whyBare);
            } else {
                b = Bare(port, size, &g1, &w1, whyBare);
                u = Receiver(port, size, &g2, &w2, whyReceiver);
            }
            if (((b < 0 && whyBare.again) || (u < 0 && whyReceiver.again)) && renewed < 3) {
                // Nothing was measured: the port is only where the rounds
                // listen and another socket took it, or the system did not
                // start the sender. The round runs again on a port free now.
                unsigned short fresh = FreePort();
                printf("  %4d bytes: round %d not run (bare: %s; receiver: %s); again on port %u\n", size, r,
                       b < 0 ? whyBare.text : "whole", u < 0 ? whyReceiver.text : "whole", fresh);
                if (fresh) {
                    port = fresh;
                    ++renewed;
                    --r;
                    continue;
                }
            }
            if (b < 0 || u < 0) {
                printf("  %4d bytes: round %d failed (bare: %s; receiver: %s)\n", size, r,
                       b < 0 ? whyBare.text : "whole", u < 0 ? whyReceiver.text : "whole");
                status = 1;
                continue;
            }
            if (g1 != PerRound || g2 != PerRound || w1 || w2) {
                printf("  %4d bytes: round %d: bare took %d (%d of another length), UDPReceiver %d (%d), of %d\n",
                       size, r, g1, w1, g2, w2, PerRound);
                continue;
            }
            ++whole;
            bare = std::max(bare, b);
            recv = std::max(recv, u);
        }
        printf("  %4d bytes: bare recvfrom %8.0f/s, UDPReceiver %8.0f/s, ratio %.2f; %d of %d rounds whole\n", size,
               bare, recv, bare > 0 ? recv / bare : 0.0, whole, Rounds);
        // Every round must be whole: a round that lost datagrams says the
        // two did not do the same work, whichever kind lost them.
        if (!(whole == Rounds && recv >= 0.9 * bare)) met = false;
    }
    WSACleanup();
    printf("goal UDPReceiver >= 0.9x bare recvfrom at every size: %s\n", met ? "met" : "NOT met");
    return status || !met ? 1 : 0;
}
