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

namespace configtest {

inline std::wstring Widen(const std::string& s) {
    std::wstring w;
    for (char c : s) w += wchar_t(static_cast<unsigned char>(c));
    return w;
}

// Removes a folder and everything below it, read-only files included.
inline void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = dir + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

// A fresh folder for one test, gone (with its content) when the test ends.
class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static unsigned serial = 0;
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            wchar_t name[64];
            swprintf(name, 64, L"zo-config-%lu-%u", GetCurrentProcessId(), ++serial);
            std::wstring candidate = std::wstring(temp) + name;
            if (CreateDirectoryW(candidate.c_str(), nullptr)) path = candidate;
        }
        EXPECT_FALSE(path.empty()) << "no temporary folder";
    }
    ~TempFolder() {
        if (!path.empty()) RemoveTree(path);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path; }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }
    // Names of everything in the folder, sorted.
    std::vector<std::wstring> Listing() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            std::wstring name = fd.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (FindNextFileW(find, &fd));
        FindClose(find);
        std::sort(names.begin(), names.end());
        return names;
    }

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

// Reads the whole file, sharing everything so a writer is never disturbed.
// False when the file cannot be opened.
inline bool ReadBytes(const std::wstring& path, std::string& out) {
    out.clear();
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof(buf), &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(f);
    return true;
}

inline std::string ReadBytes(const std::wstring& path) {
    std::string s;
    ReadBytes(path, s);
    return s;
}

inline bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Pretty text as the file holds it: lines joined by CR LF, no break at the end.
inline std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) {
        if (!s.empty()) s += "\r\n";
        s += l;
    }
    return s;
}

// A child process holding a file open without sharing it, until the child
// object is destroyed. The test program must register the role with
// CONFIGTEST_HOLDER_ROLE().
class FileHolder {
public:
    bool Start(const std::wstring& path) {
        wchar_t name[64];
        swprintf(name, 64, L"zo-config-held-%lu-%p", GetCurrentProcessId(), static_cast<void*>(this));
        ready = CreateEventW(nullptr, TRUE, FALSE, name);
        if (!ready || !child.Start("HoldFile", std::wstring(L"\"") + path + L"\" " + name)) return false;
        HANDLE both[2] = {ready, child.Process()};
        return WaitForMultipleObjects(2, both, FALSE, 10000) == WAIT_OBJECT_0;
    }
    ~FileHolder() {
        if (ready) CloseHandle(ready);
    }

private:
    zotest::Child child;
    HANDLE ready = nullptr;
};

// argv: path, name of the event to set once the file is held. The child
// then waits for its end (the test kills it).
inline int HoldFileRole(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HANDLE f = CreateFileW(argv[0], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 3;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (!ready) return 4;
    SetEvent(ready);
    // Held until the test ends this process; bounded so it cannot outlive a crashed test.
    WaitForSingleObject(GetCurrentProcess(), 60000);
    CloseHandle(f);
    return 0;
}

} // namespace configtest

#define CONFIGTEST_HOLDER_ROLE() \
    ZO_CHILD_ROLE(HoldFile) { return configtest::HoldFileRole(argc, argv); }
