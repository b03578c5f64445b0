// A file kept aside while a test or benchmark runs (the tool's place file,
// ModuleTool.Json, beside the program), on disk rather than in memory: a
// test killed by its time limit leaves the marker behind, and the next run
// puts the file back first (RepairKeptAside). Header-only: benchmarks use it.
#pragma once
#include <string>
#include <vector>

#include "core/Win.h"

namespace zotest {

// The file goes to file + kKept while the holder lives, or kAbsent marks
// that there was none. Whatever is at the path when the holder ends (a
// folder too) goes, and the file comes back as it was. A holder made while
// another one holds the same file does nothing: the outer one puts it back.
class KeptAside {
public:
    static constexpr const wchar_t* kKept = L".kept-aside";
    static constexpr const wchar_t* kAbsent = L".was-absent";

    explicit KeptAside(const std::wstring& file) : path(file) {
        if (Exists(path + kKept) || Exists(path + kAbsent)) return;   // held further out
        held = true;
        if (Exists(path)) {
            ok = MoveFileExW(path.c_str(), (path + kKept).c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        } else {
            HANDLE f = CreateFileW((path + kAbsent).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ok = f != INVALID_HANDLE_VALUE;
            if (ok) CloseHandle(f);
        }
    }
    ~KeptAside() {
        if (held) PutBack(path);
    }
    KeptAside(const KeptAside&) = delete;
    KeptAside& operator=(const KeptAside&) = delete;

    // False when the file could not be moved aside.
    bool Ok() const { return ok; }

    // Puts back every file of folder that a holder kept aside and never put
    // back (its test was killed); the names of the files put back.
    static std::vector<std::wstring> Repair(const std::wstring& folder) {
        std::vector<std::wstring> repaired;
        for (const wchar_t* mark : {kKept, kAbsent}) {
            WIN32_FIND_DATAW fd;
            HANDLE find = FindFirstFileW((folder + L"\\*" + mark).c_str(), &fd);
            if (find == INVALID_HANDLE_VALUE) continue;
            do {
                std::wstring name = fd.cFileName;
                name.resize(name.size() - wcslen(mark));
                if (PutBack(folder + L"\\" + name)) repaired.push_back(name);
            } while (FindNextFileW(find, &fd));
            FindClose(find);
        }
        return repaired;
    }

    const std::wstring path;

private:
    static bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

    static void Remove(const std::wstring& p) {
        DWORD attributes = GetFileAttributesW(p.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return;
        SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileW(p.c_str());
            return;
        }
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW((p + L"\\*").c_str(), &fd);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName;
                if (name != L"." && name != L"..") Remove(p + L"\\" + name);
            } while (FindNextFileW(find, &fd));
            FindClose(find);
        }
        RemoveDirectoryW(p.c_str());
    }

    // Whatever is at file goes and the kept file comes back; true when
    // there was something to put back.
    static bool PutBack(const std::wstring& file) {
        bool kept = Exists(file + kKept), absent = Exists(file + kAbsent);
        if (!kept && !absent) return false;
        Remove(file);
        if (kept) MoveFileExW((file + kKept).c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
        DeleteFileW((file + kAbsent).c_str());
        return true;
    }

    bool held = false;
    bool ok = true;
};

} // namespace zotest
