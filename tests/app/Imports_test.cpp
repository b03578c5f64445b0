// The DLLs the shipped programs load: the import tables (plain and delayed)
// of ModuleTool.exe of both builds, read from the file bytes. Every DLL must
// come with Windows, so the program runs on a bare system, and no imported
// function may be newer than Windows 7.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "data/ConfigTestFiles.h"
#include "support/PeImports.h"
#include "support/Simulator.h"

namespace {

// DLLs every supported Windows has in its system folder.
const char* const kSystemDlls[] = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ws2_32.dll", "comctl32.dll", "advapi32.dll",
    "msvcrt.dll", "version.dll", "msimg32.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll", "comdlg32.dll",
    "shlwapi.dll", "iphlpapi.dll", "uxtheme.dll", "winmm.dll", "mswsock.dll", "psapi.dll", "imm32.dll",
};

bool IsSystemDll(const std::string& dll) {
    for (const char* s : kSystemDlls)
        if (dll == s) return true;
    return false;
}

std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

// ModuleTool.exe of a build: this test runs from build/x86_64/bin, the other
// build's programs are in build/ARCH/bin.
std::wstring ToolOf(const wchar_t* arch) {
    std::wstring bin = Parent(zotest::BesideMe(L"ModuleTool.exe"));
    return Parent(Parent(bin)) + L"\\" + arch + L"\\bin\\ModuleTool.exe";
}

} // namespace

TEST(Imports, BothBuildsOfTheToolImportOnlyDllsThatComeWithWindows) {
    const struct {
        const wchar_t* arch;
        unsigned machine, magic;
    } builds[] = {{L"x86_64", 0x8664, 0x20B}, {L"i686", 0x14C, 0x10B}};
    ASSERT_EQ(ToolOf(L"x86_64"), zotest::BesideMe(L"ModuleTool.exe")) << "the test runs from build/x86_64/bin";
    for (const auto& b : builds) {
        std::wstring path = ToolOf(b.arch);
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        std::string file = configtest::ReadBytes(path);
        ASSERT_FALSE(file.empty()) << "the program of this build is missing: build both (scripts/build)";
        zotest::PeImports imports;
        ASSERT_TRUE(zotest::ReadImports(file, imports));
        EXPECT_EQ(imports.machine, b.machine);
        EXPECT_EQ(imports.magic, b.magic);
        // Any Win32 program imports kernel32: its absence means the table was misread.
        EXPECT_NE(std::find(imports.dlls.begin(), imports.dlls.end(), "kernel32.dll"), imports.dlls.end());
        std::string all;
        for (const std::string& dll : imports.dlls) {
            all += dll + " ";
            EXPECT_TRUE(IsSystemDll(dll)) << dll << " does not come with Windows";
        }
        printf("%ls: %zu bytes, imports %s\n", b.arch, file.size(), all.c_str());
        // Windows 7 must start it: functions newer than it (the DPI ones) are
        // looked up at run time, never imported. GetDeviceCaps is how every
        // DPI reaches the program when they are missing.
        EXPECT_NE(std::find(imports.functions.begin(), imports.functions.end(), "GetDeviceCaps"),
                  imports.functions.end()) << "the imported names were misread";
        for (const std::string& f : imports.functions)
            EXPECT_EQ(f.find("Dpi"), std::string::npos) << f << " is newer than Windows 7";
    }
}
