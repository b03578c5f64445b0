// The tool's memory under a flood: ModuleTool.exe (beside this program) is
// sent the same flood of hostile datagrams three times on 127.0.0.1:6643,
// with 5 s of quiet after each. The baseline is its working set before the
// first flood, measured in the same run; printed are the working set right
// after each flood and at the end of each quiet, and their ratios to it.
// Goals: the first flood's peak at most 48 MB above the baseline; after the
// first quiet at most 16 MB above it; each later quiet less than 4 MB above
// the one before. Needs a display; sends to loopback only, and runs inside
// the private test network like every program of the project.
#include <cstdio>
#include <string>

#include "core/Win.h"
#include "net/IP.h"
#include "net/SOCKADDR.h"
#include "net/Socket.h"

#define PSAPI_VERSION 2
#include <psapi.h>

namespace {

const wchar_t kTitle[] = L"网络模块设置工具";
const int kDatagrams = 20000;
const DWORD kFloodMs = 12000, kQuietMs = 5000;
const size_t kMaxDatagram = 65507;
const double MB = 1048576.0;

// Datagram k of the flood: every other one a small report of a module
// never seen before; of the rest, in turn, a full-size report with a
// 65 000-letter server name, a full-size access-point list, random bytes
// and a cut report.
std::string Hostile(int k, unsigned& seed) {
    char text[64];
    if (k % 2 == 0) {
        snprintf(text, sizeof(text), "{\"mac\":\"DE:AD:00:00:%02X:%02X\",\"ether_ip\":1701065670}", (k / 2) >> 8 & 255,
                 (k / 2) & 255);
        return text;
    }
    std::string d;
    switch ((k / 2) % 4) {
    case 0:
        d = "{\"mac\":\"DE:AD:BE:EF:00:03\",\"ether_ip\":1701065670,\"serv_host\":\"";
        d.resize(kMaxDatagram - 2, 'h');
        d += "\"}";
        break;
    case 1:
        d = "+CWLAP:";
        for (int n = 0; d.size() < kMaxDatagram - 40; ++n) d += "AP" + std::to_string(n) + "\n-50,02:11:22:33:44:55,6\n";
        d.resize(kMaxDatagram);
        break;
    case 2:
        d.resize(1 + seed % 1500);
        for (char& c : d) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            c = static_cast<char>(seed);
        }
        d[0] = '#';
        break;
    default:
        d = "{\"mac\":\"DE:AD:BE:EF:00:01\",\"serv_host\":\"flood.example.com\",\"serv_po";
        break;
    }
    return d;
}

unsigned long long WorkingSet(HANDLE process) {
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof(c);
    return GetProcessMemoryInfo(process, &c, sizeof(c)) ? c.WorkingSetSize : 0;
}

bool Answers(HWND window) {
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r) != 0;
}

} // namespace

int main() {
    wchar_t exe[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path(exe, n);
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"ModuleTool.exe";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        printf("flood_memory: cannot start %ls\n", path.c_str());
        return 1;
    }
    CloseHandle(pi.hThread);
    HWND window = nullptr;
    for (DWORD start = GetTickCount(); !window && GetTickCount() - start < 20000; Sleep(20))   // polling another process
        window = FindWindowW(nullptr, kTitle);
    if (!window || !Answers(window) || zo::StartWinsock() != 0) {
        printf("flood_memory: the tool's window did not come\n");
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    zo::SOCKADDR to;
    to.SetIp(zo::IP("127.0.0.1"));
    to.SetPortW(6643);

    unsigned long long before = WorkingSet(pi.hProcess), peak[4] = {}, quiet[4] = {before};
    printf("baseline: working set %.1f MB before any flood\n", before / MB);
    for (int round = 1; round <= 3; ++round) {
        unsigned seed = 2463534242u;
        DWORD start = GetTickCount();
        for (int k = 0; k < kDatagrams; ++k) {
            std::string d = Hostile(k, seed);
            sendto(s, d.data(), static_cast<int>(d.size()), 0, to, zo::SOCKADDR::Size());
            while (GetTickCount() - start < static_cast<DWORD>(static_cast<long long>(k) * kFloodMs / kDatagrams))
                Sleep(1);   // pacing the flood
        }
        Answers(window);
        peak[round] = WorkingSet(pi.hProcess);
        // The quiet the goals are stated for, sampled to its end.
        for (DWORD q = GetTickCount(); GetTickCount() - q < kQuietMs; Sleep(250)) quiet[round] = WorkingSet(pi.hProcess);
        printf("flood %d: %.1f MB right after (x%.2f of the baseline), %.1f MB after %lu s of quiet (x%.2f), "
               "%+.1f MB against the quiet before\n",
               round, peak[round] / MB, peak[round] / static_cast<double>(before), quiet[round] / MB,
               kQuietMs / 1000, quiet[round] / static_cast<double>(before),
               (static_cast<double>(quiet[round]) - static_cast<double>(quiet[round - 1])) / MB);
    }
    closesocket(s);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);

    const unsigned long long M = 1ull << 20;
    const struct {
        const char* goal;
        bool met;
    } goals[] = {
        {"first flood's peak at most 48 MB above the baseline", peak[1] <= before + 48 * M},
        {"after the first flood's quiet at most 16 MB above the baseline", quiet[1] <= before + 16 * M},
        {"the second flood adds less than 4 MB", quiet[2] < quiet[1] + 4 * M},
        {"the third flood adds less than 4 MB", quiet[3] < quiet[2] + 4 * M},
    };
    bool all = true;
    for (const auto& g : goals) {
        printf("%s: %s\n", g.goal, g.met ? "met" : "NOT met");
        all = all && g.met;
    }
    return all ? 0 : 1;
}
