// The real program against the faults seen in the field: a save to an
// address that reaches many modules, the trace console's close button, a
// console whose writes block while the window is driven and flooded with
// ever new modules, and the window's place: over restarts, off-screen, moved
// by the user, and saved smaller than the layout needs.
// ZO_TEST_RUN_SERIAL: the program binds port 6643 and the modules their addresses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "data/ConfigTestFiles.h"
#include "data/Json.h"
#include "net/Socket.h"
#include "support/Child.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/ThreeModules.h"
#include "support/ToolSide.h"
#include "support/Wait.h"

#include <tlhelp32.h>   // after the Windows headers

using zotest::Drive;
using zotest::Program;
using zotest::SendToTool;

namespace {

std::string Steps(const std::wstring& steps) {
    std::string out;
    EXPECT_TRUE(Drive(steps, out)) << out;
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
    PlaceFile() : aside(zotest::BesideMe(L"ModuleTool.Json")), path(aside.path) {}
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
        std::string out;
        for (const wchar_t* edge : {L"left", L"top", L"right", L"bottom"})
            if (entry) out += (out.empty() ? "" : " ") + std::to_string(entry->PropertyInt32(edge, -1));
        return out;
    }

private:
    configtest::KeptAside aside;

public:
    const std::wstring& path;
};

// "left top right bottom" of a window's rectangle.
std::string PlaceOf(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
           std::to_string(r.bottom);
}

// The process the program started to show its trace console, 0 while none.
DWORD ConsoleHelperOf(HANDLE program) {
    DWORD parent = GetProcessId(program), found = 0;
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (all == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W p = {};
    p.dwSize = sizeof(p);
    for (BOOL more = Process32FirstW(all, &p); more && !found; more = Process32NextW(all, &p))
        if (p.th32ParentProcessID == parent) found = p.th32ProcessID;
    CloseHandle(all);
    return found;
}

// Arguments: a console's process, a report file. Writes "X,Y|first row" of
// that console's screen (its cursor and first line) to the report.
ZO_CHILD_ROLE(ConsoleScreen) {
    if (argc < 2 || GetConsoleWindow()) return 2;
    DWORD pid = std::wcstoul(argv[0], nullptr, 10);
    if (!zotest::WaitUntil([&] { return AttachConsole(pid) != FALSE; }, 10000)) return 3;
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (out == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(out, &info)) return 4;
    wchar_t row[512] = {};
    DWORD got = 0;
    ReadConsoleOutputCharacterW(out, row, info.dwSize.X > 0 && info.dwSize.X < 512 ? info.dwSize.X : 511, COORD{0, 0},
                                &got);
    std::wstring text(row, got);
    text = std::to_wstring(info.dwCursorPosition.X) + L"," + std::to_wstring(info.dwCursorPosition.Y) + L"|" +
           text.substr(0, text.find_last_not_of(L' ') + 1);
    CloseHandle(out);
    FreeConsole();
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return configtest::WriteBytes(argv[1], bytes) ? 0 : 5;
}

// What the trace console of a program shows ("X,Y|first row"), read by a
// child of the test attached to it; "" when it cannot be read.
std::wstring ConsoleScreen(HANDLE program) {
    DWORD helper = 0;
    if (!zotest::WaitUntil([&] { return (helper = ConsoleHelperOf(program)) != 0; }, 10000)) return L"";
    configtest::TempFolder folder;
    zotest::Child reader;
    if (!reader.Start("ConsoleScreen", std::to_wstring(helper) + L" \"" + folder.File(L"screen") + L"\"", false,
                      DETACHED_PROCESS) ||
        reader.Wait(20000) != 0)
        return L"";
    std::string bytes = configtest::ReadBytes(folder.File(L"screen"));
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

class FieldFaults : public zotest::ThreeModules {};

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
    std::vector<HWND> before = zotest::TopWindows(L"WineConsoleClass");
    // A reply is traced: the console opens.
    Steps(L"set Edit:3 198.51.100.101 click Button:6 count ComboBox:0 1 5000");
    HWND console = nullptr;
    ASSERT_TRUE(zotest::WaitUntil([&] {
        for (HWND h : zotest::TopWindows(L"WineConsoleClass"))
            if (std::find(before.begin(), before.end(), h) == before.end()) console = h;
        return console != nullptr;
    }, 10000)) << "no console opened";
    EXPECT_EQ(place.Read(), "") << "no place saved before the close";
    const std::string shown = PlaceOf(tool.window);
    PostMessageW(console, WM_CLOSE, 0, 0);   // the console's close button
    ASSERT_EQ(WaitForSingleObject(tool.process, 10000), WAIT_OBJECT_0) << "the program did not end";
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(tool.process, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(place.Read(), shown) << "the window's place was not saved";
}

TEST_F(FieldFaults, WithEveryConsoleWriteBlockedTheWindowAnswersThroughAFloodOfNewModulesAndKeeps4096) {
    Program tool;
    ASSERT_TRUE(tool.Start());
    // Every console write of the program waits for this event (a test seam).
    const std::wstring hold = L"zo.console-writer.hold." + std::to_wstring(GetProcessId(tool.process));
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, hold.c_str());
    ASSERT_NE(gate, nullptr);
    std::string out = Steps(L"set Edit:3 198.51.100.101 click Button:6 count ComboBox:0 1 5000 mem");
    unsigned long long workingBefore = 0, workingAfter = 0;
    ASSERT_TRUE(zotest::ReadWorkingSet(out, workingBefore)) << out;

    // 10 000 reports of macs never seen, spread over 6 s, while the window
    // is driven: every line they trace waits for the blocked console.
    HANDLE flood = zotest::StartProgram(zotest::BesideMe(L"hostile_flood.exe"), L"macs 10000 6000", DETACHED_PROCESS);
    ASSERT_NE(flood, nullptr);
    std::string churn = Steps(L"churn 8000 ComboBox:0 Button:6");
    EXPECT_EQ(WaitForSingleObject(flood, 10000), WAIT_OBJECT_0);
    CloseHandle(flood);
    zotest::Churn c;
    ASSERT_TRUE(zotest::ReadChurn(churn, c)) << churn;
    printf("console blocked; driver: %s", churn.c_str());
    EXPECT_LT(c.worst, 100u) << "the window answered too slowly";
    // The driver clicks every other turn, a turn being its 20 ms pace and the
    // window's answer: with every answer under 100 ms, 8 s hold at least 33.
    EXPECT_GE(c.clicks, 33u) << "the clicks were answered too slowly";

    // The list holds the first 4096 modules and no more.
    EXPECT_EQ(Steps(L"count ComboBox:0 4096 10000 ping 200").substr(0, 5), "worst");
    EXPECT_EQ(Lines(Steps(L"entries ComboBox:0")), 4096u);
    out = Steps(L"mem");
    ASSERT_TRUE(zotest::ReadWorkingSet(out, workingAfter)) << out;
    printf("working set %llu before, %llu after 10 000 new macs\n", workingBefore, workingAfter);
    EXPECT_LT(workingAfter, workingBefore + (16ull << 20));

    // Nothing of all that traffic reached the console: its writes were held.
    EXPECT_EQ(ConsoleScreen(tool.process), L"0,0|") << "the console's writes were not held";
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
        ASSERT_EQ(PlaceOf(tool.window), "120 90 1020 710") << "the window is not where it was saved";
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

// The first start has no saved place, and a saved place may be smaller than
// the layout needs: either way every control must be reachable.
TEST_F(FieldFaults, TheWindowIsNeverSmallerThanItsLayoutNeeds) {
    PlaceFile place;
    for (bool saved : {false, true}) {
        SCOPED_TRACE(saved ? "a place of 200 x 100 saved" : "no file");
        if (saved) {
            ASSERT_TRUE(place.Write(50, 40, 250, 140));
        }
        Program tool;
        ASSERT_TRUE(tool.Start());
        RECT client;
        GetClientRect(tool.window, &client);
        EXPECT_GE(client.right, 720);
        EXPECT_GE(client.bottom, 540);
        EXPECT_EQ(tool.Close(5000), 0u);
    }
}

TEST_F(FieldFaults, TheWindowComesBackWhereItWasLeft) {
    PlaceFile place;
    RECT placed = {40, 30, 1000, 760}, now = {};
    {
        Program tool;
        ASSERT_TRUE(tool.Start());
        SetWindowPos(tool.window, nullptr, placed.left, placed.top, placed.right - placed.left,
                     placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_EQ(tool.Close(5000), 0u);
    }
    EXPECT_EQ(place.Read(), "40 30 1000 760");
    Program again;
    ASSERT_TRUE(again.Start());
    GetWindowRect(again.window, &now);
    EXPECT_TRUE(EqualRect(&now, &placed)) << now.left << " " << now.top << " " << now.right << " " << now.bottom;
    EXPECT_EQ(again.Close(5000), 0u);
}
