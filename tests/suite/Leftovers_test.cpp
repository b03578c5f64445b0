// Runs before every other test (a ctest fixture): a test killed by its time
// limit may have left the tool's place file aside or the prefix's DPI
// changed; they are put back here, and the putting back is itself tried on
// a folder of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/ConfigTestFiles.h"
#include "support/Beside.h"
#include "support/KeptAside.h"
#include "support/LogPixels.h"

TEST(Leftovers, WhatAKilledTestLeftChangedIsPutBackBeforeTheRun) {
    std::wstring folder = zotest::BesideMe(L"");
    folder.pop_back();
    for (const std::wstring& name : zotest::KeptAside::Repair(folder))
        printf("put back %ls, kept aside by a test that did not end\n", name.c_str());
    if (zotest::LogPixels::Repair()) printf("put back the DPI a test that did not end had changed\n");
    DWORD dpi = 0;
    if (zotest::LogPixels::Read(dpi)) printf("the prefix's DPI: %lu\n", dpi);
    EXPECT_EQ(GetFileAttributesW(zotest::BesideMe(L"LogPixels.found").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Leftovers, AFileKeptAsideComesBackAfterTheHolderAndAfterAKill) {
    configtest::TempFolder folder;
    const std::wstring kept = folder.File(L"kept.json"), absent = folder.File(L"absent.json");
    ASSERT_TRUE(configtest::WriteBytes(kept, "old"));
    {
        zotest::KeptAside a(kept), b(absent);
        ASSERT_TRUE(a.Ok() && b.Ok());
        EXPECT_FALSE(configtest::Exists(kept));
        zotest::KeptAside nested(kept);   // held further out: does nothing
        ASSERT_TRUE(configtest::WriteBytes(kept, "the test's"));
        ASSERT_TRUE(configtest::WriteBytes(absent, "the test's"));
    }
    EXPECT_EQ(configtest::ReadBytes(kept), "old");
    EXPECT_FALSE(configtest::Exists(absent));
    EXPECT_TRUE(zotest::KeptAside::Repair(folder.Path()).empty()) << "nothing is left to put back";

    // A holder that never ends, as in a test killed by its time limit.
    new zotest::KeptAside(kept);
    new zotest::KeptAside(absent);
    ASSERT_TRUE(configtest::WriteBytes(kept, "the killed test's"));
    CreateDirectoryW(absent.c_str(), nullptr);
    EXPECT_EQ(zotest::KeptAside::Repair(folder.Path()), (std::vector<std::wstring>{L"kept.json", L"absent.json"}));
    EXPECT_EQ(configtest::ReadBytes(kept), "old");
    EXPECT_FALSE(configtest::Exists(absent));
    EXPECT_EQ(folder.Listing(), std::vector<std::wstring>{L"kept.json"});
}
