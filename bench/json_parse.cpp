// Parse plus compact write, in MB/s of input, of (a) a module parameter
// report of about 300 bytes and (b) a 1 MB document: ours from the GBK
// bytes, the two peers from the UTF-8 form of the same document. The goals
// are ratios to the peers measured in the same run.
#include <algorithm>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "BenchClock.h"
#include "core/Win.h"
#include "data/Json.h"
#include "data/JsonHeap.h"

namespace {

std::string Encode(const std::wstring& w, UINT codePage) {
    int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Report() {
    return L"{\"mac\":\"AC:23:3F:A0:11:5C\",\"ver\":\"2.1.7\",\"ip\":\"198.51.100.20\","
           L"\"mask\":\"255.255.255.0\",\"gw\":\"198.51.100.1\",\"wip\":\"198.51.100.40\","
           L"\"wgw\":\"198.51.100.4\",\"ssid\":\"\u529e\u516c\u5ba4\u4e8c\u697c\u7f51\u7edc\","
           L"\"pwd\":\"a1b2c3d4e5\",\"host\":\"iot.example.net\",\"port\":6643,\"baud\":115200,"
           L"\"dhcp\":true,\"rssi\":-61,\"uptime\":1234567,\"temp\":36.75}";
}

// A deterministic document of nested objects, arrays, strings and numbers.
std::wstring LargeDocument(size_t bytes) {
    static const wchar_t* kNames[] = {L"\u8bbe\u5907", L"status", L"\u540d\u79f0", L"value", L"items"};
    unsigned x = 12345;
    auto next = [&x]() { return x = x * 1103515245u + 12345u, (x >> 8) & 0xFFFF; };
    std::wstring s = L"[";
    for (unsigned record = 0; s.size() < bytes / 2; ++record) {   // UTF-16 units ~ bytes / 2
        if (record) s += L",";
        s += L"{\"id\":" + std::to_wstring(record) + L",\"" + kNames[next() % 5] + L"\":\"";
        s += next() % 2 ? L"\u6e29\u5ea6\u4f20\u611f\u5668 sensor " : L"plain ascii text \\\"quoted\\\" ";
        s += std::to_wstring(next()) + L"\",\"reading\":" + std::to_wstring(next() / 7.0) +
             L",\"flags\":[true,false,null," + std::to_wstring(next()) + L"],\"nested\":{\"a\":{\"b\":[" +
             std::to_wstring(static_cast<int>(next()) - 30000) + L",1.5e-7,\"x\"]}}}";
    }
    return s + L"]";
}

// Runs fn until at least `seconds` pass; returns MB/s of `bytes` per run.
template <class Fn>
double Rate(size_t bytes, double seconds, Fn fn) {
    unsigned runs = 0;
    double start = BenchNow(), elapsed;
    do {
        fn();
        ++runs;
        elapsed = BenchNow() - start;
    } while (elapsed < seconds);
    return static_cast<double>(bytes) * runs / elapsed / 1e6;
}

size_t sink = 0;   // keeps the work observable

double Ours(const std::string& gbk, double seconds) {
    return Rate(gbk.size(), seconds, [&] {
        zo::Json j;
        j.ParseMbs(gbk.data(), static_cast<int>(gbk.size()));
        zo::String out, indent;
        j.ToString(out, indent, false);
        sink += out.Length();
    });
}

double Rapid(const std::string& utf8, double seconds) {
    return Rate(utf8.size(), seconds, [&] {
        rapidjson::Document d;
        d.Parse(utf8.c_str());
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        d.Accept(writer);
        sink += buffer.GetSize();
    });
}

double Nlohmann(const std::string& utf8, double seconds) {
    return Rate(utf8.size(), seconds, [&] {
        nlohmann::json j = nlohmann::json::parse(utf8);
        sink += j.dump().size();
    });
}

struct Ratios {
    double rapid, nlohmann;
};

Ratios Workload(const char* name, const std::wstring& text, double seconds) {
    const std::string gbk = Encode(text, CP_THREAD_ACP), utf8 = Encode(text, CP_UTF8);
    // Other work shares the machine: the three take turns for several
    // rounds and each keeps its best round.
    double ours = 0, rapid = 0, nl = 0;
    for (int round = 0; round < 5; ++round) {
        ours = std::max(ours, Ours(gbk, seconds / 5));
        // The blocks our cache keeps go back before the peers run, so they
        // meet the heap as they would without us (and each of our rounds
        // starts cold).
        zo::JsonHeap::Trim();
        rapid = std::max(rapid, Rapid(utf8, seconds / 5));
        nl = std::max(nl, Nlohmann(utf8, seconds / 5));
    }
    printf("%-8s %8u GBK bytes: ours %8.1f MB/s  RapidJSON %8.1f MB/s  nlohmann %8.1f MB/s  "
           "ours/RapidJSON %.2fx  ours/nlohmann %.2fx\n",
           name, static_cast<unsigned>(gbk.size()), ours, rapid, nl, ours / rapid, ours / nl);
    return {ours / rapid, ours / nl};
}

bool Goal(const char* text, double ratio, double least) {
    printf("goal %-36s %.2fx: %s\n", text, ratio, ratio >= least ? "met" : "NOT met");
    return ratio >= least;
}

}   // namespace

int main() {
    printf("json parse + compact write, code page %u\n", GetACP());
    const Ratios report = Workload("report", Report(), 2.0);
    const Ratios large = Workload("1MB", LargeDocument(1 << 20), 5.0);
    bool met = Goal("report >= 1.0x nlohmann", report.nlohmann, 1.0);
    met &= Goal("report >= 0.5x RapidJSON", report.rapid, 0.5);
    met &= Goal("1MB document >= 1.0x nlohmann", large.nlohmann, 1.0);
    return met && sink ? 0 : 1;
}
