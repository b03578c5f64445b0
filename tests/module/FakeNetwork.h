// A scripted network and clock for the request engine: simulated modules
// answer through the protocol code after a delay, may lose requests, ignore
// saves, stay silent after one or share an address with another module;
// sends may fail. Time moves only as the engine waits.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/module/ModuleProtocol.h"
#include "app/module/Clock.h"
#include "app/module/Transport.h"

namespace clitest {

struct FakeModule {
    ModleParam record;
    unsigned delay = 5;             // ms from request to reply
    unsigned loseFirst = 0;         // requests lost before the first heard
    bool ignoreSaves = false;
    uint64_t silentAfterSave = 0;   // ms without any answer after a save
    uint64_t silentUntil = 0;
    uint32_t alsoAt = 0;            // a second address it answers at (two modules on one address)
};

struct SentRecord {
    uint64_t at;
    uint32_t to;
    std::string bytes;
    zo::IP via;
};

class FakeNetwork : public proto::Clock, public proto::Transport {
public:
    uint64_t Now() override { return now; }

    // Module i (from 1) at <host> of network 1 (198.51.100.0/24) or 2
    // (203.0.113.0/24), mac "M<net>-<host>".
    FakeModule& Add(unsigned net, unsigned host) {
        FakeModule& m = modules[Address(net, host)];
        m.record.mac = (L"M" + std::to_wstring(net) + L"-" + std::to_wstring(host)).c_str();
        m.record.ether_ip = zo::IP(static_cast<unsigned long>(Address(net, host)));
        m.record.serial_rate = 115200;
        m.record.serv_port = 8899;
        m.record.serv_host = L"198.51.100.10";
        return m;
    }
    static uint32_t Address(unsigned net, unsigned host) {
        uint32_t network = net == 1 ? (198u | 51u << 8 | 100u << 16) : (203u | 0u << 8 | 113u << 16);
        return network | (host << 24);
    }

    bool Send(zo::IP to, const std::string& bytes, zo::IP via) override {
        uint32_t a = static_cast<uint32_t>(to.ToLong());
        sent.push_back({now, a, bytes, via});
        if (failSends) return false;
        if (a == 0xFFFFFFFFu) {
            // A broadcast from an adapter's address stays on its /24.
            for (auto& m : modules)
                if (via.IsNull() || ((m.first ^ static_cast<uint32_t>(via.ToLong())) & 0xFFFFFFu) == 0)
                    Answer(m.first, m.second, bytes);
        } else {
            for (auto& m : modules)
                if (m.first == a || m.second.alsoAt == a) Answer(m.first, m.second, bytes);
        }
        return true;
    }

    bool Receive(unsigned ms, proto::Datagram& out) override {
        auto first = pending.begin();
        if (first != pending.end() && first->first <= now + ms) {
            if (first->first > now) now = first->first;
            out = first->second;
            pending.erase(first);
            return true;
        }
        now += ms;
        return false;
    }

    std::vector<SentRecord> SentTo(uint32_t to) const {
        std::vector<SentRecord> out;
        for (const auto& s : sent)
            if (s.to == to) out.push_back(s);
        return out;
    }

    uint64_t now = 100000;
    bool failSends = false;   // every send is refused by the system (and nothing arrives)
    std::map<uint32_t, FakeModule> modules;
    std::vector<SentRecord> sent;
    std::multimap<uint64_t, proto::Datagram> pending;

private:
    void Answer(uint32_t address, FakeModule& m, const std::string& bytes) {
        if (m.loseFirst) {
            --m.loseFirst;
            return;
        }
        if (now < m.silentUntil) return;
        std::string reply;
        const std::string save = proto::kWriteRequest;
        if (bytes == proto::kReadRequest) {
            reply = Report(m);
        } else if (bytes == proto::kApListRequest) {
            reply = "+CWLAP:Office\n-40\nGuest\n-70\n";
        } else if (bytes.compare(0, save.size(), save) == 0) {
            zo::Json settings;
            if (!m.ignoreSaves && settings.ParseMbs(bytes.data() + save.size(), static_cast<int>(bytes.size() - save.size())))
                proto::ApplySettings(settings, m.record);
            if (m.silentAfterSave) {
                m.silentUntil = now + m.silentAfterSave;
                return;
            }
            reply = Report(m);
        } else {
            return;
        }
        pending.insert({now + m.delay, proto::Datagram{reply, zo::IP(static_cast<unsigned long>(address))}});
    }

    static std::string Report(const FakeModule& m) {
        zo::String text;
        proto::WriteReport(m.record, text);
        zo::Memory<char> bytes;
        int n = text.ToMultiByte(bytes);
        return std::string(bytes.data, n > 0 ? static_cast<size_t>(n) : 0);
    }
};

} // namespace clitest
