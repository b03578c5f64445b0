// The console path of the diagnostic lines, run in child processes started
// without a console: each child prints, reads back its own console screen and
// writes what it found to a report file for the test to check.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/ConsoleRelay.h"
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

// Everything on the console screen above the cursor's row, the rows joined
// (a long line wraps across full rows), trailing blanks cut.
std::wstring ScreenText() {
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(out, &info);
    std::wstring text;
    for (SHORT y = 0; y < info.dwCursorPosition.Y; ++y) {
        std::wstring row(static_cast<size_t>(info.dwSize.X), L' ');
        DWORD got = 0;
        ReadConsoleOutputCharacterW(out, &row[0], static_cast<DWORD>(row.size()), COORD{0, y}, &got);
        text += row.substr(0, got);
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return text.substr(0, text.find_last_not_of(L' ') + 1);
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

// Ctrl+C and Ctrl+Break in the trace console reach the helper, which says
// so in the console and ignores them; closing the console ends the helper, and the program is
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
    // The helper says in its console that it got each and goes on.
    SetConsoleCtrlHandler(IgnoreEvery, TRUE);
    HWND shown = GetConsoleWindow();
    if (!shown) return 5;
    std::wstring state;
    // The helper is a process group of its own (its id names it). Under
    // Wine the first event sent to it may be lost, so each is sent again
    // every half second until the helper says it got one.
    DWORD group = zo::TraceConsoleProcess();
    auto reached = [&](DWORD event, const wchar_t* note) {
        for (int tries = 0; tries < 20; ++tries) {
            if (!GenerateConsoleCtrlEvent(event, group)) return false;
            if (zotest::WaitUntil([&] { return (state = ScreenText()).find(note) != std::wstring::npos; }, 500))
                return true;
        }
        return false;
    };
    if (!reached(CTRL_C_EVENT, L"Ctrl+C ignored")) return 10;
    // Wine cannot generate Ctrl+Break (the call fails); where it can, the
    // helper must have seen it.
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group))
        printf("Ctrl+Break cannot be generated here (error %lu)\n", GetLastError());
    else if (!reached(CTRL_BREAK_EVENT, L"Ctrl+Break ignored"))
        return 11;
    fflush(stdout);
    // The helper still runs: a line printed after the breaks shows.
    zo::Print(L"%s", L"after the breaks");
    bool shownLine = zotest::WaitUntil([&] {
        state = ScreenText();
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

// The helper inherits the pipe and nothing else: an inheritable event of
// the program is not in it. Then a line longer than the cap shows cut on a
// whole character, with what was cut.
ZO_CHILD_ROLE(helper_handles_and_long_line) {
    if (argc < 1 || GetConsoleWindow()) return 2;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE inheritable = CreateEventW(&sa, TRUE, FALSE, nullptr);
    if (!inheritable) return 3;
    std::string line(10000, 'x');
    line[zo::kTraceLineCap - 1] = '\xCD';   // a GBK character across the cap
    line[zo::kTraceLineCap] = '\xF8';
    zo::PrintA("%s", line.c_str());
    if (!zo::FlushConsole(10000) || !zo::TraceConsoleProcess()) return 4;
    HANDLE helper = OpenProcess(PROCESS_DUP_HANDLE, FALSE, zo::TraceConsoleProcess());
    if (!helper) return 5;
    HANDLE copy = nullptr;
    bool inherited = DuplicateHandle(helper, inheritable, GetCurrentProcess(), &copy, 0, FALSE,
                                     DUPLICATE_SAME_ACCESS) != FALSE;
    if (copy) CloseHandle(copy);
    CloseHandle(helper);
    if (!zotest::WaitUntil([] { return AttachConsole(zo::TraceConsoleProcess()) != FALSE; }, 10000)) return 6;
    std::wstring screen;
    zotest::WaitUntil([&] { return (screen = ScreenText()).find(L"more") != std::wstring::npos; }, 10000);
    Report(argv[0], std::wstring(inherited ? L"inherited|" : L"not inherited|") + screen);
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
        std::wstring text(16384, L'\0');
        DWORD got = 0;
        ReadFile(f, &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &got, nullptr);
        CloseHandle(f);
        return text.substr(0, got / sizeof(wchar_t));
    }
    std::wstring path;
};

TEST_F(ConsoleChild, FirstLineOpensAConsoleAndEveryLineEndsWithCrLf) {
    // "abc" CR LF is five characters: the cursor ends at the start of row 2.
    EXPECT_EQ(L"abc|网络 5|0,2", Run("print_to_console"));
}

TEST_F(ConsoleChild, BreaksInTheTraceConsoleEndNothingAndItsCloseAsksTheProgramToClose) {
    zotest::Child child;
    ASSERT_TRUE(child.Start("console_events", L"", true, DETACHED_PROCESS));
    EXPECT_EQ(child.Wait(30000), 9u);
    printf("%s", child.ReadOutput().c_str());
}

TEST_F(ConsoleChild, TheHelperInheritsOnlyThePipeAndALongLineShowsCutWithWhatWasCut) {
    EXPECT_EQ(L"not inherited|" + std::wstring(zo::kTraceLineCap - 1, L'x') + L" ... " +
                  std::to_wstring(10000 - (zo::kTraceLineCap - 1)) + L" bytes more",
              Run("helper_handles_and_long_line"));
}

TEST_F(ConsoleChild, ShowAllocatesOnceAndTakesAnExistingConsolesHandles) {
    EXPECT_EQ(L"hidden|allocated|once|failed|shown|wide,narrow||11,0", Run("console_object"));
}

TEST_F(ConsoleChild, ALiveOutputWindowGetsTheLinesAndNoConsoleOpens) {
    EXPECT_EQ(L"line 1\r\nline 2\r\n|no console", Run("print_to_window"));
}

// A console write that takes at most `most` characters a call and refuses
// more, as Windows 7's does for a long line; it keeps what it took.
struct SmallConsole {
    static size_t most;
    static std::wstring took;
    static std::vector<size_t> calls;
    static BOOL WINAPI Write(HANDLE, const void* text, DWORD n, DWORD* written, void*) {
        calls.push_back(n);
        if (n > most) return FALSE;
        took.append(static_cast<const wchar_t*>(text), n);
        *written = n;
        return TRUE;
    }
};
size_t SmallConsole::most = 0;
std::wstring SmallConsole::took;
std::vector<size_t> SmallConsole::calls;

TEST(ConsolePieces, ALongLineGoesOutInPiecesTheConsoleTakesNeverSplittingACharacter) {
    // A surrogate pair straddles the first piece's end.
    std::wstring line(20000, L'a');
    line[zo::Console::kPiece - 1] = 0xD83D;
    line[zo::Console::kPiece] = 0xDE00;
    EXPECT_EQ(zo::Console::PieceLength(line.c_str(), line.size(), zo::Console::kPiece), zo::Console::kPiece - 1);
    EXPECT_EQ(zo::Console::PieceLength(line.c_str(), 5, zo::Console::kPiece), 5u);
    const char gbk[] = "ab\xCD\xF8\xC2\xE7";
    const struct {
        size_t most, want;
    } narrow[] = {{2, 2}, {3, 2}, {4, 4}, {5, 4}, {6, 6}};
    for (const auto& r : narrow) EXPECT_EQ(zo::Console::PieceLength(gbk, 6, r.most, 936), r.want) << r.most;

    for (size_t most : {size_t(65535), size_t(3000), size_t(100)}) {
        SCOPED_TRACE(most);
        SmallConsole::most = most;
        SmallConsole::took.clear();
        SmallConsole::calls.clear();
        EXPECT_TRUE(zo::Console::WritePieces(SmallConsole::Write, nullptr, line.c_str(), line.size()));
        EXPECT_EQ(SmallConsole::took, line);
    }
    // A console that takes nothing at all is reported, after a few tries.
    SmallConsole::most = 0;
    SmallConsole::calls.clear();
    EXPECT_FALSE(zo::Console::WritePieces(SmallConsole::Write, nullptr, line.c_str(), line.size()));
    EXPECT_LT(SmallConsole::calls.size(), 20u);
}

TEST(ConsolePlace, TheConsoleGoesBesideTheWindowWhereTheScreenHasRoom) {
    const RECT work = {0, 0, 1600, 1000};
    const struct {
        RECT avoid;
        int w, h;
        bool placed;
        POINT at;
    } rows[] = {
        {{100, 50, 820, 590}, 700, 400, true, {820, 50}},     // right of it
        {{800, 50, 1520, 590}, 700, 400, true, {100, 50}},    // left
        {{300, 10, 1300, 500}, 700, 400, true, {300, 500}},   // below
        {{300, 500, 1300, 990}, 700, 400, true, {300, 100}},  // above
        {{100, 900, 820, 1400}, 700, 400, true, {820, 600}},  // right, kept on the screen
        {{100, 100, 1500, 900}, 700, 400, false, {0, 0}},     // no room anywhere
        {{0, 0, 10, 10}, 1700, 400, false, {0, 0}},           // larger than the screen
    };
    for (const auto& r : rows) {
        POINT at = {0, 0};
        EXPECT_EQ(zo::ConsoleRelay::PlaceBeside(r.avoid, r.w, r.h, work, &at), r.placed) << r.avoid.left;
        if (r.placed) {
            EXPECT_TRUE(at.x == r.at.x && at.y == r.at.y) << r.avoid.left << ": " << at.x << "," << at.y;
        }
    }
}

} // namespace
