// The real program against the faults seen in the field: a save to an
// address that reaches many modules, the trace console's close button, a
// console whose writes block while the window is driven and flooded with
// ever new modules, and the window's place over restarts and off-screen.
// ZO_TEST_RUN_SERIAL: the program binds port 6643 and the modules their addresses.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "data/ConfigTestFiles.h"
#include "data/Json.h"
#include "net/Socket.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/Wait.h"
#include "support/Winsock.h"

using zotest::Drive;
using zotest::Program;

namespace {

std::string Steps(const std::wstring& steps) {
    std::string out;
    EXPECT_TRUE(Drive(steps, out)) << out;
    return out;
}

// Sends one datagram to the program's port on 127.0.0.1.
bool SendToTool(const std::string& bytes) {
    zotest::Winsock ws;
    if (!ws.Started()) return false;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    zo::SOCKADDR to;
    to.SetIp(zo::IP("127.0.0.1"));
    to.SetPortW(6643);
    bool sent = s != INVALID_SOCKET &&
                sendto(s, bytes.data(), static_cast<int>(bytes.size()), 0, to, zo::SOCKADDR::Size()) >= 0;
    if (s != INVALID_SOCKET) closesocket(s);
    return sent;
}

// Top-level windows of a class, of any process.
std::set<HWND> WindowsOfClass(const wchar_t* cls) {
    std::set<HWND> out;
    for (HWND h = FindWindowW(cls, nullptr); h; h = FindWindowExW(nullptr, h, cls, nullptr)) out.insert(h);
    return out;
}

size_t Lines(const std::string& text) {
    size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

// The program's position file, kept aside during a test and put back after.
class PlaceFile {
public:
    PlaceFile() : path(zotest::BesideMe(L"ModuleTool.Json")), existed(configtest::Exists(path)),
                  kept(configtest::ReadBytes(path)) {
        DeleteFileW(path.c_str());
    }
    ~PlaceFile() {
        DeleteFileW(path.c_str());
        if (existed) configtest::WriteBytes(path, kept);
    }
    bool Write(int left, int top, int right, int bottom) const {
        return configtest::WriteBytes(path, "{\"wndpos\":{\"main\":{\"left\":" + std::to_string(left) + ",\"top\":" +
                                                std::to_string(top) + ",\"right\":" + std::to_string(right) +
                                                ",\"bottom\":" + std::to_string(bottom) + "}}}");
    }
    // "left top right bottom" of the saved place, "" when there is none.
    std::string Read() const {
        zo::Json root;
        std::string bytes = configtest::ReadBytes(path);
        if (bytes.empty() || !root.ParseMbs(bytes.data(), static_cast<int>(bytes.size()))) return "";
        const zo::Json* all = root.FindProperty(L"wndpos");
        const zo::Json* entry = all ? all->FindProperty(L"main") : nullptr;
        if (!entry) return "";
        return std::to_string(entry->PropertyInt32(L"left", -1)) + " " + std::to_string(entry->PropertyInt32(L"top", -1)) +
               " " + std::to_string(entry->PropertyInt32(L"right", -1)) + " " +
               std::to_string(entry->PropertyInt32(L"bottom", -1));
    }
    const std::wstring path;

private:
    const bool existed;
    const std::string kept;
};

class FieldFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ZO_REQUIRE_TEST_NETWORK();
        ASSERT_TRUE(sim.Start(L"--modules 3"));
    }
    zotest::Simulator sim;
};

} // namespace

TEST_F(FieldFaults, ASaveOrAccessPointListForABroadcastAddressReachesNoModuleAndABoxSaysWhy) {
    Program tool;
    ASSERT_TRUE(tool.Start());
    // A module whose report names 255.255.255.255 as its address (all ones).
    ASSERT_TRUE(SendToTool("{\"mac\":\"5C:CF:7F:FF:FF:FF\",\"ether_ip\":4294967295,\"serv_port\":1}"));
    EXPECT_EQ(Steps(L"count ComboBox:0 1 5000 text Edit:3"), "255.255.255.255\n");
    size_t before = sim.Log().size();
    // "保存", then the first "刷新": the access-point list's.
    for (const wchar_t* button : {L"保存", L"刷新"}) {
        SCOPED_TRACE(button[0] == L'保' ? "save" : "access-point list");
        HWND b = FindWindowExW(tool.window, nullptr, L"Button", button);
        ASSERT_NE(b, nullptr);
        PostMessageW(b, BM_CLICK, 0, 0);   // the box is modal: a sent click would wait for it
        EXPECT_EQ(Steps(L"box Error 5000"),
                  "模块的地址 255.255.255.255 是广播地址，不是一个模块的地址。\n请求没有发送。\n");
    }
    // A read that does reach a module: whatever was sent before it has come.
    Steps(L"set Edit:3 198.51.100.102 click Button:6 count ComboBox:0 2 5000");
    ASSERT_TRUE(sim.WaitForRecords(before));
    auto log = sim.Log();
    ASSERT_EQ(log.size(), before + 1) << "the broadcast save or list went out: " << log.back().bytes;
    EXPECT_EQ(log.back().bytes, "get_net_modle_param");
    EXPECT_EQ(log.back().module, 1);
    EXPECT_EQ(tool.Close(5000), 0u);
}

TEST_F(FieldFaults, ClosingTheTraceConsoleClosesTheProgramInOrderWithItsPlaceSaved) {
    PlaceFile place;
    Program tool;
    ASSERT_TRUE(tool.Start());
    std::set<HWND> before = WindowsOfClass(L"WineConsoleClass");
    // A reply is traced: the console opens.
    Steps(L"set Edit:3 198.51.100.101 click Button:6 count ComboBox:0 1 5000");
    HWND console = nullptr;
    ASSERT_TRUE(zotest::WaitUntil([&] {
        for (HWND h : WindowsOfClass(L"WineConsoleClass"))
            if (!before.count(h)) console = h;
        return console != nullptr;
    }, 10000)) << "no console opened";
    EXPECT_EQ(place.Read(), "") << "no place saved before the close";
    PostMessageW(console, WM_CLOSE, 0, 0);   // the console's close button
    ASSERT_EQ(WaitForSingleObject(tool.process, 10000), WAIT_OBJECT_0) << "the program did not end";
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(tool.process, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_NE(place.Read(), "") << "the window's place was not saved";
}

TEST_F(FieldFaults, WithEveryConsoleWriteBlockedTheWindowAnswersThroughAFloodOfNewModulesAndKeeps4096) {
    Program tool;
    ASSERT_TRUE(tool.Start());
    // Every console write of the program waits for this event (a test seam).
    const std::wstring hold = L"zo.console-writer.hold." + std::to_wstring(GetProcessId(tool.process));
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, hold.c_str());
    ASSERT_NE(gate, nullptr);
    std::string out = Steps(L"set Edit:3 198.51.100.101 click Button:6 count ComboBox:0 1 5000 mem");
    unsigned long long privateBefore = 0, workingBefore = 0, privateAfter = 0, workingAfter = 0;
    ASSERT_EQ(sscanf(out.c_str() + out.find("private"), "private %llu working %llu", &privateBefore, &workingBefore),
              2)
        << out;

    // 10 000 reports of macs never seen, spread over 6 s, while the window
    // is driven: every line they trace waits for the blocked console.
    HANDLE flood = zotest::StartProgram(zotest::BesideMe(L"hostile_flood.exe"), L"macs 10000 6000", DETACHED_PROCESS);
    ASSERT_NE(flood, nullptr);
    std::string churn = Steps(L"churn 8000 ComboBox:0 Button:6");
    EXPECT_EQ(WaitForSingleObject(flood, 10000), WAIT_OBJECT_0);
    CloseHandle(flood);
    unsigned worst = 0, choices = 0, clicks = 0;
    ASSERT_EQ(sscanf(churn.c_str(), "worst answer %u ms, %u choices, %u clicks", &worst, &choices, &clicks), 3)
        << churn;
    printf("console blocked; driver: %s", churn.c_str());
    EXPECT_LT(worst, 100u) << "the window answered too slowly";
    EXPECT_GT(clicks, 0u);

    // The list holds the first 4096 modules and no more.
    EXPECT_EQ(Steps(L"count ComboBox:0 4096 10000 ping 200").substr(0, 5), "worst");
    EXPECT_EQ(Lines(Steps(L"entries ComboBox:0")), 4096u);
    out = Steps(L"mem");
    ASSERT_EQ(sscanf(out.c_str(), "private %llu working %llu", &privateAfter, &workingAfter), 2) << out;
    printf("working set %llu before, %llu after 10 000 new macs\n", workingBefore, workingAfter);
    EXPECT_LT(workingAfter, workingBefore + (16ull << 20));

    // The program ends in order although its console writer is stuck.
    EXPECT_EQ(tool.Close(5000), 0u);
    SetEvent(gate);
    CloseHandle(gate);
}

TEST_F(FieldFaults, ASavedPlaceSurvivesTenRestartsExactlyAndOneOnNoMonitorOpensFullyVisible) {
    PlaceFile place;
    ASSERT_TRUE(place.Write(120, 90, 1020, 710));
    for (int cycle = 0; cycle < 10; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        Program tool;
        ASSERT_TRUE(tool.Start());
        ASSERT_EQ(tool.Close(5000), 0u);
        ASSERT_EQ(place.Read(), "120 90 1020 710");
    }

    ASSERT_TRUE(place.Write(-5000, -5000, -4100, -4380));
    Program tool;
    ASSERT_TRUE(tool.Start());
    int left = 0, top = 0, width = 0, height = 0;
    std::string rect = Steps(L"rect");
    ASSERT_EQ(sscanf(rect.c_str(), "%d %d %d %d", &left, &top, &width, &height), 4) << rect;
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(width, 900);
    EXPECT_EQ(height, 620);
    EXPECT_GE(left, work.left);
    EXPECT_GE(top, work.top);
    EXPECT_LE(left + width, work.right);
    EXPECT_LE(top + height, work.bottom);
    ASSERT_EQ(tool.Close(5000), 0u);
    EXPECT_EQ(place.Read(), std::to_string(left) + " " + std::to_string(top) + " " + std::to_string(left + width) +
                                " " + std::to_string(top + height));
}
