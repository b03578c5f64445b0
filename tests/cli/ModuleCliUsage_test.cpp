// ModuleCli's command line: usage errors and their exit code, help for the
// program and each command, the version, and the text rule: on a console
// the text is shown as written (UTF-16), redirected it is UTF-8. None of
// these cases opens the network.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "app/Resource.h"
#include "support/Child.h"

using clitest::Has;
using clitest::RunCli;

// Usage errors exit with 2 and say what was wrong (on either stream); help
// exits with 0 and writes to the standard output only, redirected as UTF-8
// with CR LF line ends.
TEST(ModuleCliUsage, UsageErrorsExitWith2AndHelpWith0EachSayingWhatItShould) {
    struct Case {
        const wchar_t* args;
        DWORD code;
        const char* says;
    } cases[] = {
        {L"", 2, "usage: ModuleCli COMMAND"},
        {L"frobnicate", 2, "unknown command \"frobnicate\""},
        {L"scan --format xml", 2, "--format \"xml\" is not table, csv or json"},
        {L"scan --colour", 2, "unknown option --colour"},
        {L"scan --interval", 2, "--interval needs a value"},
        {L"scan --interval 0", 2, "--interval \"0\" is not a number from 1 to 10000"},
        {L"scan --subnet 198.51.100.0/21", 2, "too large: at most 1022 hosts (/22)"},
        {L"scan --subnet 198.51.100.0/31", 2, "no hosts to sweep"},
        {L"scan --subnet 198.51.100.0", 2, "is not A.B.C.D/N"},
        {L"scan --adapter 203.0.113.77", 2, "--adapter 203.0.113.77 is not an address of this computer"},
        {L"get", 2, "get takes one TARGET"},
        {L"get 198.51.100", 2, "TARGET \"198.51.100\" is not an IPv4 address"},
        {L"get 198.051.100.101", 2, "TARGET \"198.051.100.101\" is not an IPv4 address"},
        {L"set 198.051.100.101 port=9100", 2, "TARGET \"198.051.100.101\" is not an IPv4 address"},
        {L"aps 256.1.1.1", 2, "TARGET \"256.1.1.1\" is not an IPv4 address"},
        {L"get 5C:CF-7F:00:00:02", 2, "neither an address (A.B.C.D) nor a mac"},
        {L"set 198.51.100.101", 2, "set takes a TARGET and key=value"},
        {L"set 198.51.100.101 port=65536", 2, "port \"65536\" is not a number from 0 to 65535; nothing was sent"},
        {L"set 198.51.100.101 port=80x", 2, "port \"80x\" is not a number from 0 to 65535"},
        {L"set 198.51.100.101 baud=0", 2, "baud \"0\" is not a positive number"},
        {L"set 198.51.100.101 baud=-5", 2, "baud \"-5\" is not a positive number"},
        {L"set 198.51.100.101 mac=00:11", 2, "unknown key \"mac\""},
        {L"set 198.51.100.101 ssid", 2, "\"ssid\" is not key=value"},
        {L"apply", 2, "apply takes one FILE.csv"},
        {L"apply Z:\\nonexistent\\none.csv", 2, "cannot read Z:\\nonexistent\\none.csv"},
        {L"--help", 0, "Exit codes: 0 all done, 1 some module failed"},
        {L"--help", 0, "ModuleCli: finds serial-to-network modules and reads and writes their settings.\r\n"},
        {L"--help", 0, "网络模块设置工具"},   // the window's title, in UTF-8
        {L"/?", 0, "usage: ModuleCli COMMAND"},
        {L"scan --help", 0, "usage: ModuleCli scan"},
        {L"get /?", 0, "usage: ModuleCli get TARGET"},
        {L"aps -h", 0, "usage: ModuleCli aps TARGET"},
        {L"set --help", 0, "Keys: baud, host, port, ssid, pass"},
        {L"export --help", 0, "It is a backup: it holds the passwords"},
        {L"apply --help", 0, "--dry-run"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("ModuleCli " + clitest::Narrow(c.args));
        auto r = RunCli(c.args);
        EXPECT_EQ(c.code, r.code) << r.err;
        EXPECT_TRUE(Has(c.code ? r.out + r.err : r.out, c.says));
        EXPECT_TRUE(c.code || r.err.empty()) << "help wrote to the error stream: " << r.err;
    }
}

TEST(ModuleCliUsage, VersionIsTheProgramsFourPartVersion) {
    auto v = RunCli(L"--version");
    EXPECT_EQ(0u, v.code);
    EXPECT_EQ("ModuleCli " + std::to_string(APP_VERSION_MAJOR) + "." + std::to_string(APP_VERSION_MINOR) + "." +
                  std::to_string(APP_VERSION_PATCH) + "." + std::to_string(APP_VERSION_BUILD) + "\r\n",
              v.out);
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
    EXPECT_TRUE(clitest::Contains(r.err, "one datagram holds at most 65507")) << r.err.substr(0, 300);
    EXPECT_TRUE(clitest::Contains(r.err, "nothing was sent")) << r.err.substr(0, 300);
}
