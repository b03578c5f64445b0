// Where the configuration file goes (executable directory, base name, ".Json")
// and which spellings of a path count as the same file; the real executable
// path is checked from a copy of this program in a folder of its own.
#include <gtest/gtest.h>

#include <string>

#include "data/Config.h"
#include "data/ConfigPath.h"
#include "data/ConfigTestFiles.h"
#include "support/Beside.h"
#include "support/Texts.h"

using configtest::TempFolder;

namespace {

using zotest::Text;

std::wstring ConfigFor(const wchar_t* modulePath) {
    zo::String out;
    zo::MakeConfigPath(modulePath, out);
    return Text(out);
}

// The directory as given, less its trailing separators; the base name less
// its trailing dots; only the last component's dot starts the extension.
TEST(ConfigPathFromModule, DirectoryAndBaseNameLessTrailingSeparatorsAndDotsThenCapitalJson) {
    const struct {
        const wchar_t* module;
        const wchar_t* config;
    } cases[] = {
        {L"C:\\Tools\\tool.exe", L"C:\\Tools\\tool.Json"}, {L"C:\\Tools\\TOOL.EXE", L"C:\\Tools\\TOOL.Json"},
        {L"C:\\tool.exe", L"C:\\tool.Json"}, {L"\\\\server\\share\\tool.exe", L"\\\\server\\share\\tool.Json"},
        {L"C:/Tools/tool.exe", L"C:/Tools\\tool.Json"}, {L"C:\\Tools\\a.b.exe", L"C:\\Tools\\a.b.Json"},
        {L"C:\\\u7f51\u7edc\\\u5de5\u5177.exe", L"C:\\\u7f51\u7edc\\\u5de5\u5177.Json"},
        {L"tool.exe", L"tool.Json"}, {L"C:\\Tools\\\\tool.exe", L"C:\\Tools\\tool.Json"},
        {L"C:\\Tools/\\tool.exe", L"C:\\Tools\\tool.Json"}, {L"C:\\Tools\\tool..exe", L"C:\\Tools\\tool.Json"},
        {L"C:\\Tools\\tool...exe", L"C:\\Tools\\tool.Json"}, {L"C:\\Tools\\.exe", L"C:\\Tools\\.Json"},
        {L"C:\\my.tools\\tool", L"C:\\my.tools\\tool.Json"},
        {L"C:\\my.tools\\tool.exe", L"C:\\my.tools\\tool.Json"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.config, ConfigFor(c.module)) << c.module;
}

TEST(SameConfigPath, CaseOfAToZSlashDirectionAndOneTrailingSeparator) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } cases[] = {
        {L"C:\\Tools\\tool.Json", L"C:\\Tools\\tool.Json", true},
        {L"C:\\Tools\\tool.Json", L"c:\\tools\\TOOL.JSON", true},
        {L"C:\\Tools\\tool.Json", L"C:/Tools/tool.Json", true}, {L"C:\\Tools\\", L"c:/tools", true},
        {L"C:\\Tools\\", L"C:\\Tools/", true},
        {L"C:\\Tools\\\\", L"C:\\Tools", false},   // only one separator is ignored
        {L"C:\\Tools\\tool.Json", L"C:\\Tools\\tool.Jso", false},
        {L"C:\\Tools\\a.Json", L"C:\\Tools\\b.Json", false},
        {L"C:\\\u00c4", L"C:\\\u00e4", false},            // only A-Z fold
        {L"C:\\\u5de5\u5177", L"C:\\\u5de5\u5177", true}, {L"ab", L"AB", true},
        {L"a", L"a", false},                          // both need two characters
        {L"a\\", L"a", false}, {L"", L"", false}, {nullptr, nullptr, false}, {L"C:\\x", nullptr, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.same, zo::SameConfigPath(c.a, c.b))
            << (c.a ? c.a : L"(null)") << " vs " << (c.b ? c.b : L"(null)");
        EXPECT_EQ(c.same, zo::SameConfigPath(c.b, c.a)) << "not symmetric";
    }
}

TEST(ConfigPathSeam, PointsTheFileElsewhereAndBack) {
    zo::String own, moved, back;
    zo::ConfigPath(own);
    zo::SetConfigModulePath(L"D:\\elsewhere\\Other.exe");
    zo::ConfigPath(moved);
    zo::SetConfigModulePath(nullptr);
    zo::ConfigPath(back);
    EXPECT_EQ(L"D:\\elsewhere\\Other.Json", Text(moved));
    EXPECT_EQ(Text(own), Text(back));
    EXPECT_NE(Text(own), Text(moved));
}

// Run from a copy of this program: acquires the configuration of the copy's
// own path. Exit codes: 0 fine, 2 other path (argv[0] expected), 3 no object.
ZO_CHILD_ROLE(ConfigBesideExe) {
    if (argc < 1) return 9;
    zo::String path;
    zo::ConfigPath(path);
    if (Text(path) != argv[0]) return 2;
    zo::ConfigObject* object = zo::AcquireConfig();
    if (!object) return 3;
    bool same = Text(object->path) == argv[0];
    zo::ReleaseConfig(object);
    return same ? 0 : 2;
}

TEST(ConfigPathOfExecutable, FileBesideTheProgramNamedAfterIt) {
    TempFolder folder;
    std::wstring dir = folder.File(L"v2.Dir");
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring copy = dir + L"\\Mod.Tool.exe";
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), TRUE));
    std::wstring expected = dir + L"\\Mod.Tool.Json";

    EXPECT_EQ(0u, zotest::RunProgram(copy, L"--child=ConfigBesideExe \"" + expected + L"\"", 60000));
    // The first acquisition made the file, empty, and nothing else.
    EXPECT_EQ((std::vector<std::wstring>{L"Mod.Tool.Json", L"Mod.Tool.exe"}), configtest::Walk(dir, false));
    EXPECT_EQ("", configtest::ReadBytes(expected));
}

} // namespace
