// module_sim: serial-to-network modules simulated on the private test network
// for the tool, its tests and trial runs. Module i owns a socket on its own
// address (the first address + i) at port 6646 and answers from it, to the
// address a request came from at the tool's port 6643 (whatever port the
// request left from), through the protocol code the tool itself reads with;
// one more socket on the wildcard address takes the broadcasts, which every
// module answers. The address a datagram was sent to (IP_PKTINFO) decides
// which module it is for, whichever socket took it: Wine binds a datagram
// socket on an interface's address to that interface's wildcard address, so
// there the modules' sockets cannot tell their datagrams apart, and every
// reply leaves with the source address the host picks (the first module's);
// the reports name each module's own address.
// Run it only inside the private network, e.g.
//   scripts/netns-run --modules 3 -- scripts/wine-exec build/x86_64/bin/module_sim.exe --seconds 60
//   scripts/netns-run --modules 3 --second-modules 2 -- scripts/wine-exec ... --second-modules 2
//
// module_sim [options]
//   --modules N      modules 0..N-1 (default 3)
//   --first A.B.C.D  module 0's address (default 198.51.100.101); module i has first + i
//   --second-modules M  modules N..N+M-1 on the second network (default 0; N + M at most 1000)
//   --second-first A.B.C.D  module N's address (default 203.0.113.101); module N+j has it + j
//   --log PATH       appends every datagram received to PATH (format: SimulatorLog.h)
//   --sent PATH      appends "<module> <performance counter>\n" for every reply just sent (the
//                    counter is the one every process here reads: benchmarks time replies by it)
//   --ready PATH     written ("N first-address") once every socket is bound; a stale one is removed first
//   --stop PATH      ends the program as soon as PATH exists
//   --seconds S      ends it after S seconds
//   --until-eof      ends it when standard input reaches its end (at once when there is none)
// Misbehaviour of module K (each switch may repeat):
//   --no-mac K       its reports carry no "mac" member
//   --same-mac K     it reports module 0's mac
//   --garbage K      every answer is random bytes that are no JSON
//   --truncated K    its reports are cut to half their length
//   --silent K       it never answers (it still logs and takes settings)
//   --late K:MS      it answers MS milliseconds late; the others are not held up
//   --utf8 K         its Chinese texts go out as UTF-8 instead of the ANSI code page
//   --ignore-writes K  it answers a save with its old settings and keeps them
//   --restart-after-save K:MS  a save restarts it: the save goes unanswered and
//                    so does everything in the next MS milliseconds; then it
//                    reports the new settings
//   --ether-ip K:A.B.C.D  its reports name A.B.C.D as its ether_ip (it still
//                    listens at its own address), as a module set up wrongly
//                    does. Only addresses of the test networks (198.51.100.0/24,
//                    203.0.113.0/24, 198.18.0.0/15) and the ones no module can
//                    own (0.0.0.0, 255.255.255.255) are taken: a program that
//                    wrongly believed the report sends nowhere else.
// Loss on the way, for every module:
//   --drop P         each request and each reply is lost with probability P
//                    percent (0 to 100); lost ones are logged as such
//   --seed S         the seed of the losses (default 1). Whether module K's
//                    n-th request (or reply) is lost depends on S, K and n
//                    only, so the same traffic loses the same datagrams.
// Requests: "get_net_modle_param" (exactly those 19 bytes) gets the report,
// "get_ap_list" (exactly) the access-point list, "set_net_modle_param{...}"
// changes the settings and gets the new report; anything else is only logged.
// Datagrams to the host's other addresses are neither logged nor answered.
// A broadcast reaches the modules of one network: a directed one (x.y.z.255)
// those on x.y.z.0/24; the limited one those on the sender's /24, or every
// module when none is there.
// Texts in reports and lists go out raw, as a module's firmware writes them.
// Module i: mac 5C:CF:7F:00:HH:LL (HHLL = i + 1), serv_host 198.51.100.10
// (on the second network 203.0.113.10), serv_port 8899 + i % 100,
// serial_rate 115200, ether_ip its address, ether_gate 198.51.100.1 (or
// 203.0.113.1), access points "办公室", "Workshop-2G", "Guest", of which it
// joins number i % 3.
// Exit code: 0 when ended as asked, 1 when a module address is missing from
// the host or a socket cannot be made or bound, 2 on bad arguments.

// The wildcard socket and up to 1000 modules in one select().
#define FD_SETSIZE 1024

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "SimulatorLog.h"
#include "app/module/ModuleProtocol.h"
#include "core/Win.h"
#include "net/Socket.h"

#include <iphlpapi.h>
#include <mswsock.h>

namespace {

const int kMaxModules = 1000;

struct Module {
    int index = 0;
    zo::IP address;
    zo::Socket socket;
    ModleParam record;
    std::vector<std::wstring> accessPoints;   // name, detail, name, detail, ...
    bool noMac = false;
    bool garbage = false;
    bool truncated = false;
    bool silent = false;
    bool utf8 = false;
    bool ignoreWrites = false;
    DWORD lateMs = 0;
    DWORD restartMs = 0;
    bool restarting = false;
    DWORD restartEnds = 0;
    unsigned answers = 0;    // varies the garbage
    unsigned requests = 0;   // counts the draws of the losses
    unsigned replies = 0;
};

// A misbehaviour switch: the flag it sets, or the delay its K:MS gives, or
// (neither) module 0's mac.
struct Switch {
    const wchar_t* name;
    bool Module::*flag;
    DWORD Module::*ms;
} const kSwitches[] = {
    {L"--no-mac", &Module::noMac, nullptr},
    {L"--same-mac", nullptr, nullptr},
    {L"--garbage", &Module::garbage, nullptr},
    {L"--truncated", &Module::truncated, nullptr},
    {L"--silent", &Module::silent, nullptr},
    {L"--late", nullptr, &Module::lateMs},
    {L"--utf8", &Module::utf8, nullptr},
    {L"--ignore-writes", &Module::ignoreWrites, nullptr},
    {L"--restart-after-save", nullptr, &Module::restartMs},
};

struct Options {
    int modules = 3;
    zo::IP first = zo::IP("198.51.100.101");
    int secondModules = 0;
    zo::IP secondFirst = zo::IP("203.0.113.101");
    std::wstring log, ready, stop, sent;
    DWORD seconds = 0;
    bool untilEof = false;
    int dropPercent = 0;
    unsigned long long seed = 1;
    std::vector<std::pair<int, zo::IP>> etherIps;   // --ether-ip: module, the address it reports
    // The misbehaviour switches as given: the module, the switch, its MS.
    struct Misbehaviour {
        int module;
        const Switch* what;
        DWORD ms;
    };
    std::vector<Misbehaviour> misbehaviours;

    int Total() const { return modules + secondModules; }
};

struct Reply {
    DWORD due;
    int module;
    zo::SOCKADDR to;
    std::string bytes;
};

std::atomic<bool> gInputEnded{false};

int Usage(const char* why) {
    fprintf(stderr, "module_sim: %s (see the head of tools/module_sim.cpp)\n", why);
    return 2;
}

bool ReadNumber(const wchar_t* text, long low, long high, int& out) {
    wchar_t* end = nullptr;
    long v = wcstol(text, &end, 10);
    if (end == text || *end || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

bool ReadIndex(const wchar_t* text, int& out) { return ReadNumber(text, 0, kMaxModules - 1, out); }

// "K:A.B.C.D" with an address a report may name here (see --ether-ip).
bool ReadIndexAndAddress(const wchar_t* text, std::pair<int, zo::IP>& out) {
    std::wstring v = text;
    size_t colon = v.find(L':');
    if (colon == std::wstring::npos || !ReadIndex(v.substr(0, colon).c_str(), out.first)) return false;
    std::string dotted(v.begin() + static_cast<std::ptrdiff_t>(colon) + 1, v.end());
    unsigned a, b, c, d;
    char rest;
    if (sscanf(dotted.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest) != 4 || a > 255 || b > 255 || c > 255 ||
        d > 255)
        return false;
    unsigned long host = (a << 24) | (b << 16) | (c << 8) | d;
    bool test = (host >> 8) == 0xC63364ul || (host >> 8) == 0xCB0071ul || (host >> 17) == (0xC6120000ul >> 17);
    if (!test && host != 0 && host != 0xFFFFFFFFul) return false;
    out.second = zo::IP(htonl(host));
    return true;
}

// "K:MS" with MS up to ten minutes.
bool ReadIndexAndMs(const wchar_t* text, std::pair<int, DWORD>& out) {
    std::wstring v = text;
    size_t colon = v.find(L':');
    int ms = 0;
    if (colon == std::wstring::npos || !ReadIndex(v.substr(0, colon).c_str(), out.first) ||
        !ReadNumber(v.c_str() + colon + 1, 0, 600000, ms))
        return false;
    out.second = static_cast<DWORD>(ms);
    return true;
}

// 0 on success, else the exit code.
int ParseOptions(int argc, wchar_t** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::wstring name = argv[i];
        if (name == L"--until-eof") {
            o.untilEof = true;
            continue;
        }
        if (i + 1 >= argc) return Usage("an option lacks its value");
        const wchar_t* value = argv[++i];
        if (name == L"--modules") {
            if (!ReadNumber(value, 1, kMaxModules, o.modules)) return Usage("--modules takes 1 to 1000");
        } else if (name == L"--first") {
            o.first = zo::IP(value);
            if (o.first.IsNull()) return Usage("--first takes a dotted address");
        } else if (name == L"--second-modules") {
            if (!ReadNumber(value, 0, kMaxModules, o.secondModules)) return Usage("--second-modules takes 0 to 1000");
        } else if (name == L"--second-first") {
            o.secondFirst = zo::IP(value);
            if (o.secondFirst.IsNull()) return Usage("--second-first takes a dotted address");
        } else if (name == L"--drop") {
            if (!ReadNumber(value, 0, 100, o.dropPercent)) return Usage("--drop takes a percentage, 0 to 100");
        } else if (name == L"--seed") {
            wchar_t* end = nullptr;
            o.seed = wcstoull(value, &end, 10);
            if (end == value || *end || *value == L'-') return Usage("--seed takes a whole number");
        } else if (name == L"--ether-ip") {
            std::pair<int, zo::IP> given;
            if (!ReadIndexAndAddress(value, given))
                return Usage("--ether-ip takes K:A.B.C.D, an address of the test networks, 0.0.0.0 or 255.255.255.255");
            o.etherIps.push_back(given);
        } else if (name == L"--log") {
            o.log = value;
        } else if (name == L"--sent") {
            o.sent = value;
        } else if (name == L"--ready") {
            o.ready = value;
        } else if (name == L"--stop") {
            o.stop = value;
        } else if (name == L"--seconds") {
            wchar_t* end = nullptr;
            unsigned long s = wcstoul(value, &end, 10);
            if (end == value || *end || s == 0 || s > 86400) return Usage("--seconds takes 1 to 86400");
            o.seconds = static_cast<DWORD>(s);
        } else {
            const Switch* what = nullptr;
            for (const Switch& each : kSwitches)
                if (name == each.name) what = &each;
            if (!what) return Usage("unknown option");
            std::pair<int, DWORD> given{0, 0};
            if (what->ms && !ReadIndexAndMs(value, given))
                return Usage((std::string(name.begin(), name.end()) + " takes K:MS").c_str());
            if (!what->ms && !ReadIndex(value, given.first))
                return Usage("a misbehaviour switch takes a module index");
            o.misbehaviours.push_back({given.first, what, given.second});
        }
    }
    if (o.Total() > kMaxModules) return Usage("at most 1000 modules in all");
    for (const Options::Misbehaviour& b : o.misbehaviours)
        if (b.module >= o.Total()) return Usage("a misbehaviour switch names a module that is not simulated");
    for (const auto& e : o.etherIps)
        if (e.first >= o.Total()) return Usage("--ether-ip names a module that is not simulated");
    return 0;
}

zo::IP ModuleAddress(zo::IP first, int i) {
    return zo::IP(htonl(ntohl(first.ToLong()) + static_cast<unsigned long>(i)));
}

zo::IP ModuleAddress(const Options& o, int i) {
    return i < o.modules ? ModuleAddress(o.first, i) : ModuleAddress(o.secondFirst, i - o.modules);
}

bool SameSlash24(zo::IP a, zo::IP b) { return ((ntohl(a.ToLong()) ^ ntohl(b.ToLong())) & 0xFFFFFF00ul) == 0; }

// Whether module k's n-th datagram one way is lost: a hash of the seed, k, n
// and the way, so a module's losses do not depend on the others' traffic.
bool Lost(const Options& o, int k, unsigned n, unsigned way) {
    if (o.dropPercent <= 0) return false;
    unsigned long long x = o.seed ^ (static_cast<unsigned long long>(k) << 33) ^
                           (static_cast<unsigned long long>(n) << 1) ^ way;
    // splitmix64's finaliser
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    return x % 100 < static_cast<unsigned long long>(o.dropPercent);
}

// Module i's settings and surroundings: a mac of its own, its own address,
// and three access points, the first with a Chinese name; it joins i % 3.
void SetUp(Module& m, int i, zo::IP address, bool second) {
    static const wchar_t* const kNames[3] = {L"办公室", L"Workshop-2G", L"Guest"};
    m.index = i;
    m.address = address;
    wchar_t text[64];
    swprintf(text, 64, L"5C:CF:7F:00:%02X:%02X", ((i + 1) >> 8) & 255, (i + 1) & 255);
    m.record.mac = text;
    m.record.serv_host = second ? L"203.0.113.10" : L"198.51.100.10";
    m.record.serv_port = static_cast<unsigned short>(8899 + i % 100);
    m.record.serial_rate = 115200;
    m.record.ap_ssid = kNames[i % 3];
    swprintf(text, 64, L"pass%04d", i);
    m.record.ap_pass = text;
    m.record.ether_ip = address;
    m.record.ether_gate = zo::IP(second ? "203.0.113.1" : "198.51.100.1");
    m.record.wifi_ip = zo::IP(htonl(0xC0A80402ul + static_cast<unsigned long>(i % 250)));   // 192.168.4.2 + i
    m.record.wifi_gate = zo::IP("192.168.4.1");
    for (int k = 0; k < 3; ++k) {
        m.accessPoints.push_back(kNames[k]);
        swprintf(text, 64, L"%d,02:11:22:%02x:%02x:%02x,%d", -40 - (i * 7 + k * 11) % 50, (i >> 8) & 255, i & 255,
                 k, 1 + (i + k * 5) % 13);
        m.accessPoints.push_back(text);
    }
}

// Text in the module's encoding: the ANSI code page, or UTF-8.
std::string Encode(const std::wstring& text, bool utf8) {
    if (text.empty()) return std::string();
    if (utf8) {
        const int units = static_cast<int>(text.size());
        int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
        std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
        if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &out[0], n, nullptr, nullptr);
        return out;
    }
    zo::String s;
    s.CopyText(text.c_str(), static_cast<unsigned>(text.size()), 0);
    zo::Memory<char> bytes;
    int n = s.ToMultiByte(bytes);
    return n > 0 ? std::string(bytes.data, static_cast<size_t>(n)) : std::string();
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The compact text with every \u escape of a unit from U+0080 on replaced by
// the unit itself; other escapes stay as they are.
std::wstring Unescape(const wchar_t* text, unsigned n) {
    std::wstring out;
    for (unsigned i = 0; i < n; ++i) {
        if (text[i] != L'\\' || i + 1 >= n) {
            out += text[i];
            continue;
        }
        if (text[i + 1] == L'u' && i + 5 < n) {
            int v = 0;
            for (unsigned d = 2; d < 6 && v >= 0; ++d) {
                int h = HexValue(text[i + d]);
                v = h < 0 ? -1 : v * 16 + h;
            }
            if (v >= 0x80) {
                out += static_cast<wchar_t>(v);
                i += 5;
                continue;
            }
        }
        out += text[i];
        out += text[++i];
    }
    return out;
}

std::string ReportBytes(const Module& m) {
    zo::String text;
    proto::WriteReport(m.record, text);
    if (m.noMac) {
        zo::Json full, without;
        proto::ParseReport(text, full);
        for (unsigned i = 0; i < full.Count(); ++i) {
            const zo::Json::DICTION* member = full.GetMember(i);
            const wchar_t* s;
            long long n;
            if (member->name == L"mac") continue;
            if (member->value->GetString(s)) without.SetPropertyStr(member->name.Handle(), s);
            else if (member->value->GetInt64(n)) without.SetPropertyInt64(member->name.Handle(), n);
        }
        zo::String indent;
        without.ToString(text, indent, false);
    }
    std::string bytes = Encode(Unescape(text.Handle(), text.Length()), m.utf8);
    if (m.truncated) bytes.resize(bytes.size() / 2);
    return bytes;
}

std::string ApListBytes(const Module& m) {
    std::wstring text;
    for (const std::wstring& line : m.accessPoints) text += line + L"\n";
    return proto::kApListPrefix + Encode(text, m.utf8);
}

// Random bytes that no reader takes for JSON or a list: the first is '#'.
std::string GarbageBytes(Module& m) {
    unsigned state = 2654435761u * static_cast<unsigned>(m.index + 1) + 40503u * ++m.answers;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    std::string bytes(24 + next() % 64, '\0');
    bytes[0] = '#';
    for (size_t i = 1; i < bytes.size(); ++i) bytes[i] = static_cast<char>(next() >> 24);
    return bytes;
}

// The host's IPv4 addresses; false when the table cannot be had. Under Wine
// a bind to an address the host lacks succeeds (on the wildcard address), so
// missing module addresses are looked for here.
bool HostAddresses(std::vector<unsigned long>& out) {
    typedef DWORD(WINAPI * GetTable)(PMIB_IPADDRTABLE, PULONG, BOOL);
    HMODULE library = LoadLibraryW(L"iphlpapi.dll");
    GetTable get = library ? reinterpret_cast<GetTable>(
                                 reinterpret_cast<void*>(GetProcAddress(library, "GetIpAddrTable")))
                           : nullptr;
    ULONG size = 0;
    std::vector<char> table;
    bool ok = get && get(nullptr, &size, FALSE) == ERROR_INSUFFICIENT_BUFFER;
    if (ok) {
        table.resize(size);
        ok = get(reinterpret_cast<PMIB_IPADDRTABLE>(table.data()), &size, FALSE) == NO_ERROR;
    }
    if (ok) {
        const MIB_IPADDRTABLE* t = reinterpret_cast<const MIB_IPADDRTABLE*>(table.data());
        for (DWORD i = 0; i < t->dwNumEntries; ++i) out.push_back(t->table[i].dwAddr);
    }
    if (library) FreeLibrary(library);
    return ok;
}

bool Equals(const char* data, int length, const char* request) {
    return length == static_cast<int>(strlen(request)) && memcmp(data, request, static_cast<size_t>(length)) == 0;
}

class Simulator {
public:
    explicit Simulator(const Options& options) : o(options), modules(static_cast<size_t>(options.Total())) {}
    ~Simulator() {
        for (Module& m : modules) m.socket.Close();
        wildcard.Close();
        if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
        if (sent != INVALID_HANDLE_VALUE) CloseHandle(sent);
    }

    // 0 when every socket is bound, else the exit code.
    int Start();
    int Run();

private:
    bool OpenSocket(zo::Socket& s, zo::IP ip);
    int Receive(zo::Socket& s, char* buffer, int size, zo::SOCKADDR& from, zo::IP& to, bool& known);
    Module* Addressed(zo::IP to);
    bool Reaches(const Module& m, zo::IP to, bool known, zo::IP from) const;
    void Drain(zo::Socket& s, Module* m);
    void Log(int module, const zo::SOCKADDR& from, const char* data, int length, const char* event = nullptr);
    void Answer(Module& m, const char* data, int length, const zo::SOCKADDR& from);
    void Send(const Reply& r);
    void SendDue();
    bool Ended() const;

    const Options& o;
    std::vector<Module> modules;
    zo::Socket wildcard;
    LPFN_WSARECVMSG recvMsg = nullptr;   // null: destinations are unknown
    HANDLE log = INVALID_HANDLE_VALUE;
    HANDLE sent = INVALID_HANDLE_VALUE;
    std::vector<Reply> pending;
    DWORD started = 0;
};

bool Simulator::OpenSocket(zo::Socket& s, zo::IP ip) {
    if (!s.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) return false;
    // The wildcard socket shares the port with the modules' sockets.
    BOOL on = TRUE;
    s.SetSockOpt(SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof(on));
    u_long nonBlocking = 1;
    ioctlsocket(s.Handle(), FIONBIO, &nonBlocking);
    // Which address a datagram was sent to names the module it is for.
    DWORD pktinfo = 1;
    s.SetSockOpt(IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&pktinfo), sizeof(pktinfo));
    zo::SOCKADDR at;
    at.SetIp(ip);
    at.SetPortW(proto::kModulePort);
    return s.Bind(at);
}

// Opens path (when given) to append to; false, having said so, when it cannot.
bool OpenToAppend(const std::wstring& path, HANDLE& file, const char* what) {
    if (path.empty()) return true;
    file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return true;
    fprintf(stderr, "module_sim: cannot open %s (error %lu)\n", what, GetLastError());
    return false;
}

int Simulator::Start() {
    started = GetTickCount();
    if (!o.ready.empty()) DeleteFileW(o.ready.c_str());
    if (!OpenToAppend(o.log, log, "the log") || !OpenToAppend(o.sent, sent, "the file of sent replies")) return 2;
    for (int i = 0; i < o.Total(); ++i)
        SetUp(modules[static_cast<size_t>(i)], i, ModuleAddress(o, i), i >= o.modules);
    for (const Options::Misbehaviour& b : o.misbehaviours) {
        Module& m = modules[static_cast<size_t>(b.module)];
        if (b.what->flag) m.*b.what->flag = true;
        else if (b.what->ms) m.*b.what->ms = b.ms;
        else m.record.mac = modules[0].record.mac;
    }
    for (const auto& e : o.etherIps) modules[static_cast<size_t>(e.first)].record.ether_ip = e.second;

    std::vector<unsigned long> host;
    if (HostAddresses(host)) {
        for (const Module& m : modules) {
            if (std::find(host.begin(), host.end(), m.address.ToLong()) != host.end()) continue;
            fprintf(stderr, "module_sim: module %d's address %s is not on this host\n", m.index, m.address.ToString());
            return 1;
        }
    }
    for (Module& m : modules) {
        if (!OpenSocket(m.socket, m.address)) {
            fprintf(stderr, "module_sim: cannot bind module %d to %s:%u (error %d)\n", m.index,
                    m.address.ToString(), proto::kModulePort, WSAGetLastError());
            return 1;
        }
    }
    if (!OpenSocket(wildcard, zo::IP(htonl(INADDR_ANY)))) {
        fprintf(stderr, "module_sim: cannot bind the wildcard socket (error %d)\n", WSAGetLastError());
        return 1;
    }
    DWORD got = 0;
    GUID id = WSAID_WSARECVMSG;
    if (WSAIoctl(wildcard.Handle(), SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &recvMsg, sizeof(recvMsg),
                 &got, nullptr, nullptr) != 0)
        recvMsg = nullptr;

    if (!o.ready.empty()) {
        std::wstring temporary = o.ready + L".tmp";
        FILE* f = _wfopen(temporary.c_str(), L"wb");
        if (!f) return Usage("cannot write the ready file");
        fprintf(f, "%d %s\n", o.Total(), o.first.ToString());
        fclose(f);
        if (!MoveFileExW(temporary.c_str(), o.ready.c_str(), MOVEFILE_REPLACE_EXISTING))
            return Usage("cannot write the ready file");
    }
    printf("module_sim: %d modules from %s", o.modules, o.first.ToString());
    if (o.secondModules) printf(", %d from %s", o.secondModules, o.secondFirst.ToString());
    printf(" port %u%s\n", proto::kModulePort,
           recvMsg ? "" : " (destinations unknown: every wildcard datagram counts as a broadcast)");
    fflush(stdout);
    return 0;
}

void Simulator::Log(int module, const zo::SOCKADDR& from, const char* data, int length, const char* event) {
    if (log == INVALID_HANDLE_VALUE) return;
    char sender[32];
    snprintf(sender, sizeof(sender), "%s:%u", from.GetIp().ToString(), from.GetPort());
    std::string record = simlog::FormatRecord(module, sender, data, length, event);
    DWORD written = 0;
    // One write per record, straight to the file: a reader never sees half of one.
    WriteFile(log, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

void Simulator::Answer(Module& m, const char* data, int length, const zo::SOCKADDR& from) {
    const int writeLength = static_cast<int>(strlen(proto::kWriteRequest));
    if (Lost(o, m.index, m.requests++, 0)) {
        Log(m.index, from, data, length, simlog::kLostRequest);
        return;
    }
    if (m.restarting && static_cast<int>(GetTickCount() - m.restartEnds) < 0) {
        Log(m.index, from, data, length, simlog::kRestarting);
        return;
    }
    m.restarting = false;
    std::string reply;
    if (Equals(data, length, proto::kReadRequest)) {
        reply = ReportBytes(m);
    } else if (Equals(data, length, proto::kApListRequest)) {
        reply = ApListBytes(m);
    } else if (length > writeLength && memcmp(data, proto::kWriteRequest, static_cast<size_t>(writeLength)) == 0) {
        zo::String text;
        zo::Json settings;
        proto::DecodeDatagram(data + writeLength, length - writeLength, text);
        if (!proto::ParseReport(text, settings) || !settings.IsObject()) return;
        if (!m.ignoreWrites) proto::ApplySettings(settings, m.record);
        reply = ReportBytes(m);
        if (m.restartMs) {
            // It restarts at once: the save itself goes unanswered.
            m.restarting = true;
            m.restartEnds = GetTickCount() + m.restartMs;
            return;
        }
    } else {
        return;
    }
    if (m.silent) return;
    if (m.garbage) reply = GarbageBytes(m);
    // Replies go to the tool's port, whatever port the request left from.
    zo::SOCKADDR to = from;
    to.SetPortW(proto::kToolPort);
    if (Lost(o, m.index, m.replies++, 1)) {
        Log(m.index, to, reply.data(), static_cast<int>(reply.size()), simlog::kLostReply);
        return;
    }
    Reply r = {GetTickCount() + m.lateMs, m.index, to, reply};
    if (m.lateMs) pending.push_back(r);
    else Send(r);
}

void Simulator::Send(const Reply& r) {
    modules[static_cast<size_t>(r.module)].socket.SendTo(r.bytes.data(), static_cast<int>(r.bytes.size()), 0, r.to,
                                                         zo::SOCKADDR::Size());
    if (sent == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    char line[48];
    int n = snprintf(line, sizeof(line), "%d %lld\n", r.module, static_cast<long long>(now.QuadPart));
    DWORD written = 0;
    WriteFile(sent, line, static_cast<DWORD>(n), &written, nullptr);
}

void Simulator::SendDue() {
    DWORD now = GetTickCount();
    for (size_t i = 0; i < pending.size();) {
        if (static_cast<int>(pending[i].due - now) > 0) {
            ++i;
            continue;
        }
        Send(pending[i]);
        pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

// One datagram into buffer; its byte count, or -1 (WSAGetLastError tells).
// to is the address it was sent to when known says so.
int Simulator::Receive(zo::Socket& s, char* buffer, int size, zo::SOCKADDR& from, zo::IP& to, bool& known) {
    known = false;
    if (!recvMsg) {
        int fromLength = zo::SOCKADDR::Size();
        return s.RecvFrom(buffer, size, 0, from, &fromLength);
    }
    char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSABUF data = {static_cast<ULONG>(size), buffer};
    WSAMSG message = {};
    message.name = from;
    message.namelen = zo::SOCKADDR::Size();
    message.lpBuffers = &data;
    message.dwBufferCount = 1;
    message.Control.buf = control;
    message.Control.len = sizeof(control);
    DWORD got = 0;
    if (recvMsg(s.Handle(), &message, &got, nullptr, nullptr) != 0) return -1;
    for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message); c; c = WSA_CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
        IN_PKTINFO info;
        memcpy(&info, WSA_CMSG_DATA(c), sizeof(info));
        to = zo::IP(info.ipi_addr);
        known = true;
    }
    return static_cast<int>(got);
}

// The module whose address to is; null for any other address.
Module* Simulator::Addressed(zo::IP to) {
    unsigned long k = ntohl(to.ToLong()) - ntohl(o.first.ToLong());
    if (k < static_cast<unsigned long>(o.modules)) return &modules[k];
    k = ntohl(to.ToLong()) - ntohl(o.secondFirst.ToLong());
    if (k < static_cast<unsigned long>(o.secondModules)) return &modules[static_cast<size_t>(o.modules) + k];
    return nullptr;
}

// Whether module m takes a broadcast sent to `to` (when known says it is
// known) by `from`: a directed broadcast reaches its own /24, the limited one
// the sender's /24, or every module when none is on it.
bool Simulator::Reaches(const Module& m, zo::IP to, bool known, zo::IP from) const {
    if (!known) return true;
    if (to.ToLong() != INADDR_BROADCAST) return SameSlash24(m.address, to);
    for (const Module& each : modules)
        if (SameSlash24(each.address, from)) return SameSlash24(m.address, from);
    return true;
}

// Receives everything queued on s, the socket of module m or (m null) the
// wildcard one. Under Wine any of them may take any module's datagrams, so
// the address a datagram was sent to decides, where it is known.
void Simulator::Drain(zo::Socket& s, Module* m) {
    static char buffer[65536];
    for (;;) {
        zo::SOCKADDR from;
        zo::IP to;
        bool known = false;
        int n = Receive(s, buffer, sizeof(buffer), from, to, known);
        if (n < 0) {
            // A port-unreachable report of an earlier reply; the next datagram may wait behind it.
            if (WSAGetLastError() == WSAECONNRESET) continue;
            return;
        }
        Module* target = known ? Addressed(to) : m;
        // The limited broadcast or a directed one (last octet 255).
        bool broadcast = !target && (known ? (ntohl(to.ToLong()) & 0xFF) == 0xFF : !m);
        // A datagram to another of the host's addresses (a sweep reaches the
        // tool's own) would reach no module.
        if (!target && !broadcast) continue;
        Log(target ? target->index : simlog::kBroadcast, from, buffer, n);
        if (target) Answer(*target, buffer, n, from);
        else
            for (Module& each : modules)
                if (Reaches(each, to, known, from.GetIp())) Answer(each, buffer, n, from);
    }
}

bool Simulator::Ended() const {
    if (gInputEnded) return true;
    if (o.seconds && GetTickCount() - started >= o.seconds * 1000) return true;
    return !o.stop.empty() && GetFileAttributesW(o.stop.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int Simulator::Run() {
    static fd_set ready;
    while (!Ended()) {
        SendDue();
        DWORD wait = 50;
        DWORD now = GetTickCount();
        for (const Reply& r : pending) {
            int left = static_cast<int>(r.due - now);
            if (left < 0) left = 0;
            if (static_cast<DWORD>(left) < wait) wait = static_cast<DWORD>(left);
        }
        FD_ZERO(&ready);
        for (Module& m : modules) FD_SET(m.socket.Handle(), &ready);
        FD_SET(wildcard.Handle(), &ready);
        timeval tv = {0, static_cast<long>(wait) * 1000};
        int n = select(0, &ready, nullptr, nullptr, &tv);
        if (n == SOCKET_ERROR) {
            fprintf(stderr, "module_sim: select failed (error %d)\n", WSAGetLastError());
            return 1;
        }
        if (n == 0) continue;
        for (Module& m : modules)
            if (FD_ISSET(m.socket.Handle(), &ready)) Drain(m.socket, &m);
        if (FD_ISSET(wildcard.Handle(), &ready)) Drain(wildcard, nullptr);
    }
    return 0;
}

DWORD WINAPI WatchInput(void*) {
    char buffer[256];
    DWORD got = 0;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(in, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    }
    gInputEnded = true;
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    int code = ParseOptions(argc, argv, options);
    if (code) return code;
    if (zo::StartWinsock() != 0) return 1;
    if (options.untilEof) {
        HANDLE watcher = CreateThread(nullptr, 0, WatchInput, nullptr, 0, nullptr);
        if (!watcher) return 1;
        CloseHandle(watcher);
    }
    {
        Simulator simulator(options);
        code = simulator.Start();
        if (code == 0) code = simulator.Run();
    }
    WSACleanup();
    return code;
}
