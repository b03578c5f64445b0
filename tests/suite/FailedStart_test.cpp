// The suite's one allowance for Wine: a program that ended with
// STATUS_DLL_INIT_FAILED never ran and is started once more, and said so in
// the retry log; any other failure stands the first time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "data/ConfigTestFiles.h"
#include "support/Beside.h"
#include "support/Child.h"

namespace {

// Arguments: status, file, runs. Adds a byte to the file at each run and
// ends with the status (decimal) until the file holds that many runs, then
// with 0.
ZO_CHILD_ROLE(EndWith) {
    if (argc < 3) return 2;
    std::wstring path = argv[1];
    HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, "x", 1, &n, nullptr);
    CloseHandle(f);
    size_t runs = configtest::ReadBytes(path).size();
    return runs < std::wcstoul(argv[2], nullptr, 10) ? static_cast<int>(std::wcstoul(argv[0], nullptr, 10)) : 0;
}

TEST(FailedStart, OnlyAStartWineFailedIsTriedOnceMoreAndLogged) {
    configtest::TempFolder folder;
    const std::wstring log = folder.File(L"retried");
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SetEnvironmentVariableW(L"ZO_RETRY_LOG", log.c_str());
    const struct {
        const wchar_t* code;
        const wchar_t* failingRuns;
        DWORD result;
        size_t runs;
    } rows[] = {
        {L"3221225794", L"2", 0, 2},            // failed to start once: the second start counts
        {L"3221225794", L"9", 0xC0000142, 2},   // never starts: tried twice, no more
        {L"1", L"9", 1, 1},                     // a program's own failure: never again
        {L"3221225477", L"9", 0xC0000005, 1},   // a crash: never again
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "status " << row.code);
        std::wstring counter = folder.File(std::wstring(L"runs-") + row.code + L"-" + row.failingRuns);
        EXPECT_EQ(row.result, zotest::RunProgram(self, std::wstring(L"--child=EndWith ") + row.code + L" \"" +
                                                           counter + L"\" " + row.failingRuns,
                                                 30000, true));
        EXPECT_EQ(row.runs, configtest::ReadBytes(counter).size());
    }
    SetEnvironmentVariableW(L"ZO_RETRY_LOG", nullptr);
    std::string logged = configtest::ReadBytes(log);
    size_t lines = 0;
    for (char c : logged) lines += c == '\n';
    EXPECT_EQ(2u, lines) << logged;
}

} // namespace
