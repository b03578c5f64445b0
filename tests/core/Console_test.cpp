// The console path of the diagnostic lines, run in child processes started
// without a console: each child prints, reads back its own console screen and
// writes what it found to a report file for the test to check.
#include <gtest/gtest.h>

#include <string>

#include "core/Console.h"
#include "core/Print.h"
#include "support/Child.h"

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

std::wstring ConsoleState() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(out, &info);
    COORD cursor = info.dwCursorPosition;
    return ScreenRow(out, info.dwSize.X, 0) + L"|" + ScreenRow(out, info.dwSize.X, 1) + L"|" +
           std::to_wstring(cursor.X) + L"," + std::to_wstring(cursor.Y);
}

ZO_CHILD_ROLE(print_to_console) {
    if (argc < 1 || GetConsoleWindow()) return 2;       // must start without a console
    zo::Print(L"%s", L"abc");
    zo::PrintA("%s %d", "\xCD\xF8\xC2\xE7", 5);
    if (!zo::FlushConsole(10000)) return 3;
    Report(argv[0], ConsoleState());
    return 0;
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

std::wstring windowLines;

LRESULT CALLBACK RecordLines(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == zo::WM_OUTPUT_LINE) windowLines += reinterpret_cast<const wchar_t*>(lp);
    return DefWindowProcW(wnd, msg, wp, lp);
}

ZO_CHILD_ROLE(print_to_window) {
    if (argc < 1 || GetConsoleWindow()) return 2;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordLines;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ConsoleTest.Window";
    RegisterClassW(&wc);
    HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                               nullptr, wc.hInstance, nullptr);
    zo::SetOutputDevice(wnd);
    zo::Print(L"line %d", 1);
    zo::PrintA("line %d", 2);
    Report(argv[0], windowLines + (GetConsoleWindow() ? L"|console" : L"|no console"));
    DestroyWindow(wnd);
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

TEST_F(ConsoleChild, ShowAllocatesOnceAndTakesAnExistingConsolesHandles) {
    EXPECT_EQ(L"hidden|allocated|once|failed|shown|wide,narrow||11,0", Run("console_object"));
}

TEST_F(ConsoleChild, ALiveOutputWindowGetsTheLinesAndNoConsoleOpens) {
    EXPECT_EQ(L"line 1\r\nline 2\r\n|no console", Run("print_to_window"));
}

} // namespace
