// ModuleCli's command line: usage errors and their exit code, help for the
// program and each command, the version, and the text rule: on a console
// the text is shown as written (UTF-16), redirected it is UTF-8. None of
// these cases opens the network.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "app/Resource.h"
#include "support/Child.h"

using clitest::RunCli;

namespace {

using clitest::Contains;

} // namespace

TEST(ModuleCliUsage, ErrorsSayWhatWasWrongAndExitWith2) {
    struct Case {
        const wchar_t* args;
        const char* says;
    } cases[] = {
        {L"", "usage: ModuleCli COMMAND"},
        {L"frobnicate", "unknown command \"frobnicate\""},
        {L"scan --format xml", "--format \"xml\" is not table, csv or json"},
        {L"scan --colour", "unknown option --colour"},
        {L"scan --interval", "--interval needs a value"},
        {L"scan --interval 0", "--interval \"0\" is not a number from 1 to 10000"},
        {L"scan --subnet 198.51.100.0/21", "too large: at most 1022 hosts (/22)"},
        {L"scan --subnet 198.51.100.0/31", "no hosts to sweep"},
        {L"scan --subnet 198.51.100.0", "is not A.B.C.D/N"},
        {L"scan --adapter 192.0.2.77", "--adapter 192.0.2.77 is not an address of this computer"},
        {L"get", "get takes one TARGET"},
        {L"get 198.51.100", "neither an address (A.B.C.D) nor a mac"},
        {L"set 198.51.100.101", "set takes a TARGET and key=value"},
        {L"set 198.51.100.101 port=65536", "port \"65536\" is not a number from 0 to 65535; nothing was sent"},
        {L"set 198.51.100.101 port=80x", "port \"80x\" is not a number from 0 to 65535"},
        {L"set 198.51.100.101 baud=0", "baud \"0\" is not a positive number"},
        {L"set 198.51.100.101 baud=-5", "baud \"-5\" is not a positive number"},
        {L"set 198.51.100.101 mac=00:11", "unknown key \"mac\""},
        {L"set 198.51.100.101 ssid", "\"ssid\" is not key=value"},
        {L"apply", "apply takes one FILE.csv"},
        {L"apply Z:\\nonexistent\\none.csv", "cannot read Z:\\nonexistent\\none.csv"},
    };
    for (const Case& c : cases) {
        auto r = RunCli(c.args);
        EXPECT_EQ(2u, r.code) << "ModuleCli " << std::string(c.args, c.args + wcslen(c.args)) << "\n" << r.err;
        EXPECT_TRUE(Contains(r.out + r.err, c.says)) << "ModuleCli " << std::string(c.args, c.args + wcslen(c.args))
                                                       << " said:\n" << r.out << r.err;
    }
}

TEST(ModuleCliUsage, HelpForTheProgramAndEachCommandAndTheVersion) {
    struct Case {
        const wchar_t* args;
        const char* says;
    } cases[] = {
        {L"--help", "Exit codes: 0 all done, 1 some module failed"},
        {L"/?", "usage: ModuleCli COMMAND"},
        {L"scan --help", "usage: ModuleCli scan"},
        {L"get /?", "usage: ModuleCli get TARGET"},
        {L"aps -h", "usage: ModuleCli aps TARGET"},
        {L"set --help", "Keys: baud, host, port, ssid, pass"},
        {L"export --help", "It is a backup: it holds the passwords"},
        {L"apply --help", "--dry-run"},
    };
    for (const Case& c : cases) {
        auto r = RunCli(c.args);
        EXPECT_EQ(0u, r.code) << r.err;
        EXPECT_TRUE(Contains(r.out, c.says)) << r.out;
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
    auto v = RunCli(L"--version");
    EXPECT_EQ(0u, v.code);
    EXPECT_EQ("ModuleCli " + std::to_string(APP_VERSION_MAJOR) + "." + std::to_string(APP_VERSION_MINOR) + "." +
                  std::to_string(APP_VERSION_PATCH) + "." + std::to_string(APP_VERSION_BUILD) + "\r\n",
              v.out);
}

TEST(ModuleCliUsage, RedirectedTextIsUtf8WithCrLf) {
    auto r = RunCli(L"--help");
    ASSERT_EQ(0u, r.code);
    EXPECT_TRUE(Contains(r.out, "ModuleCli: finds serial-to-network modules and reads and writes their settings.\r\n"));
    EXPECT_TRUE(Contains(r.out, "网络模块设置工具")) << "the window's title is not UTF-8 in:\n" << r.out;
}

// On a console of its own, runs ModuleCli --help on it and looks for the
// window's title among the characters the console holds.
ZO_CHILD_ROLE(cli_on_console) {
    FreeConsole();
    if (!AllocConsole()) return 3;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                OPEN_EXISTING, 0, nullptr);
    if (screen == INVALID_HANDLE_VALUE) return 3;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = screen;
    si.hStdError = screen;
    PROCESS_INFORMATION pi = {};
    std::wstring line = L"\"" + zotest::BesideMe(L"ModuleCli.exe") + L"\" --help";
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return 3;
    DWORD waited = WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (waited != WAIT_OBJECT_0) return 4;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(screen, &info)) return 3;
    std::wstring cells(static_cast<size_t>(info.dwSize.X) * info.dwSize.Y, L' ');
    DWORD read = 0;
    COORD origin = {0, 0};
    ReadConsoleOutputCharacterW(screen, &cells[0], static_cast<DWORD>(cells.size()), origin, &read);
    cells.resize(read);
    // A wide character may fill two cells: compare without repeats.
    std::wstring plain;
    for (wchar_t c : cells)
        if (plain.empty() || c != plain.back() || c < 0x2E80) plain += c;
    return plain.find(L"网络模块设置工具") != std::wstring::npos && plain.find(L"ModuleCli: finds") != std::wstring::npos ? 0 : 1;
}

TEST(ModuleCliUsage, ConsoleShowsTheTextAsWritten) {
    zotest::Child child;
    ASSERT_TRUE(child.Start("cli_on_console", L"", false, DETACHED_PROCESS));
    DWORD code = child.Wait(60000);
    EXPECT_EQ(0u, code) << "1: the console does not hold the text; 3: no console could be made; 4: the program hung";
}

TEST(ModuleCliUsage, CarriesTheToolsIconAndAVersionBlock) {
    HMODULE exe = LoadLibraryExW(zotest::BesideMe(L"ModuleCli.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, exe);
    EXPECT_NE(nullptr, FindResourceW(exe, MAKEINTRESOURCEW(IDI_MAIN), RT_GROUP_ICON));
    EXPECT_NE(nullptr, FindResourceW(exe, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION));
    FreeLibrary(exe);
}

TEST(ModuleCliUsage, SettingsLongerThanOneDatagramAreRefusedBeforeAnythingIsSent) {
    // Each Chinese character travels as a six-byte escape: 12000 need 72000 bytes.
    auto r = RunCli(L"set 198.51.100.101 ssid=" + std::wstring(12000, L'中'));
    EXPECT_EQ(2u, r.code);
    EXPECT_TRUE(Contains(r.err, "one datagram holds at most 65507")) << r.err.substr(0, 300);
    EXPECT_TRUE(Contains(r.err, "nothing was sent")) << r.err.substr(0, 300);
}
