// The console path of the diagnostic lines, run in child processes started
// without a console: each child prints, reads back its own console screen and
// writes what it found to a report file for the test to check.
#include <gtest/gtest.h>

#include <string>

#include "core/Console.h"
#include "core/Print.h"
#include "support/Child.h"
#include "support/Pump.h"
#include "support/TraceSink.h"
#include "support/Wait.h"

namespace {

void Report(const wchar_t* path, const std::wstring& text) {
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(f);
}

// Row y of the console screen without its trailing blanks.
std::wstring ScreenRow(HANDLE out, SHORT width, SHORT y) {
    wchar_t row[512] = {};
    DWORD got = 0;
    DWORD n = width > 0 && width < 512 ? static_cast<DWORD>(width) : 511;
    ReadConsoleOutputCharacterW(out, row, n, COORD{0, y}, &got);
    std::wstring text(row, got);
    return text.substr(0, text.find_last_not_of(L' ') + 1);
}

std::wstring ConsoleState(COORD* at = nullptr) {
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(out, &info);
    COORD cursor = info.dwCursorPosition;
    if (at) *at = cursor;
    std::wstring state = ScreenRow(out, info.dwSize.X, 0) + L"|" + ScreenRow(out, info.dwSize.X, 1) + L"|" +
                         std::to_wstring(cursor.X) + L"," + std::to_wstring(cursor.Y);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return state;
}

ZO_CHILD_ROLE(print_to_console) {
    if (argc < 1 || GetConsoleWindow()) return 2;       // must start without a console
    zo::Print(L"%s", L"abc");
    zo::PrintA("%s %d", "\xCD\xF8\xC2\xE7", 5);
    if (!zo::FlushConsole(10000)) return 3;
    // A window program's console is a helper process's: this one has none.
    if (GetConsoleWindow() || !zo::TraceConsoleProcess()) return 4;
    // The helper opens its console once it runs.
    if (!zotest::WaitUntil([] { return AttachConsole(zo::TraceConsoleProcess()) != FALSE; }, 10000)) return 5;
    std::wstring state;
    COORD at = {};
    zotest::WaitUntil([&] {
        state = ConsoleState(&at);
        return at.Y >= 2;
    }, 10000);
    Report(argv[0], state);
    return 0;
}

// Ctrl+C and Ctrl+Break in the trace console reach only the helper, which
// ignores them; closing the console ends the helper, and the program is
// asked to close its windows (its exit code here says it was).
bool closeAsked = false;

LRESULT CALLBACK NoteClose(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_CLOSE) return DefWindowProcW(wnd, msg, wp, lp);
    closeAsked = true;
    return 0;
}

BOOL WINAPI IgnoreEvery(DWORD) { return TRUE; }

ZO_CHILD_ROLE(console_events) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = NoteClose;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ConsoleTest.Closing";
    RegisterClassW(&wc);
    HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"closing", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                               nullptr, wc.hInstance, nullptr);
    zo::Print(L"%s", L"line");
    if (!zo::FlushConsole(10000) || !zo::TraceConsoleProcess()) return 3;
    HANDLE helper = OpenProcess(SYNCHRONIZE, FALSE, zo::TraceConsoleProcess());
    if (!helper || !zotest::WaitUntil([] { return AttachConsole(zo::TraceConsoleProcess()) != FALSE; }, 10000))
        return 4;
    // Sent to every process of the console, this one too, which ignores them.
    SetConsoleCtrlHandler(IgnoreEvery, TRUE);
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0);
    HWND shown = GetConsoleWindow();
    if (!shown) return 5;
    // The helper still runs: a line printed after the breaks shows.
    zo::Print(L"%s", L"after the breaks");
    std::wstring state;
    bool shownLine = zotest::WaitUntil([&] {
        state = ConsoleState();
        return state.find(L"after the breaks") != std::wstring::npos;
    }, 10000);
    FreeConsole();
    if (!shownLine || WaitForSingleObject(helper, 0) != WAIT_TIMEOUT) return 6;
    PostMessageW(shown, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(helper, 10000) != WAIT_OBJECT_0) return 7;
    bool asked = zotest::PumpUntil([] { return closeAsked; }, 10000);
    DestroyWindow(wnd);
    return asked ? 9 : 8;
}

ZO_CHILD_ROLE(console_object) {
    if (argc < 1) return 2;
    zo::Console first;
    std::wstring r = first.IsShowed() ? L"shown" : L"hidden";
    r += first.Show() ? L"|allocated" : L"|failed";
    r += first.Show() ? L"|again" : L"|once";
    zo::Console second;                                   // the process has a console now
    r += second.Show() ? L"|allocated" : L"|failed";
    r += second.IsShowed() ? L"|shown" : L"|hidden";
    first.Write(static_cast<const wchar_t*>(nullptr));
    first.Write(L"wide,");
    second.Write("narrow");
    Report(argv[0], r + L"|" + ConsoleState());
    return 0;
}

ZO_CHILD_ROLE(print_to_window) {
    if (argc < 1 || GetConsoleWindow()) return 2;
    zotest::TraceSink sink;
    zo::Print(L"line %d", 1);
    zo::PrintA("line %d", 2);
    Report(argv[0], sink.All() + (GetConsoleWindow() ? L"|console" : L"|no console"));
    return 0;
}

class ConsoleChild : public testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        path = std::wstring(dir) + L"zo_console_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(GetTickCount()) + L".txt";
    }
    void TearDown() override { DeleteFileW(path.c_str()); }

    // Runs the role detached from any console; its report, or why there is none.
    std::wstring Run(const char* role) {
        zotest::Child child;
        if (!child.Start(role, L"\"" + path + L"\"", false, DETACHED_PROCESS)) return L"(no child)";
        DWORD code = child.Wait(20000);
        if (code != 0) return L"(exit " + std::to_wstring(code) + L")";
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return L"(no report)";
        wchar_t text[1024] = {};
        DWORD got = 0;
        ReadFile(f, text, sizeof(text) - sizeof(wchar_t), &got, nullptr);
        CloseHandle(f);
        return text;
    }
    std::wstring path;
};

TEST_F(ConsoleChild, FirstLineOpensAConsoleAndEveryLineEndsWithCrLf) {
    // "abc" CR LF is five characters: the cursor ends at the start of row 2.
    EXPECT_EQ(L"abc|网络 5|0,2", Run("print_to_console"));
}

TEST_F(ConsoleChild, BreaksInTheTraceConsoleEndNothingAndItsCloseAsksTheProgramToClose) {
    zotest::Child child;
    ASSERT_TRUE(child.Start("console_events", L"", false, DETACHED_PROCESS));
    EXPECT_EQ(child.Wait(30000), 9u);
}

TEST_F(ConsoleChild, ShowAllocatesOnceAndTakesAnExistingConsolesHandles) {
    EXPECT_EQ(L"hidden|allocated|once|failed|shown|wide,narrow||11,0", Run("console_object"));
}

TEST_F(ConsoleChild, ALiveOutputWindowGetsTheLinesAndNoConsoleOpens) {
    EXPECT_EQ(L"line 1\r\nline 2\r\n|no console", Run("print_to_window"));
}

} // namespace
