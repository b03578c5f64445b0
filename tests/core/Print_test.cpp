// Diagnostic lines through a registered output window (a hidden window of the
// test recording message 0x537), through a destroyed one (the debugger's
// DBWIN buffer), and Warning's box, shown by a child process and closed here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Print.h"
#include "support/ChildBox.h"
#include "support/Texts.h"
#include "support/TraceSink.h"
#include "support/Wait.h"

namespace {

// Each test gets a fresh window registered as the output.
class OutputWindow : public testing::Test {
protected:
    zotest::TraceSink sink;
    std::vector<std::wstring>& received = sink.lines;
};

TEST_F(OutputWindow, WideLinesArriveWithCrLf) {
    zo::Print(L"%s=%d", L"网络", 5);
    zo::Print(L"%s", L"");
    std::wstring big(100000, L'p');
    zo::Print(L"%s", big.c_str());
    zo::Print(nullptr);                        // cannot be measured: no line
    ASSERT_EQ(3u, received.size());
    EXPECT_EQ(L"网络=5\r\n", received[0]);
    EXPECT_EQ(L"\r\n", received[1]);
    EXPECT_EQ(big + L"\r\n", received[2]);
}

TEST_F(OutputWindow, NarrowLinesAreConvertedFromCodePage936) {
    ASSERT_EQ(936u, GetACP());
    zo::PrintA("recv: %d,%s", 19, "198.51.100.77");
    zo::PrintA("%s", "\xCD\xF8\xC2\xE7\xC4\xA3\xBF\xE9");
    // The narrow formatter follows msvcrt too: %S is wide, three exponent digits.
    zo::PrintA("%S|%.3e", L"w", 1e20);
    ASSERT_EQ(3u, received.size());
    EXPECT_EQ(L"recv: 19,198.51.100.77\r\n", received[0]);
    EXPECT_EQ(L"网络模块\r\n", received[1]);
    EXPECT_EQ(L"w|1.000e+020\r\n", received[2]);
}

DWORD WINAPI PrintFromThread(void*) {
    zo::Print(L"from %s", L"receive thread");
    return 0;
}

TEST_F(OutputWindow, ALineFromAnotherThreadWaitsForTheWindowsThread) {
    HANDLE thread = CreateThread(nullptr, 0, PrintFromThread, nullptr, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    bool arrived = zotest::WaitUntil([&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        return !received.empty();
    });
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(thread);
    ASSERT_TRUE(arrived);
    EXPECT_EQ(L"from receive thread\r\n", received[0]);
}

// Reads what OutputDebugString hands to a debug monitor: the DBWIN buffer
// holds the writer's process id and the text in the ANSI code page.
class DebugMonitor {
public:
    DebugMonitor() {
        ready = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
        data = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
        map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                 L"DBWIN_BUFFER");
        if (map) view = static_cast<const char*>(MapViewOfFile(map, FILE_MAP_READ, 0, 0, 4096));
    }
    ~DebugMonitor() {
        if (view) UnmapViewOfFile(view);
        for (HANDLE h : {map, data, ready})
            if (h) CloseHandle(h);
    }
    bool Ok() const { return ready && data && view; }
    void Arm() { SetEvent(ready); }
    // The next text this process wrote, or "(none)" after ms.
    std::string Next(DWORD ms) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            if (WaitForSingleObject(data, 100) != WAIT_OBJECT_0) continue;
            DWORD pid = *reinterpret_cast<const DWORD*>(view);
            std::string text(view + sizeof(DWORD));
            SetEvent(ready);
            if (pid == GetCurrentProcessId()) return text;
        }
        return "(none)";
    }

private:
    HANDLE ready = nullptr, data = nullptr, map = nullptr;
    const char* view = nullptr;
};

TEST_F(OutputWindow, ADestroyedWindowSendsLinesToTheDebugger) {
    DebugMonitor monitor;
    ASSERT_TRUE(monitor.Ok());
    sink.Destroy();
    monitor.Arm();
    zo::Print(L"dead %d", 7);
    EXPECT_EQ("dead 7\r\n", monitor.Next(5000));
    zo::PrintA("narrow %s", "\xCD\xF8\xC2\xE7");
    EXPECT_EQ("narrow \xCD\xF8\xC2\xE7\r\n", monitor.Next(5000));
    EXPECT_TRUE(received.empty());
}

ZO_CHILD_ROLE(warning) {
    if (argc < 2) return 2;
    DWORD code = wcstoul(argv[0], nullptr, 0);
    SetLastError(code);
    zo::Warning(argv[1]);
    return 0;
}

// The text of Warning's box in a child, which ends normally after OK.
std::wstring WarningText(DWORD code, const wchar_t* caption) {
    DWORD exitCode;
    std::wstring text = zotest::ChildBoxText("warning", caption, &exitCode, std::to_wstring(code) + L" " + caption);
    EXPECT_EQ(0u, exitCode) << caption;
    return text;
}

using zotest::SystemText;

TEST(Warning, ShowsTheSystemTextOfTheLastError) {
    std::wstring success = SystemText(0);
    ASSERT_FALSE(success.empty());
    EXPECT_EQ(success, WarningText(0, L"Warning.Success"));
    // A text with an insert is shown with the insert left as it is.
    std::wstring badExe = SystemText(ERROR_BAD_EXE_FORMAT);
    ASSERT_NE(std::wstring::npos, badExe.find(L"%1"));
    EXPECT_EQ(badExe, WarningText(ERROR_BAD_EXE_FORMAT, L"View.Create"));
    EXPECT_EQ(L"", WarningText(0x2000FFFF, L"Warning.Unknown"));
}

} // namespace
