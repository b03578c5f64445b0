// The Wine prefix's display DPI (HKCU "Control Panel\Desktop" LogPixels) set
// for programs started while a holder lives, and the value found put back
// after. The value found is noted beside the test program first, so that a
// test killed by its time limit is repaired by the next run (Repair).
#pragma once
#include <cstdio>
#include <string>

#include "core/Win.h"
#include "support/Beside.h"

namespace zotest {

class LogPixels {
public:
    explicit LogPixels(DWORD dpi) {
        std::wstring note = NotePath();
        if (GetFileAttributesW(note.c_str()) == INVALID_FILE_ATTRIBUTES) {
            // "none" when the prefix has no value of its own.
            DWORD found = 0;
            std::string text = Read(found) ? std::to_string(found) : "none";
            HANDLE f = CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (f == INVALID_HANDLE_VALUE) return;
            DWORD put = 0;
            WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
            CloseHandle(f);
            noted = true;
        }
        ok = Write(&dpi);
    }
    ~LogPixels() {
        if (noted) Repair();
    }
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;

    bool ok = false;

    // Puts back the value a holder found, when one's note is left; true
    // when there was one.
    static bool Repair() {
        std::wstring note = NotePath();
        HANDLE f = CreateFileW(note.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        char text[32] = {};
        DWORD got = 0;
        ReadFile(f, text, sizeof(text) - 1, &got, nullptr);
        CloseHandle(f);
        DWORD value = 0;
        if (sscanf(text, "%lu", &value) == 1) Write(&value);
        else Write(nullptr);
        DeleteFileW(note.c_str());
        return true;
    }

    // The prefix's value; false when it has none.
    static bool Read(DWORD& dpi) {
        DWORD size = sizeof(dpi), type = 0;
        return RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, &type, &dpi, &size) == ERROR_SUCCESS;
    }

private:
    static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
    static constexpr const wchar_t* kValue = L"LogPixels";

    static std::wstring NotePath() { return BesideMe(L"LogPixels.found"); }

    // Sets the value, or deletes it when dpi is null.
    static bool Write(const DWORD* dpi) {
        if (!dpi) return RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kValue) == ERROR_SUCCESS;
        return RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, dpi, sizeof(*dpi)) == ERROR_SUCCESS;
    }

    bool noted = false;
};

} // namespace zotest
