// The module simulator's log of received datagrams and a reader for it. The
// file is append-only; each record is one text header line
//   "<module> <sender ip>:<port> <length>\n"
// then exactly <length> raw bytes and "\n". <module> is the index of the
// module whose address the datagram was sent to, or "*" for a broadcast,
// which every module takes. The simulator writes each record with one call,
// so a reader may read while it runs; an unfinished record at the end is
// left for the next read.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "core/Win.h"

namespace simlog {

const int kBroadcast = -1;   // the module field of a broadcast's record

struct Record {
    int module = kBroadcast;
    std::string sender;   // "198.51.100.10:6643"
    std::string bytes;
};

// One record as the simulator writes it.
inline std::string FormatRecord(int module, const std::string& sender, const char* data, int length) {
    char head[64];
    if (module == kBroadcast) snprintf(head, sizeof(head), "* ");
    else snprintf(head, sizeof(head), "%d ", module);
    std::string out = head + sender;
    snprintf(head, sizeof(head), " %d\n", length);
    out += head;
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
        size_t space1 = head.find(' '), space2 = head.rfind(' ');
        if (space1 == std::string::npos || space2 == space1) break;
        Record r;
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
