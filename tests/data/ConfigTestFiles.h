// Test helpers for the configuration file: a folder of the test's own under
// the temporary directory (removed with all it holds), whole-file reads and
// writes of raw bytes, and a child process that keeps a file to itself.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Win.h"
#include "support/Child.h"
#include "support/KeptAside.h"
#include "tools/SimulatorLog.h"

namespace configtest {

// Names in a folder, sorted; with remove, everything below it goes too.
inline std::vector<std::wstring> Walk(const std::wstring& dir, bool remove) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName, full = dir + L"\\" + name;
            if (name == L"." || name == L"..") continue;
            names.push_back(name);
            if (!remove) continue;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                Walk(full, true);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    if (remove) RemoveDirectoryW(dir.c_str());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder for one test, gone (with its content) when the test ends.
class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static unsigned serial = 0;
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            std::wstring candidate = std::wstring(temp) + L"zo-config-" +
                                     std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
            if (CreateDirectoryW(candidate.c_str(), nullptr)) path = candidate;
        }
        EXPECT_FALSE(path.empty()) << "no temporary folder";
    }
    ~TempFolder() {
        if (!path.empty()) Walk(path, true);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path; }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }
    std::vector<std::wstring> Listing() const { return Walk(path, false); }

private:
    std::wstring path;
};

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    BOOL ok = bytes.empty() || WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr);
    CloseHandle(f);
    return ok && put == bytes.size();
}

// The whole file ("" when it cannot be opened), read sharing everything.
inline std::string ReadBytes(const std::wstring& path) { return simlog::ReadFileBytes(path.c_str()); }

inline bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A file kept aside for a test: gone while the test runs (whatever the test
// then puts in its place, a folder too, goes at the end), and put back as it
// was, by the next run when the test was killed.
class KeptAside : public zotest::KeptAside {
public:
    explicit KeptAside(const std::wstring& file) : zotest::KeptAside(file) {
        EXPECT_TRUE(Ok()) << "could not keep the file aside";
    }
};

// Pretty text as the file holds it: lines joined by CR LF, no break at the end.
inline std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s += (s.empty() ? "" : "\r\n") + std::string(l);
    return s;
}

// A child process holding a file open without sharing it, until the holder
// is destroyed. The test program registers the role with
// CONFIGTEST_HOLDER_ROLE().
class FileHolder {
public:
    bool Start(const std::wstring& path) {
        std::wstring name = L"zo-config-held-" + std::to_wstring(GetCurrentProcessId());
        ready = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        if (!ready || !child.Start("HoldFile", L"\"" + path + L"\" " + name)) return false;
        HANDLE both[2] = {ready, child.Process()};
        return WaitForMultipleObjects(2, both, FALSE, 10000) == WAIT_OBJECT_0;
    }
    ~FileHolder() {
        if (ready) CloseHandle(ready);
    }

private:
    zotest::Child child;   // killed when the holder goes
    HANDLE ready = nullptr;
};

// argv: path, name of the event to set once the file is held. The child
// then waits (bounded, should the test die first) for the test to end it.
inline int HoldFileRole(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HANDLE f = CreateFileW(argv[0], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (f == INVALID_HANDLE_VALUE || !ready) return 3;
    SetEvent(ready);
    WaitForSingleObject(GetCurrentProcess(), 60000);
    return 0;
}

} // namespace configtest

#define CONFIGTEST_HOLDER_ROLE() \
    ZO_CHILD_ROLE(HoldFile) { return configtest::HoldFileRole(argc, argv); }
