// Runs ModuleCli.exe beside the test with its standard output and error
// redirected to files, as a script would, and gives back what it wrote
// (UTF-8) and its exit code. Every run is bounded in time.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Win.h"
#include "support/Simulator.h"

namespace clitest {

struct CliResult {
    DWORD code = STILL_ACTIVE;
    std::string out, err;
    double seconds = 0;
};

inline std::string ReadAll(const std::wstring& path) { return simlog::ReadFileBytes(path.c_str()); }

inline std::wstring TempPath(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"zo-cli-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
}

// Writes bytes to a file in the temporary folder; its path.
inline std::wstring WriteTemp(const wchar_t* name, const std::string& bytes) {
    std::wstring path = TempPath(name);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(f);
    return path;
}

// Runs the program to its end (ended after ms), started as the other
// programs are (zotest::StartWithin).
inline CliResult RunCli(const std::wstring& args, DWORD ms = 60000) {
    CliResult r;
    std::wstring outPath = TempPath(L"out.txt"), errPath = TempPath(L"err.txt");
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    const std::wstring path = zotest::BesideMe(L"ModuleCli.exe");
    auto launch = [&]() -> HANDLE {
        for (HANDLE h : {si.hStdOutput, si.hStdError})
            if (h) CloseHandle(h);
        si.hStdOutput = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
        si.hStdError = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
        std::wstring line = L"\"" + path + L"\" " + args;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi))
            return nullptr;
        CloseHandle(pi.hThread);
        return pi.hProcess;
    };
    DWORD start = GetTickCount();
    zotest::Started s = zotest::StartWithin(path, launch, [] { return false; }, ms);
    if (s.process) CloseHandle(s.process);
    r.code = s.code;
    r.seconds = (GetTickCount() - start) / 1000.0;
    CloseHandle(si.hStdOutput);
    CloseHandle(si.hStdError);
    r.out = ReadAll(outPath);
    r.err = ReadAll(errPath);
    DeleteFileW(outPath.c_str());
    DeleteFileW(errPath.c_str());
    return r;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Whether text holds part; a failure shows the whole text.
inline testing::AssertionResult Has(const std::string& text, const std::string& part) {
    if (Contains(text, part)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "\"" << part << "\" is not in:\n" << text;
}

// A command line or other ASCII text for a failure message.
inline std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// The lines of a text, CR LF or LF ended.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        std::string l = text.substr(at, end - at);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

} // namespace clitest
