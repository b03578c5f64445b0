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
#include "support/Simulator.h"

namespace {

// Little-endian reads that fail past the end instead of reading beyond it.
struct Bytes {
    const std::string& b;
    bool ok = true;
    unsigned long long Read(size_t at, unsigned size) {
        if (at > b.size() || b.size() - at < size) {
            ok = false;
            return 0;
        }
        unsigned long long v = 0;
        for (unsigned i = 0; i < size; ++i) v |= static_cast<unsigned long long>(static_cast<unsigned char>(b[at + i])) << (8 * i);
        return v;
    }
    unsigned U16(size_t at) { return static_cast<unsigned>(Read(at, 2)); }
    unsigned long U32(size_t at) { return static_cast<unsigned long>(Read(at, 4)); }
};

struct PeImports {
    unsigned machine = 0;
    unsigned magic = 0;   // 0x10B: PE32, 0x20B: PE32+
    std::vector<std::string> dlls;   // lower case, in table order, plain then delayed
    std::vector<std::string> functions;   // imported by name, plain table, as written
};

// False when the bytes are no PE image or a table points outside the file.
bool ReadImports(const std::string& file, PeImports& out) {
    Bytes r{file};
    if (r.U16(0) != 0x5A4D) return false;   // "MZ"
    size_t pe = r.U32(0x3C);
    if (r.U32(pe) != 0x00004550) return false;   // "PE\0\0"
    out.machine = r.U16(pe + 4);
    unsigned sections = r.U16(pe + 6);
    size_t optional = pe + 24, optionalSize = r.U16(pe + 20);
    out.magic = r.U16(optional);
    size_t directories;
    if (out.magic == 0x10B) directories = optional + 96;
    else if (out.magic == 0x20B) directories = optional + 112;
    else return false;
    size_t table = optional + optionalSize;
    auto fileOffset = [&](unsigned long rva, size_t& at) {
        for (unsigned s = 0; s < sections; ++s) {
            size_t h = table + 40u * s;
            unsigned long size = std::max(r.U32(h + 8), r.U32(h + 16)), start = r.U32(h + 12);
            if (rva >= start && rva - start < size) {
                at = r.U32(h + 20) + (rva - start);
                return r.ok;
            }
        }
        return false;
    };
    auto name = [&](unsigned long rva, std::string& text) {
        size_t at = 0;
        if (!fileOffset(rva, at)) return false;
        text.clear();
        for (; at < file.size() && file[at]; ++at) text += static_cast<char>(tolower(static_cast<unsigned char>(file[at])));
        return at < file.size() && !text.empty();
    };
    // Directory 1: descriptors of 20 bytes, name at +12. Directory 13: delayed
    // descriptors of 32 bytes, name at +4. Both end with an all-zero entry.
    const struct {
        unsigned index, size, nameAt;
    } kinds[] = {{1, 20, 12}, {13, 32, 4}};
    for (const auto& k : kinds) {
        unsigned long rva = r.U32(directories + 8u * k.index);
        if (!rva) continue;
        size_t at = 0;
        if (!fileOffset(rva, at)) return false;
        for (;; at += k.size) {
            unsigned long nameRva = r.U32(at + k.nameAt);
            if (!r.ok) return false;
            if (!nameRva) break;
            std::string dll;
            if (!name(nameRva, dll)) return false;
            out.dlls.push_back(dll);
            if (k.index != 1) continue;
            // The names of the plain table: its lookup array (first field, or
            // the address array when absent) ends with a zero entry; an
            // entry with the top bit clear points at a hint and a name.
            unsigned long lookup = r.U32(at) ? r.U32(at) : r.U32(at + 16);
            unsigned width = out.magic == 0x20B ? 8 : 4;
            size_t entry = 0;
            if (!fileOffset(lookup, entry)) return false;
            for (;; entry += width) {
                unsigned long long v = r.Read(entry, width);
                if (!r.ok) return false;
                if (!v) break;
                if (v >> (8 * width - 1)) continue;   // by ordinal
                size_t hint = 0;
                if (!fileOffset(static_cast<unsigned long>(v) + 2, hint)) return false;
                std::string function;
                for (; hint < file.size() && file[hint]; ++hint) function += file[hint];
                out.functions.push_back(function);
            }
        }
    }
    return r.ok;
}

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
        PeImports imports;
        ASSERT_TRUE(ReadImports(file, imports));
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
