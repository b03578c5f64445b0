// The real program under abuse: many start/close cycles against a minimal
// Win32 program's close time, and damaged configuration files at start-up
// (the flood of hostile datagrams is FloodMemory_test). Each part is bounded
// in time; the figures go to the output.
// ZO_TEST_RUN_SERIAL: the program binds port 6643 and the modules their addresses.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data/ConfigTestFiles.h"
#include "net/Socket.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/ThreeModules.h"
#include "support/ToolSide.h"
#include "support/Wait.h"

#include <tlhelp32.h>

using zotest::Drive;
using zotest::Program;

namespace {

using zotest::kToolTitle;

// Processes running an image of this name.
unsigned Running(const wchar_t* image) {
    unsigned n = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W e = {};
    e.dwSize = sizeof(e);
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e))
        if (_wcsicmp(e.szExeFile, image) == 0) ++n;
    CloseHandle(snap);
    return n;
}

class Robustness : public zotest::ThreeModules {};

} // namespace

TEST_F(Robustness, StartAndCloseThirtyTimesHalfDuringASweepAsFastAsAMinimalProgram) {
    const int kCycles = 30;
    std::vector<double> tool, minimal;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        {
            Program base(L"minimal_window.exe");
            ASSERT_TRUE(base.Start(L"最小窗口"));
            double took = 0;
            ASSERT_EQ(base.Close(5000, &took), 0u);
            minimal.push_back(took);
        }
        Program p(L"ModuleTool.exe");
        ASSERT_TRUE(p.Start(kToolTitle));
        if (cycle % 2) {
            HWND search = FindWindowExW(p.window, nullptr, L"Button", L"搜索联网模块");
            ASSERT_NE(search, nullptr);
            PostMessageW(search, BM_CLICK, 0, 0);
            ASSERT_TRUE(zotest::WaitUntil([&] { return !IsWindowEnabled(search); }));
        }
        double took = 0;
        ASSERT_EQ(p.Close(5000, &took), 0u);
        tool.push_back(took);
        EXPECT_EQ(Running(L"ModuleTool.exe"), 0u) << "a process was left behind";
    }
    std::vector<double> sorted = minimal;
    std::sort(sorted.begin(), sorted.end());
    double baseline = sorted[sorted.size() / 2];
    double worstIdle = 0, worstSweep = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        double& worst = cycle % 2 ? worstSweep : worstIdle;
        worst = std::max(worst, tool[static_cast<size_t>(cycle)]);
        EXPECT_LE(tool[static_cast<size_t>(cycle)], baseline + 200) << "cycle " << cycle;
    }
    printf("close to end of process: minimal program median %.1f ms (worst %.1f); tool worst %.1f ms idle, "
           "%.1f ms during a sweep; tool by cycle:",
           baseline, sorted.back(), worstIdle, worstSweep);
    for (double t : tool) printf(" %.0f", t);
    printf("\n");
}

TEST_F(Robustness, EveryKindOfDamagedConfigurationFileLetsTheProgramStartAndWork) {
    const configtest::KeptAside aside(zotest::BesideMe(L"ModuleTool.Json"));
    const std::wstring& path = aside.path;
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>(i * 7 + (i >> 8));
    const struct {
        const char* damage;
        std::string bytes;   // "<folder>": a folder in the file's place
    } cases[] = {
        {"empty", ""},
        {"truncated", "{\r\n\t\"wndpos\" : {\r\n\t\t\"main\" : {\r\n\t\t\t\"left\" : 4"},
        {"garbage", "#!%&wndpos=main;left=1\r\n)))]]}}"},
        {"binary", binary},
        {"not GBK", "{\"wndpos\":{\"\x81\xFF\":{\"left\":\"\x80\"}},\"\xFE"},
        {"wndpos a number", "{\"wndpos\":5,\"z\":0}"},
        {"main a list", "{\"wndpos\":{\"main\":[1,2,300,400]}}"},
        {"edges as texts", "{\"wndpos\":{\"main\":{\"left\":\"1\",\"top\":\"2\",\"right\":\"300\",\"bottom\":\"400\"}}}"},
        {"the whole file a list", "[1,2,3]"},
        {"huge numbers", "{\"wndpos\":{\"main\":{\"left\":-2147483648,\"top\":-99999999999999999999,"
                         "\"right\":2147483647,\"bottom\":1e308}}}"},
        {"empty rectangle", "{\"wndpos\":{\"main\":{\"left\":500,\"top\":500,\"right\":500,\"bottom\":500}}}"},
        {"deep nesting", std::string(100000, '[')},
        {"ten megabytes", "{\"big\":\"" + std::string(10u << 20, 'x') + "\"}"},
        {"a folder", "<folder>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        configtest::Walk(path, true);
        DeleteFileW(path.c_str());
        if (c.bytes == "<folder>") ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        else ASSERT_TRUE(configtest::WriteBytes(path, c.bytes));
        Program tool(L"ModuleTool.exe");
        ASSERT_TRUE(tool.Start(kToolTitle));
        std::string out;
        EXPECT_TRUE(Drive(L"set Edit:3 198.51.100.102 click Button:6 count ComboBox:0 1 5000 entries ComboBox:0 "
                          L"close 5000",
                          out));
        EXPECT_EQ(out, "5C:CF:7F:00:00:02\nexit code 0\n");
    }
}
