// The module simulator's log of received datagrams and a reader for it. The
// file is append-only; each record is one text header line
//   "<module> <ip>:<port> <length>[ <event>]\n"
// then exactly <length> raw bytes and "\n". A record without an event is a
// datagram received: <module> is the index of the module whose address it
// was sent to, or "*" for a broadcast, and the address its sender's. A
// record with an event follows one of those and tells what became of it at
// one module: "lost-request" (the module never got it), "restarting" (it got
// it while restarting and stays silent), or "lost-reply" (its answer, the
// bytes, was lost on the way to the address). The simulator writes each
// record with one call, so a reader may read while it runs; an unfinished
// record at the end is left for the next read.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "core/Win.h"

namespace simlog {

const int kBroadcast = -1;   // the module field of a broadcast's record

// The events; a received datagram has none.
const char kLostRequest[] = "lost-request";
const char kLostReply[] = "lost-reply";
const char kRestarting[] = "restarting";

struct Record {
    int module = kBroadcast;
    std::string sender;   // "198.51.100.10:6643"; a lost reply's: where it was going
    std::string bytes;
    std::string event;    // empty for a datagram received
};

// One record as the simulator writes it; event null or empty for a datagram received.
inline std::string FormatRecord(int module, const std::string& sender, const char* data, int length,
                                const char* event = nullptr) {
    std::string out = (module == kBroadcast ? std::string("*") : std::to_string(module)) + " " + sender + " " +
                      std::to_string(length);
    if (event && *event) out += std::string(" ") + event;
    out += '\n';
    out.append(data, static_cast<size_t>(length));
    out += '\n';
    return out;
}

// The complete records of a log text, in order. Parsing stops at the first
// record that is unfinished or malformed; *complete (when given) tells
// whether the whole text was read.
inline std::vector<Record> ParseLog(const std::string& text, bool* complete = nullptr) {
    std::vector<Record> records;
    size_t at = 0;
    for (;;) {
        size_t eol = text.find('\n', at);
        if (eol == std::string::npos) break;
        std::string head = text.substr(at, eol - at);
        Record r;
        size_t space1 = head.find(' ');
        size_t space2 = space1 == std::string::npos ? space1 : head.find(' ', space1 + 1);
        if (space2 == std::string::npos) break;
        size_t space3 = head.find(' ', space2 + 1);
        if (space3 != std::string::npos) {
            r.event = head.substr(space3 + 1);
            if (r.event.empty() || r.event.find(' ') != std::string::npos) break;
            head.resize(space3);
        }
        std::string module = head.substr(0, space1);
        if (module == "*") {
            r.module = kBroadcast;
        } else {
            char* end = nullptr;
            long m = strtol(module.c_str(), &end, 10);
            if (module.empty() || *end || m < 0) break;
            r.module = static_cast<int>(m);
        }
        r.sender = head.substr(space1 + 1, space2 - space1 - 1);
        char* end = nullptr;
        std::string count = head.substr(space2 + 1);
        unsigned long n = strtoul(count.c_str(), &end, 10);
        if (count.empty() || *end) break;
        size_t body = eol + 1;
        if (text.size() < body + n + 1 || text[body + n] != '\n') break;
        r.bytes = text.substr(body, n);
        records.push_back(r);
        at = body + n + 1;
    }
    if (complete) *complete = at == text.size();
    return records;
}

// The whole file as bytes; empty when it cannot be read. Shares the file
// with the simulator that is writing it.
inline std::string ReadFileBytes(const wchar_t* path) {
    std::string bytes;
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(f);
    return bytes;
}

// The complete records of the log file at path.
inline std::vector<Record> ReadLog(const wchar_t* path) { return ParseLog(ReadFileBytes(path)); }

} // namespace simlog
