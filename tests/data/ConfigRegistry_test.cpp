// The configuration registry and the Config handle: one shared object per
// file however its path is spelt, counted references, the empty file made
// on first use, and the lock whose release writes the whole tree back.
#include <gtest/gtest.h>

#include <string>

#include "data/Config.h"
#include "data/ConfigPath.h"
#include "data/ConfigTestFiles.h"
#include "support/Wait.h"

using configtest::Lines;
using configtest::ReadBytes;
using configtest::WriteBytes;
using zo::Config;
using zo::ConfigObject;

namespace {

// Each test's configuration is <its folder>\tool.Json.
class Registry : public testing::Test {
protected:
    void SetUp() override { zo::SetConfigModulePath(folder.File(L"tool.exe").c_str()); }
    void TearDown() override { zo::SetConfigModulePath(nullptr); }
    configtest::TempFolder folder;
    std::wstring path = folder.File(L"tool.Json");
};

TEST_F(Registry, FirstUseMakesAnEmptyFileAndTheLastReleaseDoesNotSave) {
    ConfigObject* o = zo::AcquireConfig();
    ASSERT_NE(nullptr, o);
    EXPECT_TRUE(configtest::Exists(path));
    EXPECT_TRUE(o->root.IsNull());
    EXPECT_STREQ(path.c_str(), o->path.Handle());
    EXPECT_EQ(1, o->references);
    o->root.SetPropertyInt32(L"unsaved", 1);
    zo::ReleaseConfig(o);
    EXPECT_EQ("", ReadBytes(path));
}

TEST_F(Registry, SpellingsOfOnePathShareOneObjectUntilTheLastRelease) {
    ASSERT_TRUE(WriteBytes(path, "{\"v\":1}"));
    ConfigObject* first = zo::AcquireConfig();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(1, first->root.PropertyInt32(L"v", 0));

    std::wstring upper = folder.Path();
    for (auto& c : upper) c = c == L'\\' ? L'/' : towupper(c);
    zo::SetConfigModulePath((upper + L"/TOOL.exe").c_str());
    // Changed on disk while shared: the shared object is not read again.
    ASSERT_TRUE(WriteBytes(path, "{\"v\":2}"));
    ConfigObject* second = zo::AcquireConfig();
    EXPECT_EQ(first, second);
    EXPECT_EQ(2, first->references);

    zo::SetConfigModulePath(folder.File(L"other.exe").c_str());
    ConfigObject* other = zo::AcquireConfig();
    ASSERT_NE(nullptr, other);
    EXPECT_NE(first, other);
    EXPECT_EQ(1, other->references);
    zo::ReleaseConfig(other);

    zo::ReleaseConfig(second);
    EXPECT_EQ(1, first->references);
    zo::ReleaseConfig(first);
    // All references gone: the object went with them, the next use reads
    // the file afresh.
    zo::SetConfigModulePath(folder.File(L"tool.exe").c_str());
    ConfigObject* fresh = zo::AcquireConfig();
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(1, fresh->references);
    EXPECT_EQ(2, fresh->root.PropertyInt32(L"v", 0));
    zo::ReleaseConfig(fresh);
}

TEST_F(Registry, OnlyALockedHandleSavesTheWholeTreeOnRelease) {
    ASSERT_TRUE(WriteBytes(path, "{\"keep\":[1,2]}"));
    {
        Config unlocked;
        ASSERT_FALSE(unlocked.IsNull());
    }
    EXPECT_EQ("{\"keep\":[1,2]}", ReadBytes(path));

    Config c;
    EXPECT_FALSE(Config::ThreadHoldsLock());
    ASSERT_TRUE(c.Lock());
    EXPECT_TRUE(Config::ThreadHoldsLock());
    c.Root().SetPropertyInt32(L"n", 3);
    c.Release();
    EXPECT_TRUE(c.IsNull());
    EXPECT_FALSE(Config::ThreadHoldsLock());
    EXPECT_EQ(Lines({"{", "\t\"keep\" : [", "\t\t1,", "\t\t2", "\t],", "\t\"n\" : 3", "}"}), ReadBytes(path));
    c.Release();   // a second release does nothing
    EXPECT_FALSE(Config::ThreadHoldsLock());
}

TEST_F(Registry, ASecondLockOnOneThreadIsRefusedAndLeavesTheFirstAlone) {
    Config outer;
    ASSERT_TRUE(outer.Lock());
    outer.Root().SetPropertyInt32(L"x", 1);
    {
        Config inner;
        EXPECT_EQ(outer.Object(), inner.Object());
        EXPECT_FALSE(inner.Lock());
        EXPECT_FALSE(inner.IsLocked());
    }
    // The inner release neither wrote nor gave up the outer lock.
    EXPECT_EQ("", ReadBytes(path));
    EXPECT_TRUE(Config::ThreadHoldsLock());
    outer.Release();
    EXPECT_EQ(Lines({"{", "\t\"x\" : 1", "}"}), ReadBytes(path));
}

// Another thread locking the same object waits for this one's release and
// then finds what this one saved; the flag belongs to each thread.
struct Contender {
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    volatile LONG locked = 0;
    volatile LONG flagBefore = -1;
    int seen = 0;
    static DWORD WINAPI Run(void* p) {
        Contender* self = static_cast<Contender*>(p);
        Config c;
        self->flagBefore = Config::ThreadHoldsLock();
        SetEvent(self->started);
        if (!c.Lock()) return 1;
        InterlockedExchange(&self->locked, 1);
        self->seen = c.Root().PropertyInt32(L"n", 0);
        c.Root().SetPropertyInt32(L"n", self->seen + 1);
        return 0;
    }
};

TEST_F(Registry, LockSerialisesThreadsAndTheFlagIsPerThread) {
    Config mine;
    ASSERT_TRUE(mine.Lock());
    mine.Root().SetPropertyInt32(L"n", 10);
    Contender other;
    HANDLE t = CreateThread(nullptr, 0, Contender::Run, &other, 0, nullptr);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other.started, 10000));
    EXPECT_EQ(0, other.flagBefore);
    // The other thread is now at (or inside) Lock and must stay out.
    EXPECT_FALSE(zotest::WaitUntil([&] { return other.locked != 0; }, 200));
    mine.Release();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 10000));
    DWORD code = 9;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    CloseHandle(other.started);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(10, other.seen);
    EXPECT_EQ(Lines({"{", "\t\"n\" : 11", "}"}), ReadBytes(path));
}

} // namespace
